#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>

#include "RequirePeer.h"
#include "FakeClock.h"
#include "FtpServerFixture.h"
#include "ScriptedTelnetHost.h"
#include "TaskBuilder.h"
#include "cli/CommandLineProgram.h"
#include "engine/TaskRunLock.h"
#include "tasks/RecordTime.h"
#include "tasks/TaskStore.h"

// Runs from the command line through the real engine, against a scripted
// telnet host and a real FTP server, without any window.
class TestCommandRun : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeClock m_clock{QDateTime(QDate(2027, 3, 5), QTime(3, 0, 20))};
    FtpServerFixture m_ftp;
    std::unique_ptr<ScriptedTelnetHost> m_host;
    std::unique_ptr<TaskStore> m_store;
    int m_n = 0;

    struct Result {
        int status = -1;
        QStringList lines;   // standard output
        QString errors;      // standard error
    };

    CommandLineOptions options() const
    {
        CommandLineOptions o;
        o.engine.clock = &m_clock;
        o.engine.pacing.lineDelayMs = 5;
        o.engine.pacing.charDelayMs = 0;
        o.engine.pacing.connectWaitMs = 2000;
        o.engine.telnetPort = m_host->port();
        o.engine.retrieval.ftpPort = m_ftp.port();
        o.engine.retrieval.acceptTimeoutMs = 2000;
        o.lockDirectory = m_dir.filePath(QStringLiteral("locks"));
        o.lockPollMs = 20;
        return o;
    }

    Result run(const QStringList &arguments, CommandLineOptions o)
    {
        const QString outPath = m_dir.filePath(QStringLiteral("out%1").arg(++m_n));
        const QString errPath = outPath + QStringLiteral(".err");
        FILE *out = std::fopen(qPrintable(outPath), "w");
        FILE *err = std::fopen(qPrintable(errPath), "w");
        Result r;
        {
            CommandLineProgram program(CommandLine::parse(QStringList{QStringLiteral("vaultwick")} + arguments, false),
                                       *m_store, 0, std::move(o), out, err);
            QSignalSpy finished(&program, &CommandLineProgram::finished);
            r.status = program.start();
            if (r.status < 0 && (finished.size() > 0 || finished.wait(30000)))
                r.status = finished.at(0).at(0).toInt();
        }
        std::fclose(out);
        std::fclose(err);
        QFile o1(outPath), e1(errPath);
        o1.open(QIODevice::ReadOnly);
        e1.open(QIODevice::ReadOnly);
        r.lines = QString::fromUtf8(o1.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        r.errors = QString::fromUtf8(e1.readAll());
        return r;
    }

    BackupTask task(const QString &name, const QString &database, const QString &time, int run)
    {
        return TaskBuilder(name)
            .host(QStringLiteral("127.0.0.1"))
            .login(QStringLiteral("web"), m_ftp.settings().password)
            .database(database)
            .file(database + QStringLiteral(".sql"))
            .localDir(m_dir.filePath(QStringLiteral("local")))
            .at(time, run);
    }

    // The dumps as the host makes them; a stored run removes its own.
    void putDumps()
    {
        for (const char *db : {"shop", "blog", "crm"}) {
            const QString name = QString::fromLatin1(db) + QStringLiteral(".sql");
            QVERIFY2(m_ftp.putFile(name, QByteArray("CREATE TABLE t (x int);\n-- Dump completed on 2027-03-05  3:00:21\n")), "put");
            // Made by this run, as far as the freshness check can tell.
            QFile f(m_ftp.rootPath() + QLatin1Char('/') + name);
            QVERIFY2(f.open(QIODevice::ReadWrite) && f.setFileTime(m_clock.now(), QFileDevice::FileModificationTime), "time");
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkpath(QStringLiteral("local")));
        if (!m_ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + m_ftp.errorString()));
    }
    void init()
    {
        putDumps();
        m_host = std::make_unique<ScriptedTelnetHost>();
        connect(m_host.get(), &ScriptedTelnetHost::commandReceived, this, [this](const QString &command) {
            if (command.contains(QStringLiteral("mysqldump")))
                putDumps();
        });
        m_host->setHostName(QStringLiteral("127.0.0.1"));
        m_store = std::make_unique<TaskStore>(m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n)));
    }

    void runExitStatusesAndProtocolLines()
    {
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"), QStringLiteral("shop"), QStringLiteral("12:00"), 0)));
        BackupTask missing = task(QStringLiteral("Gone"), QStringLiteral("nothere"), QStringLiteral("12:00"), 1);
        QVERIFY(m_store->SaveTask(missing.name, missing));

        // Inactive tasks run by hand too; the name is matched without regard to case.
        Result r = run({QStringLiteral("--run"), QStringLiteral("shop")}, options());
        QVERIFY2(r.status == 0, qPrintable(r.lines.join('\n') + r.errors));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("local/shop.sql"))));
        const QRegularExpression stamped(QStringLiteral("^03/05/2027 03:00:20\t"));
        QVERIFY2(r.lines.size() > 3, qPrintable(r.lines.join('\n')));
        for (const QString &line : r.lines.mid(0, r.lines.size() - 1))
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
        QVERIFY(r.lines.contains(QStringLiteral("03/05/2027 03:00:20\tshop.sql saved successfully")));
        QCOMPARE(r.lines.last(), QStringLiteral("Shop: Successful on 03/05/2027 03:00:20"));
        QVERIFY(m_host->commands().first().contains(QStringLiteral("shop")));

        r = run({QStringLiteral("--run"), QStringLiteral("Gone")}, options());
        QCOMPARE(r.status, 1);
        QCOMPARE(r.lines.last(), QStringLiteral("Gone: !!! Not Successful on 03/05/2027 03:00:20"));

        m_host->clearRecords();
        r = run({QStringLiteral("--run"), QStringLiteral("Nobody")}, options());
        QCOMPARE(r.status, 2);
        QVERIFY(r.lines.isEmpty());
        QVERIFY(r.errors.contains(QStringLiteral("Nobody")));
        QVERIFY(!m_host->isClientConnected() && m_host->loginName().isEmpty());
    }

    void aStoredFileNameOutsideTheDirectoryIsRefusedBeforeTheHost()
    {
        BackupTask t = task(QStringLiteral("Evil"), QStringLiteral("shop"), QStringLiteral("12:00"), 0);
        t.backupfile = QStringLiteral("../shop.sql");
        QVERIFY(m_store->SaveTask(t.name, t));
        const Result r = run({QStringLiteral("--run"), QStringLiteral("Evil")}, options());
        QCOMPARE(r.status, 1);
        QVERIFY2(r.lines.last().startsWith(QStringLiteral("Evil: !!! Not Successful on "))
                     && r.lines.last().contains(QStringLiteral("is not allowed")),
                 qPrintable(r.lines.join('\n')));
        QVERIFY(m_host->loginName().isEmpty());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("shop.sql"))));
    }

    void aSignalBreaksTheRunOffAndFails_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("TERM") << SIGTERM;
        QTest::newRow("INT") << SIGINT;
        QTest::newRow("HUP") << SIGHUP;
    }

    void aSignalBreaksTheRunOffAndFails()
    {
        QFETCH(int, signal);
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"), QStringLiteral("shop"), QStringLiteral("12:00"), 0)));
        const QString local = m_dir.filePath(QStringLiteral("local"));
        QFile::remove(local + QStringLiteral("/shop.sql"));
        connect(m_host.get(), &ScriptedTelnetHost::commandReceived, this, [signal] { ::raise(signal); },
                Qt::SingleShotConnection);
        const Result r = run({QStringLiteral("--run"), QStringLiteral("Shop")}, options());
        QCOMPARE(r.status, 1);
        QVERIFY2(r.errors.contains(QStringLiteral("Ended by a signal")), qPrintable(r.errors));
        QVERIFY(QDir(local).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void aRunWaitsForTheTasksLockOrReportsBusy()
    {
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"), QStringLiteral("shop"), QStringLiteral("12:00"), 1)));
        // The tray program runs the task (its lock, in the shared folder).
        auto tray = std::make_unique<TaskRunLock>(QStringLiteral("SHOP"), options().lockDirectory);
        QVERIFY(tray->tryLock());

        CommandLineOptions o = options();
        o.busyWaitMs = 200;
        Result r = run({QStringLiteral("--run"), QStringLiteral("Shop")}, o);
        QCOMPARE(r.status, 3);
        QVERIFY(r.errors.contains(QStringLiteral("busy")));
        QVERIFY(m_host->loginName().isEmpty());  // never started

        // It ends while the command line waits: the run follows.
        o.busyWaitMs = 20000;
        QTimer::singleShot(150, this, [&tray] { tray.reset(); });
        r = run({QStringLiteral("--run"), QStringLiteral("Shop")}, o);
        QCOMPARE(r.status, 0);
        QCOMPARE(m_host->loginName(), QStringLiteral("web"));

        // While the command line runs, the task's lock is taken.
        TaskRunLock probe(QStringLiteral("shop"), options().lockDirectory);
        bool lockedDuringRun = false;
        connect(m_host.get(), &ScriptedTelnetHost::commandReceived, this,
                [&] { lockedDuringRun = !probe.tryLock(); probe.unlock(); });
        QCOMPARE(run({QStringLiteral("--run"), QStringLiteral("Shop")}, options()).status, 0);
        QVERIFY(lockedDuringRun);

        // The tray program may have a run and a download of the task waiting:
        // the lock goes with the last of them.
        TaskRunLocks trayLocks(options().lockDirectory);
        QVERIFY(trayLocks.acquire(QStringLiteral("Shop")) && trayLocks.acquire(QStringLiteral("shop")));
        trayLocks.release(QStringLiteral("Shop"));
        QVERIFY(!probe.tryLock());
        trayLocks.release(QStringLiteral("shop"));
        QVERIFY(probe.tryLock());

        // A lock that cannot be made at all: the run did not happen, and its
        // record says so with the reason.
        QFile blocker(m_dir.filePath(QStringLiteral("nolocks")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        o = options();
        o.lockDirectory = blocker.fileName();
        r = run({QStringLiteral("--run"), QStringLiteral("Shop")}, o);
        QCOMPARE(r.status, 1);
        QVERIFY(r.errors.contains(QStringLiteral("could not be made")));
        const QString message = m_store->ReadTaskList().at(0).record.lastmessage;
        QVERIFY2(message.startsWith(QStringLiteral("!!! Not Successful on ")), qPrintable(message));
        QVERIFY(message.endsWith(QStringLiteral(" - its run lock cannot be made in ") + blocker.fileName()));
        QCOMPARE(r.lines.last(), QStringLiteral("Shop: ") + message);
    }

    void runDueRunsExactlyTheDueAndMissedTasksOnce()
    {
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"), QStringLiteral("shop"), QStringLiteral("03:00"), 1)));
        QVERIFY(m_store->SaveTask(QStringLiteral("Blog"), task(QStringLiteral("Blog"), QStringLiteral("blog"), QStringLiteral("03:00"), 0)));
        QVERIFY(m_store->SaveTask(QStringLiteral("Crm"), task(QStringLiteral("Crm"), QStringLiteral("crm"), QStringLiteral("02:00"), 1)));
        QVERIFY(m_store->SaveTask(QStringLiteral("Wiki"), task(QStringLiteral("Wiki"), QStringLiteral("wiki"), QStringLiteral("01:00"), 1)));
        {
            // Crm last ran yesterday: today's 02:00 was missed and is made up.
            // Wiki has no run and no save recorded: only ever started on time.
            QSettings raw(m_store->fileName(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/Crm/Options/lastattempt"),
                         RecordTime::format(m_clock.now().addDays(-1).addSecs(-3600)));
        }
        const Result r = run({QStringLiteral("--run-due")}, options());
        QCOMPARE(r.status, 0);
        const QStringList dumps = m_host->commands().filter(QStringLiteral("mysqldump"));
        QCOMPARE(dumps.size(), 2);
        QVERIFY(dumps[0].contains(QStringLiteral(" crm ")) && dumps[1].contains(QStringLiteral(" shop ")));
        QCOMPARE(r.lines.filter(QStringLiteral(": Successful on ")).size(), 2);

        // The runs left their record: a second call in the same minute starts nothing.
        m_host->clearRecords();
        QCOMPARE(run({QStringLiteral("--run-due")}, options()).status, 0);
        QVERIFY(m_host->commands().isEmpty());
        const BackupTask shop = m_store->LoadTask(QStringLiteral("Shop"));
        QCOMPARE(shop.lastmessage, QStringLiteral("Successful on 03/05/2027 03:00:20"));
        QCOMPARE(RecordTime::parse(shop.lastattempt), m_clock.now());
    }
};

QTEST_GUILESS_MAIN(TestCommandRun)
#include "tst_commandrun.moc"
