#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeClock.h"
#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "RecordingProtocolView.h"
#include "RequirePeer.h"
#include "ResticServerFixture.h"
#include "ScriptedTelnetHost.h"
#include "SmtpServerFixture.h"
#include "SpinWait.h"
#include "TaskBuilder.h"
#include "engine/BackupService.h"
#include "notify/MailSettings.h"
#include "restore/RestorePrograms.h"
#include "run/RunQueue.h"
#include "schedule/ScheduleDriver.h"
#include "shell/LanguageTexts.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskStore.h"

// The engine on its own, as the tray program drives it, with no window: the
// schedule's tick, the board, the records, notifications and mail.
class TestBackupService : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeClock m_clock{QDateTime(QDate(2027, 3, 5), QTime(3, 0, 0))};
    int m_n = 0;

    struct Engine {
        LanguageTexts texts;
        TaskStore store;
        RecordingProtocolView view;
        std::unique_ptr<BackupService> service;
        Engine(const QString &storeFile, BackupServiceOptions options) : store(storeFile)
        {
            texts.refill();
            service = std::make_unique<BackupService>(std::move(options), store, texts);
            service->log().setView(&view);
        }
    };

    BackupServiceOptions options(quint16 telnetPort = 23, quint16 ftpPort = 21)
    {
        BackupServiceOptions o;
        o.clock = &m_clock;
        o.pacing.lineDelayMs = 5;
        o.pacing.charDelayMs = 0;
        o.pacing.connectWaitMs = 2000;
        o.telnetPort = telnetPort;
        o.retrieval.ftpPort = ftpPort;
        o.retrieval.acceptTimeoutMs = 2000;
        o.lockDirectory = m_dir.filePath(QStringLiteral("locks%1").arg(m_n));
        return o;
    }

    // The host's dump in the FTP directory, made in this run's minute.
    bool serve(FtpServerFixture &ftp, const QByteArray &dump)
    {
        QFile served(ftp.rootPath() + QStringLiteral("/dumps/backup.sql"));
        return ftp.putFile(QStringLiteral("dumps/backup.sql"), dump) && served.open(QIODevice::ReadWrite)
               && served.setFileTime(m_clock.now(), QFileDevice::FileModificationTime);
    }

    // Failure mail to the fixture's server.
    static bool mailTo(const SmtpServerFixture &smtp, Engine &e)
    {
        MailSettings mail;
        mail.server = QStringLiteral("127.0.0.1");
        mail.port = smtp.port();
        mail.sender = QStringLiteral("vaultwick@example.org");
        mail.recipient = QStringLiteral("admin@example.org");
        if (!mail.save(e.store))
            return false;
        e.service->schedule().reloadMailSettings();
        return true;
    }

    QString storeFile() const { return m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n)); }

    static BackupTask shopTask(const QString &localdir)
    {
        TaskBuilder b(QStringLiteral("shop"));
        b.host(QStringLiteral("127.0.0.1")).login(QStringLiteral("web"), QStringLiteral("h0st-Secret"));
        b.database(QStringLiteral("shop")).remoteDir(QStringLiteral("/dumps/")).localDir(localdir);
        b.at(QStringLiteral("03:00"), 1).task().ftpdir = QStringLiteral("dumps");
        return b;
    }

private slots:
    void init() { ++m_n; }

    void aSlotRunsThroughTheRealFtpServerAndIsRecordedOnTheBoard()
    {
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        const QByteArray dump = QByteArray("CREATE TABLE t (x int);\n") + "-- Dump completed on 2027-03-05  3:00:01\n";
        QVERIFY(serve(ftp, dump));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        QTemporaryDir local;
        Engine e(storeFile(), options(host.port(), ftp.port()));
        BackupTask task = shopTask(local.path());
        task.hostpw = ftp.settings().password;  // the FTP login is the host's
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
        QSignalSpy states(&e.service->schedule(), &ScheduleDriver::stateChanged);
        QSignalSpy loaded(e.service.get(), &BackupService::taskLoaded);
        QSignalSpy finished(e.service.get(), &BackupService::runFinished);

        e.service->rebuildBoard();
        QCOMPARE(e.service->board().rowCount(), 1);
        e.service->schedule().tick();
        QCOMPARE(loaded.size(), 1);
        QVERIFY(SpinUntil([&] { return finished.size() == 1; }, 20000));

        const RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        QVERIFY2(outcome.success, qPrintable(e.view.messages().join(" | ")));
        QCOMPARE(outcome.message, QStringLiteral("Successful on 03/05/2027 03:00:00"));
        QCOMPARE(e.service->board().message(0), outcome.message);
        QCOMPARE(e.store.ReadTaskList().at(0).record.lastmessage, outcome.message);
        QFile stored(local.filePath(QStringLiteral("backup.sql")));
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), dump);
        const ScheduleState state = states.last().at(0).value<ScheduleState>();
        QCOMPARE(state.failedTasks, 0);
        QCOMPARE(state.nextBackup, QStringLiteral("Next backup: shop at 03:00"));
        // The slot is used: the next tick in the same minute starts nothing.
        e.service->schedule().tick();
        QCOMPARE(loaded.size(), 1);
    }

    // A check service hears of the start and the end of each run, with the
    // run's protocol and no password; one that cannot be reached changes
    // nothing about the run.
    void aCheckServiceHearsOfEachRun()
    {
        FtpServerFixture ftp;
        HttpServerFixture checks;
        if (!ftp.start() || !checks.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP or HTTP server: ") + ftp.errorString() + checks.errorString()));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        QTemporaryDir local;
        Engine e(storeFile(), options(host.port(), ftp.port()));
        BackupTask task = shopTask(local.path());
        task.hostpw = ftp.settings().password;
        task.pingurl = checks.url(QStringLiteral("ping/abc/"));
        QSignalSpy finished(e.service.get(), &BackupService::runFinished);
        auto run = [&](const QByteArray &dump) {
            QVERIFY(serve(ftp, dump));
            QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
            const qsizetype before = finished.size();
            e.service->runTask(QStringLiteral("shop"));
            QVERIFY(SpinUntil([&] { return finished.size() == before + 1 && e.service->pingsPending() == 0; }, 20000));
        };
        run("CREATE TABLE t (x int);\n-- Dump completed on 2027-03-05  3:00:01\n");
        // Each run also rewrites the metrics file, when one is set.
        const QString metrics = local.filePath(QStringLiteral("vaultwick.prom"));
        QVERIFY(e.store.writeValues({{AppSettings::MetricsFileKey, metrics}}));
        run("CREATE TABLE t (x int);\n");  // no completion line: not stored
        QFile scraped(metrics);
        QVERIFY(scraped.open(QIODevice::ReadOnly));
        QVERIFY(scraped.readAll().contains("vaultwick_last_run_success{task=\"shop\"} 0\n"));
        QStringList posts = checks.requests().filter(QStringLiteral("POST"));
        for (QString &p : posts)
            p = p.section(QLatin1Char('"'), 1, 1);
        QCOMPARE(posts, (QStringList{"POST /ping/abc/start HTTP/1.1", "POST /ping/abc HTTP/1.1",
                                     "POST /ping/abc/start HTTP/1.1", "POST /ping/abc/fail HTTP/1.1"}));
        const QList<QByteArray> bodies = checks.postBodies();
        QCOMPARE(bodies.size(), 4);
        QVERIFY2(bodies[1].contains("backup.sql saved successfully"), bodies[1].constData());
        QVERIFY2(bodies[3].contains("Dump incomplete"), bodies[3].constData());
        for (const QByteArray &body : bodies)
            QVERIFY(!body.contains(task.hostpw.toUtf8()));

        task.pingurl = QStringLiteral("http://127.0.0.1:%1/ping").arg(LoopbackServerProcess::unusedPort());
        run("CREATE TABLE t (x int);\n-- Dump completed on 2027-03-05  3:00:01\n");
        QVERIFY(finished.last().at(0).value<RunOutcome>().success);
        QVERIFY(e.view.messages().join(QLatin1Char('\n')).contains(QStringLiteral("Health check ping for shop failed: ")));
    }

    // Scheduled or manual, a start that fails (here: the lock folder is a
    // file) is a failed run with its reason in the Message, the record, the
    // notification and the mail.
    void aStartThatFailsEndsAsAFailedRunWithItsReason()
    {
        SmtpServerFixture smtp;
        if (!smtp.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server here: ") + smtp.errorString()));
        BackupServiceOptions o = options();
        QFile blocker(o.lockDirectory);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTemporaryDir local;
        Engine e(storeFile(), o);
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), shopTask(local.path())));
        QVERIFY(mailTo(smtp, e));
        QSignalSpy notified(&e.service->schedule(), &ScheduleDriver::notificationRequested);
        QSignalSpy started(&e.service->queue(), &RunQueue::runStarted);

        e.service->rebuildBoard();
        e.service->schedule().tick();
        const QString reason = QStringLiteral("its run lock cannot be made in %1").arg(o.lockDirectory);
        QCOMPARE(started.size(), 0);
        const QString message = e.service->board().message(0);
        QVERIFY2(message.startsWith(QStringLiteral("!!! Not Successful on 03/05/2027 03:00:00")), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral(" - ") + reason));
        QCOMPARE(e.store.ReadTaskList().at(0).record.lastmessage, message);
        QCOMPARE(notified.size(), 1);
        QCOMPARE(notified.at(0).at(1).toString(), QStringLiteral("Backup of shop failed\n") + reason);
        QVERIFY(SpinUntil([&] { return smtp.mails().size() == 1; }, 20000));
        const QByteArray sent = smtp.mails().at(0).data;
        // The protocol lines it quotes come from the log, not from a view.
        QVERIFY2(sent.contains("shop could not be started"), sent.constData());
        QVERIFY(!sent.contains("h0st-Secret"));

        e.service->runTask(QStringLiteral("shop"));  // the menu's manual run
        QCOMPARE(notified.size(), 2);
        QCOMPARE(started.size(), 0);
    }

    // The stored backup is loaded into a throwaway local server: counted
    // when it loads, and raised like a failure, though kept, when it does not.
    void aScheduledRunProvesItsBackupByATestRestore_data()
    {
        QTest::addColumn<bool>("broken");
        QTest::newRow("loads") << false;
        QTest::newRow("broken statement in the middle") << true;
    }
    void aScheduledRunProvesItsBackupByATestRestore()
    {
        QFETCH(bool, broken);
        if (!RestorePrograms::find().found())
            VW_SKIP("no mariadbd or mysqld with its client");
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        SmtpServerFixture smtp;
        if (!smtp.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server here: ") + smtp.errorString()));
        const QByteArray dump = QByteArray("CREATE TABLE `orders` (id INT);\nINSERT INTO `orders` VALUES (1),(2),(3);\n")
                                + (broken ? "INSERT INTO `orders` VALUES (4;\n" : "")
                                + "CREATE TABLE `notes` (a TEXT);\nINSERT INTO `notes` VALUES ('x'),('y');\n"
                                + "-- Dump completed on 2027-03-05  3:00:01\n";
        QVERIFY(serve(ftp, dump));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        QTemporaryDir local;
        BackupServiceOptions o = options(host.port(), ftp.port());
        o.restore.tempRoot = local.path();
        Engine e(storeFile(), o);
        BackupTask task = shopTask(local.filePath(QStringLiteral("backups")));
        task.hostpw = ftp.settings().password;
        task.testrestore = true;
        task.compress = 1;  // unpacked on the way into the server
        QVERIFY(QDir().mkpath(task.localdir));
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
        QVERIFY(mailTo(smtp, e));
        QSignalSpy notified(&e.service->schedule(), &ScheduleDriver::notificationRequested);
        QSignalSpy states(&e.service->schedule(), &ScheduleDriver::stateChanged);
        QSignalSpy finished(e.service.get(), &BackupService::runFinished);

        e.service->rebuildBoard();
        e.service->schedule().tick();
        QVERIFY(SpinUntil([&] { return finished.size() == 1; }, 60000));
        const RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        const QStringList lines = e.view.messages();
        QVERIFY2(outcome.success, qPrintable(lines.join(" | ")));
        QVERIFY(QFile::exists(task.localdir + QStringLiteral("/backup.sql.gz")));  // kept either way
        const BackupTask stored = e.store.LoadTask(QStringLiteral("shop"));
        QCOMPARE(QDir(local.path()).entryList({QStringLiteral("vaultwick-restore-*")}, QDir::Dirs), QStringList());
        if (!broken) {
            QVERIFY2(lines.last().startsWith(QStringLiteral("Test restore passed: 2 tables, 5 rows (")), qPrintable(lines.last()));
            QCOMPARE(outcome.message, QStringLiteral("Successful on 03/05/2027 03:00:00"));
            QCOMPARE(stored.lastrestoretest, QStringLiteral("passed"));
            QCOMPARE(stored.lastrestorecounts, QStringLiteral("2 5"));
            QCOMPARE(notified.size(), 0);
            return;
        }
        QVERIFY2(outcome.warning.startsWith(QStringLiteral("ERROR 1064")) && outcome.warning.contains(QStringLiteral(" at line 3")),
                 qPrintable(outcome.warning));
        QCOMPARE(lines.last(), QStringLiteral("Test restore failed: ") + outcome.warning);
        QCOMPARE(outcome.message, QStringLiteral("!!! stored on 03/05/2027 03:00:00, but the test restore failed: ") + outcome.warning);
        QCOMPARE(stored.lastmessage, outcome.message);
        QCOMPARE(stored.lastrestoretest, QStringLiteral("failed: ") + outcome.warning);
        QCOMPARE(states.last().at(0).value<ScheduleState>().failedTasks, 1);  // the tray's warning
        QCOMPARE(notified.size(), 1);
        QCOMPARE(notified.at(0).at(1).toString(),
                 QStringLiteral("Backup of shop stored, but its test restore failed\n") + outcome.warning);
        QVERIFY(SpinUntil([&] { return smtp.mails().size() == 1; }, 20000));
        const QByteArray sent = smtp.mails().at(0).data;
        QVERIFY2(sent.contains("stored, but its test restore failed"), sent.constData());
        QVERIFY(sent.contains("ERROR 1064"));
    }

    // A backup stored here whose second copy failed is a warning raised like a
    // failed run; the record says how the last copy went, for --list.
    void aFailedOffsiteCopyWarnsAndTheNextGoodOneIsRecorded()
    {
        if (ResticServerFixture::missingTools().size())
            VW_SKIP(ResticServerFixture::missingTools().toUtf8());
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        SmtpServerFixture smtp;
        if (!smtp.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server here: ") + smtp.errorString()));
        QVERIFY(serve(ftp, "CREATE TABLE t (x INT);\n-- Dump completed on 2027-03-05  3:00:01\n"));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        QTemporaryDir local;
        Engine e(storeFile(), options(host.port(), ftp.port()));
        BackupTask task = shopTask(local.filePath(QStringLiteral("backups")));
        task.hostpw = ftp.settings().password;
        QFile blocker(local.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        task.offsite = blocker.fileName() + QStringLiteral("/copies");
        QVERIFY(QDir().mkpath(task.localdir));
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
        QVERIFY(mailTo(smtp, e));
        QSignalSpy notified(&e.service->schedule(), &ScheduleDriver::notificationRequested);
        QSignalSpy finished(e.service.get(), &BackupService::runFinished);
        e.service->rebuildBoard();
        e.service->schedule().tick();
        QVERIFY(SpinUntil([&] { return finished.size() == 1; }, 60000));
        RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        QVERIFY(outcome.success && !outcome.proven());
        QVERIFY(QFile::exists(task.localdir + QStringLiteral("/backup.sql")));
        QCOMPARE(outcome.message, QStringLiteral("!!! stored locally; the off-site copy failed: ") + outcome.warning
                                      + QStringLiteral(" (03/05/2027 03:00:00)"));
        QCOMPARE(e.store.LoadTask(QStringLiteral("shop")).lastoffsite, QStringLiteral("failed: ") + outcome.warning);
        QCOMPARE(notified.size(), 1);
        QCOMPARE(notified.at(0).at(1).toString(),
                 QStringLiteral("Backup of shop stored locally, but its off-site copy failed\n") + outcome.warning);
        QVERIFY(SpinUntil([&] { return smtp.mails().size() == 1; }, 20000));
        QVERIFY(smtp.mails().at(0).data.contains("stored locally, but its off-site copy failed"));

        task.offsite = local.filePath(QStringLiteral("copies"));
        QVERIFY(serve(ftp, "CREATE TABLE t (x INT);\n-- Dump completed on 2027-03-05  3:00:01\n"));
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
        QVERIFY(e.service->startTask(QStringLiteral("shop"), false).isEmpty());
        QVERIFY(SpinUntil([&] { return finished.size() == 2; }, 60000));
        outcome = finished.at(1).at(0).value<RunOutcome>();
        QVERIFY2(outcome.proven(), qPrintable(e.view.messages().join(" | ")));
        QCOMPARE(e.store.LoadTask(QStringLiteral("shop")).lastoffsite, QStringLiteral("copied"));
        QCOMPARE(notified.size(), 1);
    }

    // The program ends while the second copy is on its way: the tool stops,
    // nothing has the final name, and the run still ends (the command line waits for it).
    void theEndOfTheProgramStopsTheOffsiteCopyAndEndsTheRun()
    {
        if (ResticServerFixture::missingTools().size())
            VW_SKIP(ResticServerFixture::missingTools().toUtf8());
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        QByteArray dump = "CREATE TABLE t (x INT);\n";
        while (dump.size() < 4 * 1024 * 1024)
            dump += "INSERT INTO t VALUES (" + QByteArray::number(QRandomGenerator::global()->generate64()) + ");\n";
        QVERIFY(serve(ftp, dump + "-- Dump completed on 2027-03-05  3:00:01\n"));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        QTemporaryDir local;
        Engine e(storeFile(), options(host.port(), ftp.port()));
        BackupTask task = shopTask(local.filePath(QStringLiteral("backups")));
        task.hostpw = ftp.settings().password;
        task.offsite = local.filePath(QStringLiteral("copies"));
        QVERIFY(QDir().mkpath(task.localdir));
        QVERIFY(e.store.SaveTask(QStringLiteral("shop"), task));
        QVERIFY(AppSettings(e.store).SaveOffsiteLimit(128));
        QSignalSpy finished(e.service.get(), &BackupService::runFinished);
        QVERIFY(e.service->startTask(QStringLiteral("shop"), false).isEmpty());
        QVERIFY(SpinUntil([&] { return e.view.messages().join('|').contains(QStringLiteral("Off-site copy of")); }, 60000));
        e.service->shutdown();
        QVERIFY(SpinUntil([&] { return finished.size() == 1; }, 20000));
        const RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        QVERIFY(outcome.success);
        QCOMPARE(outcome.warning, QStringLiteral("the off-site copy was cancelled"));
        QVERIFY(QFile::exists(task.localdir + QStringLiteral("/backup.sql")));
        QDirIterator copies(task.offsite, {QStringLiteral("backup.sql")}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(!copies.hasNext());
    }
};

QTEST_GUILESS_MAIN(TestBackupService)
#include "tst_backupservice.moc"
