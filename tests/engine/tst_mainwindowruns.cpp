#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "HttpServerFixture.h"
#include "ScriptedTelnetHost.h"
#include "shell/TNotifyIcon.h"
#include "tasks/TaskListView.h"

#include "MainWindowFixture.h"

class TestMainWindowRuns : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { reset(); }

    void theTickStartsDueActiveTasksOncePerSlotInRowOrder()
    {
        TForm1 w(options());
        // Empty hosts: each run ends at once with "Unknown host - no connection".
        w.store().SaveTask(QStringLiteral("a"), task(QStringLiteral("a"), QStringLiteral("12:00"), 1));
        w.store().SaveTask(QStringLiteral("b"), task(QStringLiteral("b"), QStringLiteral("12:00"), 1));
        w.store().SaveTask(QStringLiteral("c"), task(QStringLiteral("c"), QStringLiteral("12:00"), 0));
        w.store().SaveTask(QStringLiteral("d"), task(QStringLiteral("d"), QStringLiteral("12:01"), 1));
        showBefore(w);
        QSignalSpy started(&w.session(), &RunQueue::runStarted);

        tickAt(w, at(12, 0, 3));
        tickAt(w, at(12, 0, 58));
        QStringList names;
        for (const auto &args : started)
            names << args.at(0).toString();
        // The second tick in the minute starts nothing again.
        QCOMPARE(names, (QStringList{"a", "b"}));
        QCOMPARE(QDateTime::fromString(w.store().LoadTask(QStringLiteral("a")).lastattempt, Qt::ISODate),
                 QDateTime(QDate(2026, 12, 7), at(12, 0, 3)));

        started.clear();
        tickAt(w, at(12, 1, 50));
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().at(0).toString(), QStringLiteral("d"));

        // The inactive task is left alone by the tick but runs by hand.
        started.clear();
        w.taskList().selectRow(2);
        w.menuAction(QStringLiteral("RunBackupmanually1"))->trigger();
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().at(0).toString(), QStringLiteral("c"));

        // No selection: nothing happens.
        started.clear();
        w.taskList().selectRow(-1);
        w.RunBackupmanually1Click();
        QCOMPARE(started.size(), 0);
    }

    void aRunningTaskIsNotStartedAgainByTheSecondTick()
    {
        ScriptedTelnetHost host;
        host.setCommandDelay(1500);
        host.setCommandHandler([](const QString &) { return QByteArray(); });
        TForm1Options o = options();
        o.telnetPort = host.port();
        TForm1 w(o);
        w.store().SaveTask(QStringLiteral("slow"), task(QStringLiteral("slow"), QStringLiteral("12:00"), 1, QStringLiteral("localhost")));
        showBefore(w);
        QSignalSpy started(&w.session(), &RunQueue::runStarted);
        tickAt(w, at(12, 0, 3));
        QVERIFY(host.waitFor([&] { return host.commands().size() == 1; }));
        tickAt(w, at(12, 0, 58));
        QCOMPARE(started.size(), 1);
        QVERIFY(waitIdle(w));
        QCOMPARE(host.connectionCount(), 1);
        QCOMPARE(host.commands().size(), 2);  // the dump and "exit", never cut short
    }

    void anInvalidTimeSkipsOnlyItsRow()
    {
        TForm1 w(options());
        w.store().SaveTask(QStringLiteral("a-bad"), task(QStringLiteral("a-bad"), QStringLiteral("25:70"), 1));
        w.store().SaveTask(QStringLiteral("b-good"), task(QStringLiteral("b-good"), QStringLiteral("12:00"), 1));
        showBefore(w);
        QSignalSpy started(&w.session(), &RunQueue::runStarted);
        tickAt(w, at(12, 0, 10));
        QCOMPARE(started.size(), 1);
        QCOMPARE(started.first().at(0).toString(), QStringLiteral("b-good"));
        QCOMPARE(w.taskList().rowMessage(0), QStringLiteral("!!! Invalid backup time: 25:70"));
    }

    void anUnreadableTaskIsMarkedAndTheTasksAfterItRun()
    {
        const TForm1Options o = options();
        TForm1 w(o);
        for (const char *n : {"a", "b-bad", "c"})
            w.store().SaveTask(QString::fromLatin1(n), task(QString::fromLatin1(n), QStringLiteral("12:00"), 1));
        QSettings(o.storeFile, QSettings::IniFormat)
            .setValue(QStringLiteral("tasks/b-bad/Options/dbuser"), QStringList{QStringLiteral("x"), QStringLiteral("y")});
        w.notifyIcon()->setTrayAvailabilityProbe([] { return true; });
        showBefore(w);
        QCOMPARE(w.taskList().rowCount(), 3);
        QVERIFY(w.taskList().rowMessage(1).startsWith(QStringLiteral("!!! ")));
        QSignalSpy started(&w.session(), &RunQueue::runStarted);
        QSignalSpy shown(w.notifyIcon(), &TNotifyIcon::messageShown);
        tickAt(w, at(12, 0, 10));
        QStringList names;
        for (const auto &args : started)
            names << args.at(0).toString();
        QCOMPARE(names, (QStringList{"a", "c"}));
        // The slot of the task that could not start is not silently used up:
        // it ends as a failure that says why.
        const QString why = QStringLiteral("Stored value \"dbuser\" cannot be read; this task cannot run.");
        QVERIFY(w.taskList().rowMessage(1).startsWith(QStringLiteral("!!! Not Successful on ")));
        QVERIFY(w.taskList().rowMessage(1).endsWith(QStringLiteral(" - ") + why));
        QVERIFY(w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText().contains(
            QStringLiteral("b-bad could not be started: ") + why));
        QStringList notices;
        for (const auto &args : shown)
            notices << args.at(1).toString();
        QVERIFY(notices.contains(QStringLiteral("Backup of b-bad failed\n") + why));
        QCOMPARE(w.store().ReadTaskList().at(1).record.lastmessage, w.taskList().rowMessage(1));
    }

    void aRunKeepsItsOwnCopyOfTheTask()
    {
        ScriptedTelnetHost host;
        host.setCommandDelay(400);
        TForm1Options o = options();
        o.telnetPort = host.port();
        TForm1 w(o);
        BackupTask first = task(QStringLiteral("first"), QStringLiteral("03:00"), 1, QStringLiteral("localhost"));
        first.hostuser = QStringLiteral("alice");
        first.database = QStringLiteral("db_first");
        BackupTask second = task(QStringLiteral("second"), QStringLiteral("03:00"), 1, QStringLiteral("otherhost"));
        second.hostuser = QStringLiteral("bob");
        second.database = QStringLiteral("db_second");
        w.store().SaveTask(first.name, first);
        w.store().SaveTask(second.name, second);
        w.show();
        w.taskList().selectRow(0);
        w.RunBackupmanually1Click();
        // An edit loads another task while the run is under way.
        w.LoadTask(QStringLiteral("second"));
        QVERIFY(waitIdle(w));
        QCOMPARE(host.loginName(), QStringLiteral("alice"));
        QCOMPARE(host.commands().size(), 2);
        QVERIFY(host.commands().first().contains(QStringLiteral("db_first")));
    }

    void theManualDownloadFetchesTheSelectedTaskByItsOwnMethod()
    {
        HttpServerFixture http;
        if (!http.start())
            VW_SKIP(qPrintable(QStringLiteral("HTTP server: ") + http.errorString()));
        QVERIFY(http.putFile(QStringLiteral("dumps/backup.sql"), QByteArray("-- dump\n") + kDumpTail));
        QTemporaryDir local;
        TForm1 w(options());
        BackupTask t = task(QStringLiteral("web"), QStringLiteral("03:00"), 0);  // inactive
        t.backupfile = QStringLiteral("backup.sql");
        t.method = 1;
        t.httpath = http.url(QStringLiteral("dumps/"));
        t.localdir = local.path();
        w.store().SaveTask(t.name, t);
        w.show();

        w.DownloadFileperFTPmanually1Click();  // no row selected: nothing
        QCOMPARE(w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText(), QString());

        w.taskList().selectRow(0);
        w.menuAction(QStringLiteral("DownloadFileperFTPmanually2"))->trigger();
        // The download works on its own copy: loading another task meanwhile
        // (an edit, a scheduled start) does not redirect its outcome.
        BackupTask other = task(QStringLiteral("zother"), QStringLiteral("03:00"), 0);
        w.store().SaveTask(other.name, other);
        w.LoadTask(other.name);
        QVERIFY(waitIdle(w));
        QVERIFY(QFile::exists(local.filePath(QStringLiteral("backup.sql"))));
        QStringList lines = w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText().split('\n');
        // Said once at the start: where the passwords are.
        lines.removeIf([](const QString &l) { return l.contains(QStringLiteral("The passwords are kept")); });
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0).section('\t', 1), QStringLiteral("backup.sql saved successfully"));
        QCOMPARE(lines.at(1).section('\t', 1), QStringLiteral("backup.sql saved successfully"));
        QCOMPARE(w.taskList().rowMessage(0), QStringLiteral("Successful on 12/07/2026 12:00:03"));

        // A failed manual download says so without the "FTP-" prefix.
        QFile::remove(http.rootPath() + QStringLiteral("/dumps/backup.sql"));
        w.DownloadFileperFTPmanually1Click();
        QVERIFY(waitIdle(w));
        const QStringList after = w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText().split('\n');
        QCOMPARE(after.mid(lines.size() + 1).join('|').replace(QRegularExpression("[^|]*\t"), QString()),
                 QStringLiteral("HTTP-Download failed|Download failed|Reason: the server answered with HTTP status 404"));
        QCOMPARE(w.taskList().rowMessage(0).left(22), QStringLiteral("!!! Not Successful on "));
    }

    void aRunFromTheTrayComesBackAndGoesAwayAgain()
    {
        ScriptedTelnetHost host;
        host.setCommandDelay(300);
        TForm1Options o = options();
        o.telnetPort = host.port();
        TForm1 w(o);
        w.store().SaveTask(QStringLiteral("n"), task(QStringLiteral("n"), QStringLiteral("12:00"), 1, QStringLiteral("localhost")));
        w.store().SaveTask(QStringLiteral("m"), task(QStringLiteral("m"), QStringLiteral("12:01"), 1, QStringLiteral("localhost")));
        showBefore(w);
        w.Minimize1Click();
        QTRY_VERIFY(w.notifyIcon()->isApplicationMinimized());
        tickAt(w, at(12, 0, 3));
        QVERIFY(host.waitFor([&] { return host.commands().size() == 1; }));
        QVERIFY(!w.notifyIcon()->isApplicationMinimized());  // shown for the length of the run
        QVERIFY(waitIdle(w));
        QTRY_VERIFY(w.notifyIcon()->isApplicationMinimized());

        // Started while visible, it stays visible.
        w.Restore1Click();
        QTRY_VERIFY(!w.notifyIcon()->isApplicationMinimized());
        tickAt(w, at(12, 1, 3));
        QVERIFY(host.waitFor([&] { return host.commands().size() == 3; }));
        QVERIFY(waitIdle(w));
        QVERIFY(!w.notifyIcon()->isApplicationMinimized());
    }

    // Closing during a transfer breaks it off at once: the earlier backup
    // stays, no temporary file is left, settings and log are written. Saving
    // for the session manager is no close.
    void closingDuringATransferAbortsItAndKeepsThePreviousBackup()
    {
        QTcpServer web;
        QVERIFY(web.listen(QHostAddress::LocalHost));
        QObject::connect(&web, &QTcpServer::newConnection, [&] {
            QTcpSocket *s = web.nextPendingConnection();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n" + QByteArray(1000, 'x'));
        });
        QTemporaryDir local;
        QFile previous(local.filePath(QStringLiteral("backup.sql")));
        QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write("previous") == 8);
        previous.close();
        auto *w = new TForm1(options());
        BackupTask t = task(QStringLiteral("web"), QStringLiteral("03:00"), 0);
        t.backupfile = QStringLiteral("backup.sql");
        t.method = 1;
        t.httpath = QStringLiteral("http://127.0.0.1:%1/").arg(web.serverPort());
        t.localdir = local.path();
        w->store().SaveTask(t.name, t);
        w->show();
        bool bytesArrived = false;
        QObject::connect(&w->service().events(), &RunEvents::downloadProgress, w, [&](int position, int) {
            bytesArrived = bytesArrived || position > 0;
        });
        w->taskList().selectRow(0);
        w->DownloadFileperFTPmanually1Click();
        SpinUntil([&] { return bytesArrived; }, 8000);
        QVERIFY(w->session().isBusy());
        // The session manager's save request saves and ends nothing.
        QSignalSpy closing(w, &TForm1::closing);
        QFile::remove(options().logFile);
        w->SessionSaveRequested();
        Settle(100);  // negative check: nothing ends after it
        QVERIFY(QFile::exists(options().logFile));
        QVERIFY(w->session().isBusy() && w->isVisible());
        QCOMPARE(closing.size(), 0);
        m_answer = true;
        QElapsedTimer since;
        since.start();
        w->close();
        QCOMPARE(closing.size(), 1);
        delete w;  // what the end of the program does after the question
        QVERIFY2(since.elapsed() < 2000, qPrintable(QString::number(since.elapsed())));
        QCOMPARE(QDir(local.path()).entryList(QDir::Files), QStringList{QStringLiteral("backup.sql")});
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("previous"));
        QVERIFY(QFile::exists(options().logFile));
    }
};

QTEST_MAIN(TestMainWindowRuns)
#include "tst_mainwindowruns.moc"
