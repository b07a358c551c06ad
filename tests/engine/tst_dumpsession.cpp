#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include "QueueRig.h"
#include "ScriptedTelnetHost.h"
#include "SpinWait.h"
#include "TaskBuilder.h"

namespace {

BackupTask sampleTask(const QString &name = QStringLiteral("Shop"))
{
    return TaskBuilder(name)
        .host(QStringLiteral("LocalHost"))  // the prompt is compared in lower case
        .login(QStringLiteral("webuser"), QStringLiteral("hostpw"))
        .mysql(QStringLiteral("db1"), QStringLiteral("dbu"), QStringLiteral("dbsecret"))
        .database(QStringLiteral("shop"))
        .remoteDir(QStringLiteral("/srv/dumps/"));
}

// No password in it: the host's sh asks for it, which a scripted host never does.
const QString kDump = QStringLiteral(
    R"cmd( unset HISTFILE; umask 077; sh -c 't=$(stty -g 2>/dev/null); stty -echo 2>/dev/null; printf '\''mysql-%s:'\'' password; IFS= read -r p; stty "$t" 2>/dev/null; echo; printf '\''[client]\npassword=%s\n'\'' "$p" | mysqldump --defaults-extra-file=/dev/stdin -h db1 --user=dbu shop > /srv/dumps/backup.sql')cmd");
}

// The scripted host listens before the queue is told its port.
struct HostFirst {
    ScriptedTelnetHost host;
};

// One run queue wired to a scripted host, with fast pacing.
struct Rig : HostFirst, QueueRig {
    QList<QByteArray> sends;

    explicit Rig(SessionPacing pacing = FastPacing()) : QueueRig(host.port(), pacing)
    {
        QObject::connect(&client, &TTelnetClient::sent, [this](const QByteArray &d) { sends.append(d); });
    }

    bool waitIdle(int ms = 8000)
    {
        return SpinUntil([&] { return !queue->isBusy(); }, ms);
    }
};

class TestDumpSession : public QObject {
    Q_OBJECT
private slots:
    void aCompleteRunSendsTheDialogueAndFetchesTheFile()
    {
        Rig rig;
        rig.host.setCredentials(QStringLiteral("webuser"), QStringLiteral("hostpw"));
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());

        // Exactly these bytes, each line closed by a single line feed.
        QCOMPARE(rig.host.dataReceived(), ("webuser\nhostpw\n" + kDump + "\nexit\n").toUtf8());
        QCOMPARE(rig.host.commands(), (QStringList{kDump, QStringLiteral("exit")}));

        const QStringList m = rig.messages();
        QVERIFY2(m.size() == 7, qPrintable(m.join(" | ")));
        QVERIFY(m.at(0).startsWith(QStringLiteral("Connected: ")) || m.at(1).startsWith(QStringLiteral("Connected: ")));
        QVERIFY(m.mid(0, 2).contains(QStringLiteral("Connection established")));
        QCOMPARE(m.mid(2), (QStringList{QStringLiteral("Send password"), QStringLiteral("Send dump-command"),
                                        QStringLiteral("Finishing Telnet-session"), m.at(5),
                                        QStringLiteral("backup.sql saved successfully")}));
        QVERIFY(m.at(5).startsWith(QStringLiteral("Disconnected: ")));
        QVERIFY(rig.view.lines.at(0).startsWith(QStringLiteral("12/07/2026 14:05:09\t")));

        QCOMPARE(rig.events.progress, (QList<int>{10, 25, 35, 40, 60, 0}));
        QCOMPARE(rig.events.messages.value(QStringLiteral("Shop")), QStringLiteral("Successful on 12/07/2026 14:05:09"));
        QCOMPARE(rig.events.captionResets, 1);
        QCOMPARE(rig.events.negotiation.last(), QString());
        QCOMPARE(rig.retriever.calls.size(), 1);
        QCOMPARE(rig.retriever.calls.first().host, QStringLiteral("LocalHost"));

        // The log file gets every sent line, passwords masked.
        QStringList sent;
        for (const QString &l : rig.log.sentLines())
            sent.append(l.section(QLatin1Char('\t'), 1));
        QCOMPARE(sent, (QStringList{QStringLiteral("webuser"), QStringLiteral("********"),
                                    kDump, QStringLiteral("exit")}));
    }

    void optionsAreRefusedAndTheTerminalTypeIsVt100()
    {
        Rig rig;
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QVERIFY(rig.host.receivedNegotiation(ScriptedTelnetHost::WONT, ScriptedTelnetHost::TerminalType));
        QVERIFY(rig.host.receivedNegotiation(ScriptedTelnetHost::WONT, ScriptedTelnetHost::WindowSize));
        QVERIFY(!rig.host.receivedNegotiation(ScriptedTelnetHost::DO, ScriptedTelnetHost::Echo));
        QVERIFY(!rig.host.subOptions().isEmpty());
        QCOMPARE(rig.host.subOptions().first(), QByteArray("\x18\x00vt100", 7));
        QVERIFY(rig.events.negotiation.contains(QStringLiteral("Telnet Server: DO Option24")));
        QVERIFY(rig.events.negotiation.contains(QStringLiteral("Client: WONT Option24")));
        QVERIFY(rig.events.negotiation.contains(QStringLiteral("Telnet Server: WILL Option1")));
    }

    void linesOfThirteenOrMoreGoOutCharacterByCharacter()
    {
        Rig rig;
        BackupTask t = sampleTask();
        t.hostuser = QStringLiteral("twelve_chars");   // 12: one piece
        t.hostpw = QStringLiteral("thirteen_char");    // 13: one by one
        QVERIFY(rig.queue->RequestRun(t));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.sends.at(0), QByteArray("twelve_chars\n"));
        QList<QByteArray> expected;
        for (char c : QByteArray("thirteen_char"))
            expected.append(QByteArray(1, c));
        expected.append("\n");
        QCOMPARE(rig.sends.mid(1, 14), expected);
        QCOMPARE(rig.sends.last(), QByteArray("exit\n"));
        QCOMPARE(rig.host.lines().mid(0, 2), (QStringList{t.hostuser, t.hostpw}));
    }

    void promptLine_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::addColumn<QString>("line");
        QTest::newRow("password") << QByteArray("Last login\r\nPassword:") << "password:";
        QTest::newRow("final break ignored") << QByteArray("a\r\nlocalhost> \r\n") << "localhost>";
        QTest::newRow("nul cuts") << QByteArray("Password:\0junk", 14) << "password:";
        QTest::newRow("lf only") << QByteArray("motd\nLOCALHOST> ") << "localhost>";
        QTest::newRow("trailing blanks dropped") << QByteArray("Password: \t ") << "password:";
        QTest::newRow("bracketed paste") << QByteArray("\x1b[?2004hlocalhost> ") << "localhost>";
        QTest::newRow("title and colour") << QByteArray("\x1b]0;user@h\x07\x1b[01;32mLocalHost\x1b[0m> ") << "localhost>";
        QTest::newRow("lone escape pair") << QByteArray("\x1b=Password:") << "password:";
        QTest::newRow("words before stay") << QByteArray("Enter Password: ") << "enter password:";
        QTest::newRow("empty") << QByteArray() << "";
    }

    void promptLine()
    {
        QFETCH(QByteArray, chunk);
        QTEST(TelnetDialogue::PromptLine(chunk), "line");
        QCOMPARE(TelnetDialogue::PromptLine(QByteArray(10000, 'x')).size(), 4096);
    }

    void aRefusedLoginFetchesNothing()
    {
        Rig rig;
        rig.host.setCredentials(QStringLiteral("someone"), QStringLiteral("else"));
        rig.host.setRefusal(ScriptedTelnetHost::Refusal::Close);
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QVERIFY(rig.retriever.calls.isEmpty());
        QCOMPARE(rig.messages().last(), QStringLiteral("Dump not completed - no download"));
        QCOMPARE(rig.events.messages.value(QStringLiteral("Shop")), QStringLiteral("!!! Not Successful on 12/07/2026 14:05:09"));
        QCOMPARE(rig.events.progress.last(), 0);
    }

    void theGermanWordingIsUsedWhenGermanIsActive()
    {
        Rig rig;
        rig.texts.Language = 1;
        rig.texts.refill();
        rig.host.setCloseAfterPassword(true);
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QVERIFY(rig.messages().contains(QStringLiteral("Sende Passwort")));
        QCOMPARE(rig.messages().last(), QStringLiteral("Dump nicht abgeschlossen - kein Download"));
        QCOMPARE(rig.events.messages.value(QStringLiteral("Shop")), QStringLiteral("!!! Nicht Erfolgreich am 07.12.2026 14:05:09"));
    }

    // The retrieval learns when the run began (to refuse an older dump) and
    // its reason follows the failure line; a manual download has no run start.
    void aFailedDownloadSaysWhyAndKnowsTheRunStart()
    {
        Rig rig;
        rig.host.setCredentials(QStringLiteral("webuser"), QStringLiteral("hostpw"));
        rig.retriever.result = false;
        rig.retriever.reason = QStringLiteral("Dump file on the host is older than this run - not saved");
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.messages().mid(rig.messages().size() - 2),
                 (QStringList{QStringLiteral("FTP-Download failed"), rig.retriever.reason}));
        QCOMPARE(rig.retriever.runStarts, QList<QDateTime>{rig.clock.now()});
        QCOMPARE(rig.events.messages.value(QStringLiteral("Shop")), QStringLiteral("!!! Not Successful on 12/07/2026 14:05:09"));

        QVERIFY(rig.queue->RequestDownload(sampleTask()));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.messages().mid(rig.messages().size() - 2),
                 (QStringList{QStringLiteral("Download failed"), rig.retriever.reason}));
        QVERIFY(!rig.retriever.runStarts.last().isValid());
    }

    void aPromptThatNeverMatchesIsEndedByTheWatchdog()
    {
        SessionPacing p = FastPacing();
        p.loginLimitMs = 400;
        Rig rig(p);
        rig.host.setShellPrompt("webuser@localhost:~$ ");
        QElapsedTimer t;
        t.start();
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        // Coarse timers may fire a few per cent early.
        QVERIFY2(t.elapsed() >= 360, qPrintable(rig.messages().join(QStringLiteral(" | "))));
        QVERIFY(rig.messages().contains(QStringLiteral("Session cancelled: no dump command sent within 0.4 s")));
        QCOMPARE(rig.messages().last(), QStringLiteral("Dump not completed - no download"));
        QVERIFY(rig.retriever.calls.isEmpty());
        QVERIFY(rig.host.commands().isEmpty());
    }

    void aDumpThatRunsTooLongIsEndedAndNotFetched()
    {
        SessionPacing p = FastPacing();
        p.dumpLimitMs = 300;
        p.charDelayMs = 0;  // the limit counts from the command's first character
        Rig rig(p);
        rig.host.setCommandDelay(3000);
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QVERIFY2(rig.messages().contains(QStringLiteral("Session cancelled: dump not finished within 0.3 s")), qPrintable(rig.messages().join(QStringLiteral(" | "))));
        QVERIFY(rig.retriever.calls.isEmpty());
        QVERIFY2(rig.host.commands() == QStringList{kDump}, qPrintable(rig.messages().join(QStringLiteral(" | "))));
    }

    void startsDuringARunAreQueuedNotCutShort()
    {
        Rig rig;
        rig.host.setCommandDelay(300);
        QStringList order;
        QObject::connect(rig.queue.get(), &RunQueue::runStarted, [&](const QString &n) { order << "start " + n; });
        QObject::connect(rig.queue.get(), &RunQueue::runFinished, [&](const RunOutcome &o) {
            order << QStringLiteral("end %1 %2").arg(o.taskName).arg(o.success);
        });
        QVERIFY(rig.queue->RequestRun(sampleTask(QStringLiteral("A"))));
        QVERIFY(rig.host.waitFor([&] { return rig.host.commands().size() == 1; }));
        // A second tick in the same minute, another task at the same time.
        QVERIFY(!rig.queue->RequestRun(sampleTask(QStringLiteral("a"))));
        QVERIFY(rig.queue->RequestRun(sampleTask(QStringLiteral("B"))));
        QVERIFY(!rig.queue->RequestRun(sampleTask(QStringLiteral("B"))));
        QCOMPARE(rig.queue->queuedTaskNames(), QStringList{QStringLiteral("B")});
        QVERIFY(rig.host.waitFor([&] { return order.size() == 4; }, 10000));
        QCOMPARE(order, (QStringList{"start A", "end A 1", "start B", "end B 1"}));
        QCOMPARE(rig.host.connectionCount(), 2);
        QCOMPARE(rig.host.commands(), (QStringList{kDump, "exit", kDump, "exit"}));
        QCOMPARE(rig.retriever.calls.size(), 2);
    }

    void cancelEndsOnlyTheCurrentRun()
    {
        Rig rig;
        rig.host.setCommandDelay(5000);
        QVERIFY(rig.queue->RequestRun(sampleTask(QStringLiteral("A"))));
        QVERIFY(rig.host.waitFor([&] { return rig.host.commands().size() == 1; }));
        QVERIFY(rig.queue->RequestRun(sampleTask(QStringLiteral("B"))));
        rig.host.setCommandDelay(0);
        rig.queue->CancelTelnetsession();
        QVERIFY(rig.host.waitFor([&] { return rig.retriever.calls.size() == 1; }, 8000));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.retriever.calls.first().name, QStringLiteral("B"));
        QVERIFY(rig.messages().contains(QStringLiteral("Telnet-Session cancelled by the user")));
        QCOMPARE(rig.events.messages.value(QStringLiteral("A")).left(4), QStringLiteral("!!! "));
        QCOMPARE(rig.events.messages.value(QStringLiteral("B")).left(13), QStringLiteral("Successful on"));
    }

    void aRefusedConnectionEndsTheWaitAtOnce()
    {
        Rig rig;
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 closedPort = probe.serverPort();
        probe.close();
        rig.client.setRemotePort(closedPort);
        BackupTask t = sampleTask();
        t.host = QStringLiteral("127.0.0.1");
        QElapsedTimer timer;
        timer.start();
        QVERIFY(rig.queue->RequestRun(t));
        QVERIFY(rig.waitIdle());
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        const QStringList m = rig.messages();
        QVERIFY(m.first().startsWith(QStringLiteral("Connection failed: ")));
        QCOMPARE(m.last(), QStringLiteral("No connection established"));
        QCOMPARE(rig.events.messages.value(QStringLiteral("Shop")).left(4), QStringLiteral("!!! "));
        QVERIFY(rig.retriever.calls.isEmpty());
    }

    void anEmptyHostTouchesNothing()
    {
        Rig rig;
        BackupTask t = sampleTask();
        t.host.clear();
        QVERIFY(rig.queue->RequestRun(t));
        QVERIFY(!rig.queue->isBusy());
        QCOMPARE(rig.messages(), QStringList{QStringLiteral("Unknown host - no connection")});
        QCOMPARE(rig.host.connectionCount(), 0);
        QCOMPARE(rig.events.progress, (QList<int>{10, 25, 0}));
    }

    void aRunStartedMinimizedGoesBackToTheTray()
    {
        Rig rig;
        rig.events.minimized = true;
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle());
        QCOMPARE(rig.events.restores, 1);
        QCOMPARE(rig.events.minimizes, 1);

        Rig visible;
        QVERIFY(visible.queue->RequestRun(sampleTask()));
        QVERIFY(visible.waitIdle());
        QCOMPARE(visible.events.minimizes, 0);
    }

    void hostileOutputDoesNotDerailTheSession()
    {
        // Time for the banner to arrive before the user name goes out, so the
        // login and password prompts do not share one line.
        SessionPacing p = FastPacing();
        p.lineDelayMs = 300;
        Rig rig(p);
        // A two-megabyte line ahead of the login prompt.
        rig.host.setBanner(QByteArray(2 * 1024 * 1024, 'x') + "\r\n");
        QVERIFY(rig.queue->RequestRun(sampleTask()));
        QVERIFY(rig.waitIdle(15000));
        QVERIFY2(rig.retriever.calls.size() == 1, qPrintable(rig.messages().join(QStringLiteral(" | "))));
    }
};

QTEST_GUILESS_MAIN(TestDumpSession)
#include "tst_dumpsession.moc"
