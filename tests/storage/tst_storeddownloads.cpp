// Downloads from real servers on loopback stored compressed, checksummed,
// rotated and swept; a disk that fills during a download or a log save (a
// real tmpfs of a few hundred KiB) loses nothing.
#include <QtTest>

#include "RequirePeer.h"
#include "DumpSamples.h"
#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "RetrievalTestBench.h"
#include "StorageTools.h"
#include "TinyDisk.h"
#include "retrieval/LocalTarget.h"
#include "storage/StoredDumpWriter.h"

namespace {
bool storeDirectly(const QString &target, const QByteArray &dump, Compression c)
{
    StoredDumpWriter out;
    return out.open(target, c) && out.write(dump.constData(), dump.size())
        && out.commit(true) == StoredDumpWriter::Failure::None;
}
}

class StoredDownloadsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void ftpGzipIntoDaySubdirectoriesRemovesOldDays();
    void httpZstdRotatesCopies();
    void downloadFillingTheDiskKeepsPreviousBackup_data();
    void downloadFillingTheDiskKeepsPreviousBackup();
    void logSaveOnFullDiskKeepsPreviousLog();

private:
    FtpServerFixture m_ftp;
    HttpServerFixture m_http;
};

void StoredDownloadsTest::initTestCase()
{
    QVERIFY2(m_ftp.start(), qPrintable(m_ftp.errorString()));
    QVERIFY2(m_http.start(), qPrintable(m_http.errorString()));
}

void StoredDownloadsTest::downloadFillingTheDiskKeepsPreviousBackup_data()
{
    QTest::addColumn<int>("method");
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("compress");
    QTest::addColumn<QString>("reason");
    const QString english = "Reason: disk full";
    QTest::newRow("FTP") << 0 << 0 << 0 << english;
    QTest::newRow("HTTP, German, gzip") << 1 << 1 << 1 << "Grund: Datenträger voll";
    QTest::newRow("FTP, zstd") << 0 << 0 << 2 << english;
}

void StoredDownloadsTest::downloadFillingTheDiskKeepsPreviousBackup()
{
    QFETCH(int, method);
    QFETCH(int, language);
    QFETCH(int, compress);
    QFETCH(QString, reason);
    if (!TinyDisk::unavailableReason().isEmpty())
        VW_SKIP(qPrintable(TinyDisk::unavailableReason()));
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
    task.compress = compress;
    const QString stored = disk.path() + "/" + StoredFileName("backup.sql", compress);
    QVERIFY(storeDirectly(disk.path() + "/backup.sql", MakeDump(1000, true, 6), CompressionFromSetting(compress)));
    const QByteArray previous = ReadAll(stored);
    const QByteArray previousSum = ReadAll(stored + ".sha256");
    // The disk runs out within the last few KiB of the (incompressible) dump.
    QVERIFY(disk.leaveFree(dump.size() - 3000));

    QVERIFY(!bench.retrieve(task));

    QCOMPARE(ReadAll(stored), previous);
    QCOMPARE(ReadAll(stored + ".sha256"), previousSum);
    QVERIFY2(bench.dispatcher->FailureReason().startsWith(reason), qPrintable(bench.dispatcher->FailureReason()));
    const QString name = QFileInfo(stored).fileName();
    QCOMPARE(Entries(disk.path()), (QStringList{name, name + ".sha256", "filler-1"}));
}

void StoredDownloadsTest::ftpGzipIntoDaySubdirectoriesRemovesOldDays()
{
    const QByteArray dump = MakeDump(400 * 1000, true, 11);
    QVERIFY(m_ftp.putFile("gz/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_ftp.port()), 1);
    BackupTask task = bench.task();
    task.ftpdir = "gz";
    task.subdirectory = true;
    task.compress = 1;
    task.keepdaily = 2;
    // Earlier days of this task (the clock says 5 March 2027), and of another file name.
    for (int day : {1, 2, 3}) {
        const QString dir = QStringLiteral("2027-3-%1").arg(day);
        QVERIFY(QDir(bench.local.path()).mkdir(dir));
        QVERIFY(storeDirectly(bench.local.filePath(dir + "/backup.sql"), MakeDump(100, true, day), Compression::Gzip));
    }
    QVERIFY(WriteAll(bench.local.filePath("2027-3-2/backup.sql"), "the uncompressed one of an earlier setting"));

    QVERIFY(bench.runDownload(task));

    QCOMPARE(bench.view.messages().first(), QStringLiteral("2 alte Backups entfernt"));
    QCOMPARE(Entries(bench.local.path()), (QStringList{"2027-3-2", "2027-3-3", "2027-3-5"}));
    QCOMPARE(Entries(bench.local.filePath("2027-3-2")), QStringList{"backup.sql"});
    const QString day = bench.local.filePath("2027-3-5");
    QCOMPARE(Entries(day), (QStringList{"backup.sql.gz", "backup.sql.gz.sha256"}));
    QCOMPARE(RunTool(day, "gzip", {"-t", "backup.sql.gz"}), 0);
    QCOMPARE(RunTool(day, "sha256sum", {"-c", "backup.sql.gz.sha256"}), 0);
    QByteArray unpacked;
    QCOMPARE(RunTool(day, "zcat", {"backup.sql.gz"}, &unpacked), 0);
    QVERIFY(unpacked == dump);
}

void StoredDownloadsTest::httpZstdRotatesCopies()
{
    const QByteArray dump = MakeDump(300 * 1000, true, 12);
    QVERIFY(m_http.putFile("zst/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions());
    BackupTask task = bench.task();
    task.method = 1;
    task.httpath = m_http.url("zst/");
    task.compress = 2;
    task.keepdaily = 3;
    const QByteArray yesterday = MakeDump(1000, true, 13);
    QVERIFY(storeDirectly(bench.localFile(), yesterday, Compression::Zstd));

    QVERIFY(bench.retrieve(task));

    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql.zst", "backup.sql.zst.1", "backup.sql.zst.1.sha256",
                                                       "backup.sql.zst.sha256"}));
    const QString dir = bench.local.path();
    QCOMPARE(RunTool(dir, "zstd", {"-q", "-t", "backup.sql.zst"}), 0);
    QCOMPARE(RunTool(dir, "sha256sum", {"-c", "backup.sql.zst.sha256", "backup.sql.zst.1.sha256"}), 0);
    QByteArray unpacked;
    QCOMPARE(RunTool(dir, "zstdcat", {"backup.sql.zst"}, &unpacked), 0);
    QVERIFY(unpacked == dump);
    QCOMPARE(RunTool(dir, "zstdcat", {"backup.sql.zst.1"}, &unpacked), 0);
    QVERIFY(unpacked == yesterday);
}

void StoredDownloadsTest::logSaveOnFullDiskKeepsPreviousLog()
{
    if (!TinyDisk::unavailableReason().isEmpty())
        VW_SKIP(qPrintable(TinyDisk::unavailableReason()));
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
    StoredDownloadsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storeddownloads.moc"
