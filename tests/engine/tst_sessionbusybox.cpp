#include <QRegularExpression>
#include <QtTest>

#include <sys/stat.h>

#include "RequirePeer.h"
#include "SpinWait.h"

#include "BusyboxTelnetHost.h"
#include "FakeClock.h"
#include "FakeRetriever.h"
#include "RecordingProtocolView.h"
#include "RecordingRunEvents.h"
#include "TaskBuilder.h"
#include "run/RunQueue.h"
#include "engine/ProtocolLog.h"
#include "shell/LanguageTexts.h"
#include "telnet/TelnetClient.h"

// The whole dialogue against busybox's telnetd and a real shell.
class TestSessionBusybox : public QObject {
    Q_OBJECT
private:
    struct Run {
        QStringList messages;
        QList<BackupTask> retrieved;
        QByteArray fileAtRetrieval;
        QFileDevice::Permissions modeAtRetrieval;
        QStringList sent;
    };

    Run runAgainst(BusyboxTelnetHost &host, const BackupTask &task)
    {
        LanguageTexts texts;
        texts.refill();
        FakeClock clock;
        RecordingProtocolView view;
        ProtocolLog log(texts, clock);
        log.setView(&view);
        RecordingRunEvents events;
        FakeRetriever retriever;
        Run run;
        retriever.onRetrieve = [&](const BackupTask &t) {
            const QString name = t.remotefile.isEmpty() ? t.backupfile : t.remotefile;
            run.fileAtRetrieval = host.readFile(name);
            run.modeAtRetrieval = QFile::permissions(host.path() + QLatin1Char('/') + name);
        };
        TTelnetClient client;
        client.setRemotePort(host.port());
        SessionPacing pacing;
        pacing.lineDelayMs = 20;
        pacing.charDelayMs = 1;
        pacing.loginLimitMs = 15000;
        RunQueue session(client, log, texts, events, retriever, pacing);
        session.RequestRun(task);
        SpinUntil([&] { return !session.isBusy(); }, 30000);
        run.messages = view.messages();
        run.retrieved = retriever.calls;
        for (const QString &l : log.sentLines())
            run.sent << l.section(QLatin1Char('\t'), 1);
        return run;
    }

    BackupTask taskFor(const BusyboxTelnetHost &host)
    {
        return TaskBuilder(QStringLiteral("Real"))
            .host(QStringLiteral("localhost"))
            .login(host.user(), host.password())
            .mysql(QStringLiteral("db1"), QStringLiteral("shop_user"), QStringLiteral("pa ss;rm -rf ~ 'q' $(id)"))
            .database(QStringLiteral("shop"))
            .remoteDir(host.remoteDir())
            .file(QStringLiteral("backup.sql"));
    }

private slots:
    void initTestCase()
    {
        const QString why = BusyboxTelnetHost::unavailableReason();
        if (!why.isEmpty())
            VW_SKIP(qPrintable(why));
        // The host's shell inherits it: a shared host's usual umask.
        ::umask(022);
    }

    // The dump is no one else's to read on the host; for HTTP it is readable
    // under a name of the run only, and goes once fetched with the leftovers
    // of earlier runs.
    void theDumpStaysTheOwnersOnTheHost()
    {
        BusyboxTelnetHost host;
        QVERIFY2(host.start(), qPrintable(host.errorString()));
        BackupTask t = taskFor(host);
        Run run = runAgainst(host, t);
        QCOMPARE(run.retrieved.size(), 1);
        QCOMPARE(run.retrieved.first().remotefile, QStringLiteral("backup.sql"));
        QCOMPARE(run.modeAtRetrieval & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(run.sent.at(2).startsWith(QStringLiteral(" unset HISTFILE; umask 077; ")));

        const QString leftover = host.path() + QStringLiteral("/backup-0123456789.sql");
        const QString other = host.path() + QStringLiteral("/backup-notmine.sql");
        for (const QString &f : {leftover, other}) {
            QFile file(f);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        t.method = 1;
        run = runAgainst(host, t);
        QCOMPARE(run.retrieved.size(), 1);
        const QString name = run.retrieved.first().remotefile;
        QVERIFY2(QRegularExpression(QStringLiteral("^backup-[0-9a-f]{10}\\.sql$")).match(name).hasMatch(), qPrintable(name));
        QVERIFY(run.fileAtRetrieval.trimmed().endsWith(BusyboxTelnetHost::completionLine()));
        QVERIFY(run.modeAtRetrieval & QFileDevice::ReadOther);
        QVERIFY(!(run.modeAtRetrieval & QFileDevice::WriteOther));
        QVERIFY(!QFile::exists(leftover));
        QVERIFY(QFile::exists(other));
        QVERIFY2(run.messages.contains(QStringLiteral("Removing the dump file %1 from the host").arg(name)),
                 qPrintable(run.messages.join(" | ")));
        QVERIFY(!run.messages.join(QString()).contains(QStringLiteral("Warning")));
        QVERIFY(!QFile::exists(host.path() + QLatin1Char('/') + name));
        QVERIFY(!run.sent.join(QString()).contains(QStringLiteral("pa ss")));
    }

    void aRealShellRunsTheDumpWithLiteralArguments()
    {
        BusyboxTelnetHost host;
        QVERIFY2(host.start(), qPrintable(host.errorString()));
        const BackupTask t = taskFor(host);
        const Run run = runAgainst(host, t);
        QVERIFY2(run.messages.contains(QStringLiteral("Send dump-command")), qPrintable(run.messages.join(" | ")));
        QVERIFY(run.messages.contains(QStringLiteral("Finishing Telnet-session")));
        QCOMPARE(run.retrieved.size(), 1);
        QCOMPARE(host.dumpCallCount(), 1);
        // The password only in the option file on mysqldump's standard input.
        QCOMPARE(host.lastDumpArguments(), (QStringList{QStringLiteral("--defaults-extra-file=/dev/stdin"),
                                                        QStringLiteral("-h"), QStringLiteral("db1"),
                                                        QStringLiteral("--user=shop_user"), QStringLiteral("shop")}));
        QCOMPARE(host.lastDumpInput(), QByteArray("[client]\npassword=\"pa ss;rm -rf ~ 'q' $(id)\"\n"));
        // The dump was complete on the host when retrieval began.
        QVERIFY(run.fileAtRetrieval.trimmed().endsWith(BusyboxTelnetHost::completionLine()));
        QCOMPARE(run.sent.size(), 5);
        QCOMPARE(run.sent.at(1), QStringLiteral("********"));
        QCOMPARE(run.sent.at(3), QStringLiteral("********"));
        QVERIFY(!run.sent.join(QString()).contains(QStringLiteral("pa ss")));
    }

    // The standard login program says "Password: " with a blank, and bash
    // wraps its prompt in terminal control sequences; both are understood.
    void aRealLoginProgramAndBashAreUnderstood()
    {
        BusyboxTelnetHost host;
        host.setRealLogin(true);
        if (!host.start())
            VW_SKIP(qPrintable(QStringLiteral("no private login host here: ") + host.errorString()));
        const Run run = runAgainst(host, taskFor(host));
        QVERIFY2(run.messages.contains(QStringLiteral("Send password")), qPrintable(run.messages.join(" | ")));
        QVERIFY2(run.messages.contains(QStringLiteral("Finishing Telnet-session")), qPrintable(run.messages.join(" | ")));
        QCOMPARE(host.dumpCallCount(), 1);
        QCOMPARE(run.retrieved.size(), 1);
        QVERIFY(run.fileAtRetrieval.trimmed().endsWith(BusyboxTelnetHost::completionLine()));
        // bash, with line editing and echo, got the password all the same,
        // and kept no history of the session.
        QVERIFY(host.lastDumpInput().startsWith("[client]\npassword=\"pa ss"));
        QVERIFY(!QFile::exists(host.path() + QStringLiteral("/.bash_history")));
    }

    void aWrongPasswordEndsWithoutDownload()
    {
        BusyboxTelnetHost host;
        QVERIFY2(host.start(), qPrintable(host.errorString()));
        BackupTask t = taskFor(host);
        t.hostpw = QStringLiteral("wrong");
        const Run run = runAgainst(host, t);
        QVERIFY(run.retrieved.isEmpty());
        QCOMPARE(host.dumpCallCount(), 0);
        QCOMPARE(run.messages.last(), QStringLiteral("Dump not completed - no download"));
    }
};

QTEST_GUILESS_MAIN(TestSessionBusybox)
#include "tst_sessionbusybox.moc"
