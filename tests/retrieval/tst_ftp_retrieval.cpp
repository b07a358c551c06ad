// FTP retrieval against a real FTP server on the loopback interface.
#include <QtTest>

#include "RequirePeer.h"
#include "DumpSamples.h"
#include "FtpServerFixture.h"
#include "FtpsServerFixture.h"
#include "RetrievalTestBench.h"
#include "retrieval/FtpTransfer.h"
#include "storage/StoreTexts.h"

using Bar = RecordingRunEvents::Bar;

namespace {
bool usedActiveMode(const QStringList &commands)
{
    return (commands.contains("EPRT") || commands.contains("PORT"))
        && !commands.contains("EPSV") && !commands.contains("PASV");
}

// Whether every item of shown appears in all, in the same order.
template <typename List>
bool inOrderWithin(const List &shown, const List &all)
{
    qsizetype at = 0;
    for (const auto &item : shown) {
        while (at < all.size() && !(all.at(at) == item))
            ++at;
        if (at == all.size())
            return false;
        ++at;
    }
    return true;
}

// Records what a transfer shows when it is driven directly, without a window.
struct StepRecorder final : FtpTransferObserver {
    void transferStarted() override {}
    void transferProgress(const FtpProgressStep &s) override { steps.append(s); }
    void retryingPassive() override {}
    void transferEnded() override {}
    QList<FtpProgressStep> steps;
};
}

class FtpRetrievalTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void tenThousandByteExample();
    void remoteDirectory_data();
    void remoteDirectory();
    void severalMegabytesByteExact();
    void emptyFileIsFetchedButIsNoDump();
    void incompleteDumpKeepsPreviousBackup_data();
    void incompleteDumpKeepsPreviousBackup();
    void staleDumpIsNotStored();
    void errorDialogs_data();
    void errorDialogs();
    void unwritableLocalDirectoryFailsWithoutDialog();
    void transferCutOffMidFile();
    void growingOrOversizedFileKeepsPreviousBackup();
    void tlsWhenChosen();
    void ftpsDownloadIsStoredWhole();
    void activeModeFallsBackToPassive_data();
    void activeModeFallsBackToPassive();
    void dailySubdirectory();

private:
    FtpServerFixture m_server;
};

void FtpRetrievalTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void FtpRetrievalTest::tenThousandByteExample()
{
    const QByteArray dump = MakeDump(10000);
    QVERIFY(m_server.putFile("dumps/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = "dumps";
    m_server.clearCommands();

    QVERIFY(bench.retrieve(task));

    QCOMPARE(ReadAll(bench.localFile()), dump);
    // The window shows some of the block steps in order, always the last.
    QVERIFY(inOrderWithin(bench.events.captions, QStringList{"4,10 Kb of 10,00 Kb / 41 %", "8,19 Kb of 10,00 Kb / 82 %",
                                                            "10,00 Kb of 10,00 Kb / 100 %", "10,00 Kb of 10,00 Kb / 100 %"}));
    QCOMPARE(bench.events.captions.last(), QStringLiteral("10,00 Kb of 10,00 Kb / 100 %"));
    QVERIFY(inOrderWithin(bench.events.bars, QList<Bar>{{0, 100}, {41, 100}, {82, 100}, {100, 100}, {100, 100}, {0, 100}}));
    QCOMPARE(bench.events.bars.last(), (Bar{0, 100}));
    QVERIFY(bench.events.errors.isEmpty());
    QVERIFY(bench.view.lines.isEmpty());  // the outcome line is the caller's
    QVERIFY(!bench.events.calledFromOtherThread);
    QVERIFY(bench.windowStayedLive);
    const QStringList commands = m_server.commands();
    QVERIFY2(usedActiveMode(commands), qPrintable(commands.join(' ')));
    QVERIFY(commands.contains("TYPE"));
    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

void FtpRetrievalTest::remoteDirectory_data()
{
    QTest::addColumn<QString>("ftpdir");
    QTest::addColumn<QString>("serverPath");
    QTest::addColumn<bool>("changesDirectory");
    QTest::newRow("empty: login directory") << "" << "in-root.sql" << false;
    QTest::newRow("relative") << "htdocs/dumps" << "htdocs/dumps/in-root.sql" << true;
    QTest::newRow("absolute") << "/htdocs" << "htdocs/in-root.sql" << true;
    QTest::newRow("closing slash") << "htdocs/" << "htdocs/in-root.sql" << true;
    QTest::newRow("space and hash") << "my dumps #1" << "my dumps #1/in-root.sql" << true;
}

void FtpRetrievalTest::remoteDirectory()
{
    QFETCH(QString, ftpdir);
    QFETCH(QString, serverPath);
    QFETCH(bool, changesDirectory);
    const QByteArray dump = MakeDump(777, true, qHash(serverPath));
    QVERIFY(m_server.putFile(serverPath, dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = ftpdir;
    task.backupfile = "in-root.sql";
    m_server.clearCommands();

    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile("in-root.sql")), dump);
    QCOMPARE(m_server.commands().contains("CWD"), changesDirectory);
    QVERIFY(bench.events.errors.isEmpty());
}

void FtpRetrievalTest::severalMegabytesByteExact()
{
    const qint64 size = 5 * 1000 * 1000 + 123;
    const QByteArray dump = MakeDump(size, true, 99);
    QVERIFY(m_server.putFile("big/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = "big";
    QVERIFY(WriteAll(bench.localFile(), "yesterday's backup"));

    QVERIFY(bench.retrieve(task));

    QVERIFY(ReadAll(bench.localFile()) == dump);
    // At most one caption per 4 096-byte block, one for the partial last block, one for the end.
    QVERIFY(bench.events.captions.size() <= qsizetype(size / 4096 + 2));
    QCOMPARE(bench.events.captions.last(), QStringLiteral("5,00 Mb of 5,00 Mb / 100 %"));
    for (qsizetype i = 2; i < bench.events.bars.size() - 1; ++i)
        QVERIFY(bench.events.bars.at(i).position >= bench.events.bars.at(i - 1).position);
    QCOMPARE(bench.events.bars.last(), (Bar{0, 100}));
    QVERIFY(!bench.events.calledFromOtherThread);
    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

void FtpRetrievalTest::emptyFileIsFetchedButIsNoDump()
{
    QVERIFY(m_server.putFile("empty/backup.sql", QByteArray()));

    // The transfer itself copies the empty file exactly.
    QTemporaryDir dir;
    FtpTransferRequest request;
    request.server = request.userName = "127.0.0.1";
    request.password = m_server.settings().password;
    request.port = m_server.port();
    request.remoteDir = "empty";
    request.remoteFile = "backup.sql";
    request.localFile = dir.path() + "/copy.sql";
    request.requireCompletedDump = false;
    request.options = RetrievalTestBench::shortOptions(m_server.port());
    StepRecorder recorder;
    const FtpTransferResult raw = FetchPerFtp(request, recorder);
    QCOMPARE(raw.failure, DownloadFailure::None);
    QCOMPARE(raw.listedSize, 0);
    QCOMPARE(ReadAll(request.localFile), QByteArray());
    QCOMPARE(recorder.steps, (QList<FtpProgressStep>{{0, 0, 100}}));

    // As a backup an empty file is a failed dump: yesterday's stays.
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = "empty";
    const QByteArray previous = MakeDump(500);
    QVERIFY(WriteAll(bench.localFile(), previous));
    QVERIFY(!bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(bench.events.captions, QStringList{"0 bytes of 0 bytes / 100 %"});
    QCOMPARE(bench.dispatcher->FailureReason(), StoreTexts::incompleteDump("backup.sql", bench.texts.german()));
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
}

void FtpRetrievalTest::incompleteDumpKeepsPreviousBackup_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("line");
    QTest::newRow("English") << 0
        << "Dump incomplete: backup.sql does not end with mysqldump's completion line; the previous backup is kept";
    QTest::newRow("German") << 1
        << "Dump unvollständig: backup.sql endet nicht mit der Abschlusszeile von mysqldump; die bisherige Sicherung bleibt erhalten";
}

void FtpRetrievalTest::incompleteDumpKeepsPreviousBackup()
{
    QFETCH(int, language);
    QFETCH(QString, line);
    QVERIFY(m_server.putFile("cut/backup.sql", MakeDump(20000, false)));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()), language);
    BackupTask task = bench.task();
    task.ftpdir = "cut";
    const QByteArray previous = MakeDump(900, true, 5);
    QVERIFY(WriteAll(bench.localFile(), previous));

    QVERIFY(!bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(bench.dispatcher->FailureReason(), line);
    QVERIFY(bench.events.errors.isEmpty());
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
}

// A dump the host kept from an earlier day is no backup of this run; MDTM
// tells its age. A manual download takes what is there.
void FtpRetrievalTest::staleDumpIsNotStored()
{
    QVERIFY(m_server.putFile("old/backup.sql", MakeDump(5000)));
    const QDateTime runStart = QDateTime::currentDateTime();
    auto age = [&](int seconds) {
        QFile served(m_server.rootPath() + "/old/backup.sql");
        return served.open(QIODevice::ReadWrite)
            && served.setFileTime(runStart.addSecs(-seconds), QFileDevice::FileModificationTime);
    };
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()), 1);
    BackupTask task = bench.task();
    task.ftpdir = "old";
    const QByteArray previous = MakeDump(700, true, 9);
    QVERIFY(WriteAll(bench.localFile(), previous));

    QVERIFY(age(16 * 60));
    QVERIFY(!bench.retrieve(task, runStart));
    QCOMPARE(bench.dispatcher->FailureReason(),
             QString("Dump-Datei auf dem Host ist älter als dieser Lauf - nicht gespeichert"));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
    QVERIFY(bench.events.errors.isEmpty());

    QVERIFY(bench.retrieve(task));  // manual: no run to compare with
    QVERIFY(WriteAll(bench.localFile(), previous));
    QVERIFY(age(14 * 60));  // within the allowance for clock differences
    QVERIFY(bench.retrieve(task, runStart));
    QCOMPARE(ReadAll(bench.localFile()), MakeDump(5000));
}

void FtpRetrievalTest::errorDialogs_data()
{
    QTest::addColumn<QString>("ftpdir");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("serverDown");
    QTest::addColumn<bool>("previousBackup");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing directory") << "no-such-dir" << "backup.sql" << "" << false << true
        << "The directory Verzeichnis no-such-dir does not exist.\rThe backup-task will be cancelled." << 3
        << "Reason: directory no-such-dir not found on the host";
    QTest::newRow("missing file, no local file") << "dumps" << "missing.sql" << "" << false << false
        << "File not available: missing.sql\rThe backup-task will be cancelled." << 4
        << "Reason: file missing.sql not found on the host";
    QTest::newRow("missing file, local file kept") << "dumps" << "missing.sql" << "" << false << true
        << "File not available: missing.sql\rThe backup-task will be cancelled." << 4
        << "Reason: file missing.sql not found on the host";
    QTest::newRow("refused login") << "dumps" << "backup.sql" << "wrong" << false << true
        << "FTP Host \"127.0.0.1\" is not available.\rThe backup-task will be cancelled." << 2
        << "Reason: login refused by 127.0.0.1";
    QTest::newRow("server down") << "dumps" << "backup.sql" << "" << true << true
        << "FTP Host \"127.0.0.1\" is not available.\rThe backup-task will be cancelled." << 2
        << "Reason: no connection to 127.0.0.1 (refused or not reachable)";
}

void FtpRetrievalTest::errorDialogs()
{
    QFETCH(QString, ftpdir);
    QFETCH(QString, file);
    QFETCH(QString, password);
    QFETCH(bool, serverDown);
    QFETCH(bool, previousBackup);
    QFETCH(QString, dialog);
    QFETCH(int, kind);
    QFETCH(QString, reason);
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(3000)));
    const quint16 port = serverDown ? LoopbackServerProcess::unusedPort() : m_server.port();
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(port));
    BackupTask task = bench.task("127.0.0.1", password.isEmpty() ? m_server.settings().password : password);
    task.ftpdir = ftpdir;
    task.backupfile = file;
    const QByteArray previous = MakeDump(400, true, 3);
    if (previousBackup)
        QVERIFY(WriteAll(bench.localFile(file), previous));

    QVERIFY(!bench.retrieve(task));
    QCOMPARE(bench.events.errors, QStringList{dialog});
    QCOMPARE(bench.events.errorKinds, QList<int>{kind});
    QCOMPARE(bench.dispatcher->FailureReason(), reason);
    QVERIFY(!reason.contains(task.hostpw));
    QVERIFY(bench.view.lines.isEmpty());
    QVERIFY(!bench.events.calledFromOtherThread);
    if (previousBackup) {
        QCOMPARE(ReadAll(bench.localFile(file)), previous);
        QCOMPARE(Entries(bench.local.path()), QStringList{file});
    } else {
        QCOMPARE(Entries(bench.local.path()), QStringList());
    }
}

void FtpRetrievalTest::unwritableLocalDirectoryFailsWithoutDialog()
{
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(3000)));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = "dumps";
    task.localdir = bench.local.path() + "/does/not/exist";
    task.subdirectory = true;
    QVERIFY(!bench.retrieve(task));
    QVERIFY(bench.events.errors.isEmpty());
    QVERIFY(bench.view.lines.isEmpty());
    QCOMPARE(Entries(bench.local.path()), QStringList());
}

void FtpRetrievalTest::transferCutOffMidFile()
{
    FtpServerFixture::Settings settings;
    settings.cutOffFile = "backup.sql";
    FtpServerFixture dying(settings);
    QVERIFY(dying.putFile("dumps/backup.sql", MakeDump(300000)));
    QVERIFY2(dying.start(), qPrintable(dying.errorString()));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(dying.port()));
    BackupTask task = bench.task();
    task.ftpdir = "dumps";
    const QByteArray previous = MakeDump(1234, true, 11);
    QVERIFY(WriteAll(bench.localFile(), previous));

    QVERIFY(!bench.retrieve(task));
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
    QVERIFY(bench.events.errors.isEmpty());
    QVERIFY(!bench.events.captions.isEmpty());  // the transfer had begun
    QVERIFY(!bench.events.captions.last().endsWith("100 %"));
    QCOMPARE(bench.events.bars.last(), (Bar{0, 100}));

    // The break itself is the failure, not only the missing completion line.
    FtpTransferRequest request;
    request.server = request.userName = "127.0.0.1";
    request.password = dying.settings().password;
    request.port = dying.port();
    request.remoteDir = "dumps";
    request.remoteFile = "backup.sql";
    request.localFile = bench.localFile();
    request.requireCompletedDump = false;
    request.options = RetrievalTestBench::shortOptions(dying.port());
    StepRecorder recorder;
    const FtpTransferResult raw = FetchPerFtp(request, recorder);
    QCOMPARE(raw.failure, DownloadFailure::Transfer);
    QVERIFY(raw.received < 300000);
    QCOMPARE(ReadAll(bench.localFile()), previous);
    QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
}

void FtpRetrievalTest::growingOrOversizedFileKeepsPreviousBackup()
{
    FtpServerFixture::Settings settings;
    settings.shortSizeFile = "backup.sql";
    FtpServerFixture growing(settings);
    QVERIFY(growing.putFile("dumps/backup.sql", MakeDump(300000)));
    QVERIFY2(growing.start(), qPrintable(growing.errorString()));
    QVERIFY(m_server.putFile("dumps/backup.sql", MakeDump(300000)));
    const QByteArray previous = MakeDump(1234, true, 11);

    struct Case { quint16 port; qint64 limit; const char *reason; };
    const Case cases[] = {
        {growing.port(), RetrievalOptions().maxDownloadBytes, "Reason: backup.sql on the host grew past its listed size of "},
        {m_server.port(), 100000, "Reason: backup.sql is larger than the download limit of 100,00 Kb - not saved"},
    };
    for (const Case &c : cases) {
        RetrievalOptions options = RetrievalTestBench::shortOptions(c.port);
        options.maxDownloadBytes = c.limit;
        RetrievalTestBench bench(options);
        BackupTask task = bench.task();
        task.ftpdir = "dumps";
        QVERIFY(WriteAll(bench.localFile(), previous));
        QVERIFY(!bench.retrieve(task));
        QVERIFY2(bench.dispatcher->FailureReason().startsWith(c.reason), qPrintable(bench.dispatcher->FailureReason()));
        QCOMPARE(ReadAll(bench.localFile()), previous);
        QCOMPARE(Entries(bench.local.path()), QStringList{"backup.sql"});
    }
}

void FtpRetrievalTest::tlsWhenChosen()
{
    FtpServerFixture::Settings settings;
    settings.tls = true;
    FtpServerFixture secure(settings);
    const QByteArray dump = MakeDump(200000, true, 5);
    QVERIFY(secure.putFile("dumps/backup.sql", dump));
    if (!secure.start())
        VW_SKIP(qPrintable("no FTP server with TLS here: " + secure.errorString()));
    QVERIFY(m_server.putFile("dumps/backup.sql", dump));

    RetrievalOptions trusting = RetrievalTestBench::shortOptions(secure.port());
    trusting.caCertificateFile = secure.certificatePath();
    // A certificate nobody vouches for, and a server without TLS: the
    // password never goes out. (The whole download is tried against
    // pure-ftpd below: pyftpdlib's TLS data connections fail here.)
    struct Case { quint16 port; bool trust; const char *reason; };
    const Case cases[] = {
        {secure.port(), false, "Reason: the TLS certificate of 127.0.0.1 could not be verified"},
        {m_server.port(), true, "Reason: 127.0.0.1 does not offer FTP with TLS - the password was not sent"},
    };
    for (const Case &c : cases) {
        secure.clearCommands();
        m_server.clearCommands();
        RetrievalOptions options = trusting;
        options.ftpPort = c.port;
        if (!c.trust)
            options.caCertificateFile.clear();
        RetrievalTestBench bench(options);
        BackupTask task = bench.task();
        task.ftpdir = "dumps";
        task.ftptls = true;
        QVERIFY(!bench.retrieve(task));
        QCOMPARE(bench.dispatcher->FailureReason(), QString(c.reason));
        QVERIFY(!secure.commands().contains("PASS") && !m_server.commands().contains("PASS"));
        QCOMPARE(Entries(bench.local.path()), QStringList());
    }
}

// A whole FTPS download from a real TLS-only server: login, directory, size,
// file time and data all go over TLS, and the stored file is the dump.
void FtpRetrievalTest::ftpsDownloadIsStoredWhole()
{
    RetrievalTestBench probe(RetrievalTestBench::shortOptions(0));
    const BackupTask defaults = probe.task();
    FtpsServerFixture secure(defaults.host, defaults.hostpw);
    if (!secure.start())
        VW_SKIP(qPrintable("no FTPS server here: " + secure.errorString()));
    const QByteArray dump = MakeDump(300000, true, 9);
    QVERIFY(secure.putFile("dumps/backup.sql", dump));
    RetrievalOptions options = RetrievalTestBench::shortOptions(secure.port());
    options.caCertificateFile = secure.certificatePath();
    RetrievalTestBench bench(options);
    BackupTask task = bench.task();
    task.ftpdir = "dumps";
    task.ftptls = true;
    QVERIFY2(bench.retrieve(task), qPrintable(bench.dispatcher->FailureReason()));
    QCOMPARE(ReadAll(bench.localFile()), dump);
    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

void FtpRetrievalTest::activeModeFallsBackToPassive_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("line");
    QTest::newRow("PORT refused") << int(FtpServerFixture::ActiveMode::Refuse) << 0
        << "Active FTP data connection failed, trying once more in passive mode";
    QTest::newRow("no connection back") << int(FtpServerFixture::ActiveMode::Silent) << 1
        << "Aktive FTP-Datenverbindung gescheitert, neuer Versuch im passiven Modus";
}

void FtpRetrievalTest::activeModeFallsBackToPassive()
{
    QFETCH(int, mode);
    QFETCH(int, language);
    QFETCH(QString, line);
    FtpServerFixture::Settings settings;
    settings.active = FtpServerFixture::ActiveMode(mode);
    FtpServerFixture behindRouter(settings);
    const QByteArray dump = MakeDump(50000, true, 21);
    QVERIFY(behindRouter.putFile("dumps/backup.sql", dump));
    QVERIFY2(behindRouter.start(), qPrintable(behindRouter.errorString()));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(behindRouter.port()), language);
    BackupTask task = bench.task();
    task.ftpdir = "dumps";

    QVERIFY2(bench.retrieve(task), qPrintable(bench.dispatcher->FailureReason() + " " + behindRouter.commands().join(' ')));
    QCOMPARE(ReadAll(bench.localFile()), dump);
    QCOMPARE(bench.view.messages(), QStringList{line});
    QVERIFY(bench.events.errors.isEmpty());
    const QStringList commands = behindRouter.commands();
    QVERIFY2(commands.contains("EPRT") || commands.contains("PORT"), qPrintable(commands.join(' ')));
    QVERIFY2(commands.contains("EPSV") || commands.contains("PASV"), qPrintable(commands.join(' ')));
    QCOMPARE(Entries(bench.local.path()), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

void FtpRetrievalTest::dailySubdirectory()
{
    const QByteArray dump = MakeDump(6000, true, 8);
    QVERIFY(m_server.putFile("dumps/backup.sql", dump));
    RetrievalTestBench bench(RetrievalTestBench::shortOptions(m_server.port()));
    BackupTask task = bench.task();
    task.ftpdir = "dumps";
    task.subdirectory = true;

    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.local.path() + "/2027-3-5/backup.sql"), dump);
    QCOMPARE(Entries(bench.local.path()), QStringList{"2027-3-5"});
    // The same day again overwrites the file in the same subdirectory.
    const QByteArray later = MakeDump(6100, true, 9);
    QVERIFY(m_server.putFile("dumps/backup.sql", later));
    QVERIFY(bench.retrieve(task));
    QCOMPARE(ReadAll(bench.local.path() + "/2027-3-5/backup.sql"), later);
    QCOMPARE(Entries(bench.local.path() + "/2027-3-5"), (QStringList{"backup.sql", "backup.sql.sha256"}));
}

QTEST_GUILESS_MAIN(FtpRetrievalTest)
#include "tst_ftp_retrieval.moc"
