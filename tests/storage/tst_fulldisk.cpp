// A disk that fills during a download or a log save loses nothing: real
// servers on loopback, a real tmpfs of a few hundred KiB.
#include <QtTest>

#include "DumpSamples.h"
#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "RetrievalTestBench.h"
#include "TinyDisk.h"

class FullDiskTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void downloadFillingTheDiskKeepsPreviousBackup_data();
    void downloadFillingTheDiskKeepsPreviousBackup();
    void logSaveOnFullDiskKeepsPreviousLog();

private:
    FtpServerFixture m_ftp;
    HttpServerFixture m_http;
};

void FullDiskTest::initTestCase()
{
    if (!TinyDisk::unavailableReason().isEmpty())
        QSKIP(qPrintable(TinyDisk::unavailableReason()));
    QVERIFY2(m_ftp.start(), qPrintable(m_ftp.errorString()));
    QVERIFY2(m_http.start(), qPrintable(m_http.errorString()));
}

void FullDiskTest::downloadFillingTheDiskKeepsPreviousBackup_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("reason");
    QTest::newRow("FTP") << 0 << 0 << "Reason: disk full";
    QTest::newRow("HTTP, German") << 1 << 1 << "Grund: Datenträger voll";
}

void FullDiskTest::downloadFillingTheDiskKeepsPreviousBackup()
{
    QFETCH(int, method);
    QFETCH(int, language);
    QFETCH(QString, reason);
    TinyDisk disk;
    QVERIFY2(disk.mount(1024 * 1024), qPrintable(disk.errorString()));
    const QByteArray dump = MakeDump(300 * 1000, true, 5);
    QVERIFY(m_ftp.putFile("full/backup.sql", dump));
    QVERIFY(m_http.putFile("full/backup.sql", dump));

    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_ftp.port()), language);
    BackupTask task = bench.task();
    task.localdir = disk.path();
    task.method = method;
    task.ftpdir = "full";
    task.httpath = m_http.url("full/");
    const QString stored = disk.path() + "/backup.sql";
    const QByteArray previous = MakeDump(1000, true, 6);
    QVERIFY(WriteAll(stored, previous));
    // The disk runs out within the last few KiB of the dump.
    QVERIFY(disk.leaveFree(dump.size() - 3000));

    QVERIFY(!bench.retrieve(task));

    QCOMPARE(ReadAll(stored), previous);
    QVERIFY2(bench.dispatcher->FailureReason().startsWith(reason), qPrintable(bench.dispatcher->FailureReason()));
    QCOMPARE(Entries(disk.path()), (QStringList{"backup.sql", "filler-1"}));
}

void FullDiskTest::logSaveOnFullDiskKeepsPreviousLog()
{
    TinyDisk disk;
    QVERIFY2(disk.mount(64 * 1024), qPrintable(disk.errorString()));
    RetrievalTestBench bench(RetrievalOptions{});
    bench.log.setLogFilePath(disk.path() + "/vaultwck.log");
    bench.log.AddSent("USER site");
    QVERIFY(bench.log.Save());
    const QByteArray saved = ReadAll(bench.log.logFilePath());
    QVERIFY(disk.leaveFree(0));
    for (int i = 0; i < 200; ++i)
        bench.log.AddSent(QStringLiteral("line %1 of a long night").arg(i));

    QVERIFY(!bench.log.Save());
    QVERIFY(!bench.log.Save());

    QCOMPARE(ReadAll(bench.log.logFilePath()), saved);
    QCOMPARE(bench.view.messages(), QStringList{"Log file not saved: disk full"});  // once, not at every try
    QCOMPARE(Entries(disk.path()), (QStringList{"filler-1", "vaultwck.log"}));
}

int main(int argc, char **argv)
{
    const int rerun = TinyDisk::RunInPrivateMountNamespace(argc, argv);
    if (rerun >= 0)
        return rerun;
    QCoreApplication app(argc, argv);
    FullDiskTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_fulldisk.moc"
