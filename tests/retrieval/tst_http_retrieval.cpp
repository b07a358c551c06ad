// HTTP retrieval against a real HTTP server on the loopback interface.
#include <QtTest>

#include "RequirePeer.h"
#include "DumpSamples.h"
#include "HttpServerFixture.h"
#include "RetrievalTestBench.h"
#include "retrieval/HttpTransfer.h"

using Bar = RecordingRunEvents::Bar;

class HttpRetrievalTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void fetchesWithProgressAndWritesItsLine_data();
    void fetchesWithProgressAndWritesItsLine();
    void prefixIsJoinedUnchanged();
    void redirectsAreFollowed();
    void freshCopyOfAFreshDumpOnly();
    void failures_data();
    void failures();
    void brokenTransferFailsEvenWithoutTheDumpCheck();
    void dailySubdirectory();
    void certificatesAreVerified();
    void oversizedFileKeepsPreviousBackup();

private:
    HttpServerFixture m_server;
};

void HttpRetrievalTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void HttpRetrievalTest::fetchesWithProgressAndWritesItsLine_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("method");
    QTest::addColumn<QString>("line");
    QTest::newRow("English") << 0 << 1 << "backup.sql saved successfully";
    QTest::newRow("German, any method but 0") << 1 << 2 << "backup.sql erfolgreich gespeichert";
}

void HttpRetrievalTest::fetchesWithProgressAndWritesItsLine()
{
    QFETCH(int, language);
    QFETCH(int, method);
    QFETCH(QString, line);
    const qint64 size = 3 * 1000 * 1000 + 17;
    const QByteArray dump = MakeDump(size, true, 31);
    QVERIFY(m_server.putFile("dumps/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(), language);
    BackupTask task = bench.task();
    task.method = method;
    task.httpath = m_server.url("dumps/");
    QVERIFY(WriteAll(bench.localFile(), "yesterday"));

    QVERIFY(bench.retrieve(task));

    QVERIFY(ReadAll(bench.localFile()) == dump);
    QCOMPARE(bench.view.messages(), QStringList{line});
    QVERIFY(bench.events.errors.isEmpty());
    QVERIFY(bench.events.captions.isEmpty());  // the caption is the FTP display's
    QVERIFY(!bench.events.bars.isEmpty());
    QCOMPARE(bench.events.bars.last(), (Bar{int(size), int(size)}));
    for (qsizetype i = 1; i < bench.events.bars.size(); ++i)
        QVERIFY(bench.events.bars.at(i).position >= bench.events.bars.at(i - 1).position);
    QVERIFY(!bench.events.calledFromOtherThread);
    QVERIFY(bench.windowStayedLive);
    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

void HttpRetrievalTest::prefixIsJoinedUnchanged()
{
    const QByteArray dump = MakeDump(2000, true, 4);
    QVERIFY(m_server.putFile("dumpsbackup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions());
    BackupTask task = bench.task();
    task.method = 1;
    task.httpath = m_server.url("dumps");  // no closing slash

    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile()), dump);
    QVERIFY(m_server.requests().last().contains("GET /dumpsbackup.sql "));
}

void HttpRetrievalTest::redirectsAreFollowed()
{
    const QByteArray dump = MakeDump(5000, true, 6);
    QVERIFY(m_server.putFile("moved/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions());
    BackupTask task = bench.task();
    task.method = 1;
    task.httpath = m_server.url("redirect/3/moved/");  // the limit is 3

    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile()), dump);
}

// Caches are asked for a fresh copy, and Last-Modified before the run refuses
// the file.
void HttpRetrievalTest::freshCopyOfAFreshDumpOnly()
{
    QVERIFY(m_server.putFile("aged/backup.sql", MakeDump(6000)));
    const QDateTime runStart = QDateTime::currentDateTime();
    {
        QFile served(m_server.rootPath() + "/aged/backup.sql");
        QVERIFY(served.open(QIODevice::ReadWrite));
        QVERIFY(served.setFileTime(runStart.addDays(-1), QFileDevice::FileModificationTime));
    }
    RetrievalTestBench bench(RetrievalTestBench::shortOptions());
    BackupTask task = bench.task();
    task.method = 1;
    task.httpath = m_server.url("aged/");
    QVERIFY(WriteAll(bench.localFile(), "previous"));

    QVERIFY(!bench.retrieve(task, runStart));
    QCOMPARE(bench.dispatcher->FailureReason(), QString("Dump file on the host is older than this run - not saved"));
    QCOMPARE(ReadAll(bench.localFile()), QByteArray("previous"));
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
    QVERIFY(m_server.requests().contains("HEADERS Cache-Control: no-cache Pragma: no-cache"));

    QVERIFY(bench.retrieve(task, runStart.addDays(-1)));
    QCOMPARE(ReadAll(bench.localFile()), MakeDump(6000));
}

void HttpRetrievalTest::failures_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("serverDown");
    QTest::addColumn<bool>("localDirMissing");
    QTest::addColumn<QString>("reason");  // how the reason line begins
    QTest::newRow("404: no error page stored") << "nowhere/" << false << false
        << "Reason: the server answered with HTTP status 404";
    QTest::newRow("500") << "status/500/" << false << false << "Reason: the server answered with HTTP status 500";
    QTest::newRow("connection refused") << "dumps/" << true << false
        << "Reason: no connection to the server (refused or not reachable)";
    QTest::newRow("cut off mid-file") << "cut/dumps/" << false << false << "Reason: transfer cut off after ";
    QTest::newRow("too many redirects") << "redirect/4/dumps/" << false << false << "Reason: transfer failed: ";
    QTest::newRow("incomplete dump") << "partial/" << false << false << "Dump incomplete: backup.sql ";
    QTest::newRow("local directory missing") << "dumps/" << false << true << "Reason: the local file ";
}

void HttpRetrievalTest::failures()
{
    QFETCH(QString, path);
    QFETCH(bool, serverDown);
    QFETCH(bool, localDirMissing);
    QFETCH(QString, reason);
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(400000, true, 12)));
    QVERIFY(m_server.putFile("partial/backup.sql", MakeDump(30000, false)));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions());
    BackupTask task = bench.task();
    task.method = 1;
    task.httpath = serverDown
        ? QStringLiteral("http://127.0.0.1:%1/%2").arg(LoopbackServerProcess::unusedPort()).arg(path)
        : m_server.url(path);
    if (localDirMissing)
        task.localdir = bench.local.path() + "/missing";
    const QByteArray previous = MakeDump(800, true, 2);
    QVERIFY(WriteAll(bench.localFile(), previous));

    QVERIFY(!bench.retrieve(task));

    QCOMPARE(bench.view.messages(), QStringList{"HTTP-Download failed"});
    QVERIFY2(bench.dispatcher->FailureReason().startsWith(reason), qPrintable(bench.dispatcher->FailureReason()));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
    QVERIFY(bench.events.errors.isEmpty());
}

void HttpRetrievalTest::brokenTransferFailsEvenWithoutTheDumpCheck()
{
    struct Ignore final : HttpTransferObserver {
        void transferProgress(qint64, qint64) override {}
    } ignore;
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(400000, true, 12)));
    QTemporaryDir dir;
    const QString target = dir.path() + "/backup.sql";
    QVERIFY(WriteAll(target, "previous"));
    HttpTransferRequest request;
    request.localFile = target;
    request.requireCompletedDump = false;
    request.options = RetrievalTestBench::shortOptions();

    request.url = m_server.url("cut/dumps/backup.sql");
    const HttpTransferResult cut = FetchPerHttp(request, ignore);
    QCOMPARE(cut.failure, DownloadFailure::Transfer);
    QVERIFY(cut.received < 400000);

    request.url = m_server.url("nowhere/backup.sql");
    const HttpTransferResult missing = FetchPerHttp(request, ignore);
    QCOMPARE(missing.failure, DownloadFailure::HttpStatus);
    QCOMPARE(missing.status, 404);

    QCOMPARE(ReadAll(target), QByteArray("previous"));
    QCOMPARE(Entries(dir.path()), QStringList{"backup.sql"});
}

void HttpRetrievalTest::dailySubdirectory()
{
    const QByteArray dump = MakeDump(9000, true, 13);
    QVERIFY(m_server.putFile("dumps/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(), 1);
    BackupTask task = bench.task();
    task.method = 1;
    task.subdirectory = true;
    task.httpath = m_server.url("dumps/");

    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.local.path() + "/2027-3-5/backup.sql"), dump);
    QCOMPARE(Entries(bench.local.path()), QStringList{"2027-3-5"});
    QCOMPARE(bench.view.messages(), QStringList{"backup.sql erfolgreich gespeichert"});
}

void HttpRetrievalTest::certificatesAreVerified()
{
    if (!HttpServerFixture::tlsAvailable())
        VW_SKIP("openssl is needed to make the test certificate");
    HttpServerFixture tls(true);
    const QByteArray dump = MakeDump(4000, true, 14);
    QVERIFY(tls.putFile("dumps/backup.sql", dump));
    QVERIFY2(tls.start(), qPrintable(tls.errorString()));

    {
        // A certificate nobody vouches for is refused.
        RetrievalTestBench bench(RetrievalTestBench::shortOptions());
        BackupTask task = bench.task();
        task.method = 1;
        task.httpath = tls.url("dumps/");
        QVERIFY(!bench.retrieve(task));
        QCOMPARE(bench.view.messages(), QStringList{"HTTP-Download failed"});
        QCOMPARE(Entries(bench.local.path()), QStringList());
    }
    {
        RetrievalOptions trusting = RetrievalTestBench::shortOptions();
        trusting.caCertificateFile = tls.certificatePath();
        RetrievalTestBench bench(trusting);
        BackupTask task = bench.task();
        task.method = 1;
        task.httpath = tls.url("dumps/");
        QVERIFY(bench.retrieve(task));
        QCOMPARE(ReadAll(bench.localFile()), dump);

        // Redirects stay within TLS: to https they are followed, to plain
        // http not, and the plain server never hears of the request.
        QVERIFY(WriteAll(bench.localFile(), "previous"));
        task.httpath = tls.url("redirect/1/dumps/");
        QVERIFY(bench.retrieve(task));
        QCOMPARE(ReadAll(bench.localFile()), dump);
        QVERIFY(WriteAll(bench.localFile(), "previous"));
        QVERIFY(m_server.putFile("dumps/backup.sql", dump));
        const qsizetype plainRequests = m_server.requests().size();
        task.httpath = tls.url("to/" + m_server.url("dumps/"));
        QVERIFY(!bench.retrieve(task));
        QCOMPARE(ReadAll(bench.localFile()), QByteArray("previous"));
        QCOMPARE(m_server.requests().size(), plainRequests);
    }
}

void HttpRetrievalTest::oversizedFileKeepsPreviousBackup()
{
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(400000, true, 12)));
    RetrievalOptions options = RetrievalTestBench::shortOptions();
    options.maxDownloadBytes = 100000;
    RetrievalTestBench bench(options, 1);
    BackupTask task = bench.task();
    task.method = 1;
    // Refused on the announced size, before the body arrives.
    task.httpath = m_server.url("dumps/");
    const QByteArray previous = MakeDump(800, true, 2);
    QVERIFY(WriteAll(bench.localFile(), previous));
    QVERIFY(!bench.retrieve(task));
    QCOMPARE(bench.dispatcher->FailureReason(),
             QString("Grund: backup.sql ist größer als die Download-Grenze von 100,00 Kb - nicht gespeichert, "
                     "die bisherige Sicherung bleibt erhalten"));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
}

QTEST_GUILESS_MAIN(HttpRetrievalTest)
#include "tst_http_retrieval.moc"
