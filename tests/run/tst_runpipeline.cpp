#include <QDir>
#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <functional>

#include "RequirePeer.h"
#include "PrivateNetwork.h"
#include "QueueRig.h"
#include "RecordingRunEvents.h"
#include "ScriptedTelnetHost.h"
#include "SpinWait.h"
#include "TaskBuilder.h"
#include "retrieval/DownloadDispatcher.h"

namespace {

// A host whose every reply the test scripts: reply(socket, line) runs for
// each line the client sends; the greeting goes out on connect.
class LineHost : public QObject {
public:
    std::function<void(QTcpSocket *, const QByteArray &)> reply;
    QByteArray greeting = "login: ";

    LineHost()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->write(greeting);
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    m_buffer[s] += s->readAll();
                    qsizetype nl;
                    while ((nl = m_buffer[s].indexOf('\n')) >= 0) {
                        const QByteArray line = m_buffer[s].left(nl);
                        m_buffer[s].remove(0, nl + 1);
                        if (reply)
                            reply(s, line);
                    }
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffer;
};


BackupTask task(const QString &name)
{
    return TaskBuilder(name)
        .host(QStringLiteral("localhost"))
        .login(QStringLiteral("webuser"), QStringLiteral("hostpw"))
        .database(QStringLiteral("shop"))
        .remoteDir(QStringLiteral("/srv/"));
}

// A shell that answers every command with its prompt and ends on "exit"
// unless told to ignore it.
void shellReply(QTcpSocket *s, const QByteArray &line, bool honourExit = true)
{
    if (line == "exit") {
        if (honourExit)
            s->disconnectFromHost();
        return;
    }
    if (line.contains("mysqldump") || line == "hostpw")
        s->write("\r\nlocalhost> ");
}

} // namespace

struct Rig : QueueRig {
    using QueueRig::QueueRig;
    int count(const QString &line) const { return view.messages().count(line); }
};

class TestRunPipeline : public QObject {
    Q_OBJECT
private slots:
    // No stall: a modal window opened while a run is under way holds
    // neither that run nor the next one, and timers keep ticking.
    void aModalWindowDoesNotHoldTheRuns()
    {
        ScriptedTelnetHost host;
        Rig rig(host.port());
        host.setCommandDelay(100);
        QTimer scheduler;
        int ticks = 0;
        QObject::connect(&scheduler, &QTimer::timeout, [&] { ++ticks; });
        scheduler.start(20);

        int outcomesWhileOpen = -1;
        int ticksWhileOpen = 0;
        QTimer::singleShot(30, [&] {
            QMessageBox box(QMessageBox::Question, QStringLiteral("Vaultwick Task"), QStringLiteral("?"),
                            QMessageBox::Yes | QMessageBox::No);
            const int ticksBefore = ticks;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, &box, [&] {
                if (rig.outcomes.size() == 2)
                    box.done(QMessageBox::No);
            });
            watch.start(5);
            QTimer::singleShot(10000, &box, [&] { box.done(QMessageBox::No); });
            box.exec();
            outcomesWhileOpen = int(rig.outcomes.size());
            ticksWhileOpen = ticks - ticksBefore;
        });
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("A"))));
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("B"))));
        QVERIFY(SpinUntil([&] { return outcomesWhileOpen >= 0; }, 15000));
        QCOMPARE(outcomesWhileOpen, 2);
        QVERIFY(ticksWhileOpen > 0);
        QVERIFY(rig.outcomes.at(0).success && rig.outcomes.at(1).success);
        QCOMPARE(rig.outcomes.at(1).taskName, QStringLiteral("B"));
    }

    // No crash: a host repeating its password prompt thousands of times gets
    // an answer at most once after each line, and the next run still runs.
    void aRepeatedPromptIsAnsweredOnceAfterTheCurrentLine()
    {
        LineHost host;
        int floods = 0;
        host.reply = [&](QTcpSocket *s, const QByteArray &line) {
            if (line == "webuser" && floods++ < 2) {
                for (int i = 0; i < 5000; ++i) {
                    s->write("\r\nPassword:");
                    s->flush();
                }
                s->write("\r\nlocalhost> ");
                return;
            }
            shellReply(s, line);
        };
        Rig rig(host.port());
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("A"))));
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("B"))));
        QVERIFY(SpinUntil([&] { return rig.outcomes.size() == 2; }, 20000));
        QVERIFY(rig.outcomes.at(0).success);
        QVERIFY(rig.outcomes.at(1).success);
        // Each answer waits for the line before it, so a burst gets few.
        QVERIFY2(rig.count(QStringLiteral("Send password")) < 50,
                 qPrintable(QString::number(rig.count(QStringLiteral("Send password")))));
    }

    // No stall: a host that never closes after "exit" is closed by the
    // program, and the finished dump is still fetched.
    void aHostIgnoringExitIsClosedAndTheDumpFetched()
    {
        LineHost host;
        host.reply = [](QTcpSocket *s, const QByteArray &line) {
            if (line == "webuser")
                s->write("\r\nPassword:");
            else
                shellReply(s, line, false);
        };
        SessionPacing p = FastPacing();
        p.exitCloseMs = 300;
        Rig rig(host.port(), p);
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("A"))));
        QVERIFY(SpinUntil([&] { return rig.outcomes.size() == 1; }, 5000));
        QVERIFY(rig.count(QStringLiteral("The host did not end the session within 0.3 s after exit - closed")) == 1);
        QCOMPARE(rig.retriever.calls.size(), 1);
        QVERIFY(rig.outcomes.first().success);
    }

    // No stall: a host that vanishes during the dump (no FIN, no RST, the
    // path is simply gone) is given up by keep-alive long before the dump
    // limit, and nothing is fetched.
    void aHostThatVanishesDuringTheDumpIsGivenUp()
    {
        PrivateNetwork network;
        if (!network.isActive())
            VW_SKIP(qPrintable(network.unavailableReason()));
        LineHost host;
        bool dumping = false;
        host.reply = [&](QTcpSocket *s, const QByteArray &line) {
            if (line == "webuser")
                s->write("\r\nPassword:");
            else if (line.contains("mysqldump"))
                dumping = true;  // and never another word
            else
                shellReply(s, line);
        };
        SessionPacing p = FastPacing();
        p.dumpLimitMs = 120000;
        p.keepAlive = {1, 1, 2};
        Rig rig(host.port(), p);
        QVERIFY(rig.queue->RequestRun(task(QStringLiteral("A"))));
        QVERIFY(SpinUntil([&] { return dumping; }, 5000));
        // The line's last bytes acknowledged first: unacknowledged data
        // would be given up by retransmission, not by keep-alive.
        QVERIFY(SpinUntil(PrivateNetwork::loopbackSendQueuesEmpty, 5000));
        QVERIFY(network.setLoopbackUp(false));
        QVERIFY2(SpinUntil([&] { return rig.outcomes.size() == 1; }, 20000), qPrintable(rig.messages().join(" | ")));
        QVERIFY(!rig.outcomes.first().success);
        QVERIFY(rig.retriever.calls.isEmpty());
        QCOMPARE(rig.count(QStringLiteral("Dump not completed - no download")), 1);
    }

    // No unbounded growth: a flood of telnet commands is read no faster than
    // the events are delivered.
    void aCommandFloodDoesNotGrowTheEventQueue()
    {
        LineHost host;
        QByteArray nops;
        for (int i = 0; i < 4 * 1024 * 1024; ++i)
            nops.append("\xff\xf1", 2);
        host.greeting = nops;  // 8 MiB of IAC NOP at once
        TTelnetClient client;
        client.setRemotePort(host.port());
        client.setRemoteHost(QStringLiteral("127.0.0.1"));
        qsizetype most = 0;
        int commands = 0;
        QObject::connect(&client, &TTelnetClient::OnCommand, [&](int) {
            ++commands;
            most = qMax(most, client.pendingEventCount());
        });
        client.setConnected(true);
        QVERIFY(SpinUntil([&] { return commands == 4 * 1024 * 1024; }, 60000));
        QVERIFY2(most < 200000, qPrintable(QString::number(most)));
    }

    // Closing the program breaks a transfer off: the temporary file goes and
    // the previous backup stays. A trickle fails by itself.
    void anAbortedOrTricklingTransferKeepsThePreviousBackup()
    {
        QTcpServer web;
        QVERIFY(web.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> clients;
        QTimer trickle;
        QObject::connect(&web, &QTcpServer::newConnection, [&] {
            QTcpSocket *s = web.nextPendingConnection();
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n");
            clients.append(s);
        });
        QObject::connect(&trickle, &QTimer::timeout, [&] {
            for (QTcpSocket *s : clients)
                if (s->state() == QAbstractSocket::ConnectedState)
                    s->write(QByteArray(20, 'x'));
        });
        trickle.start(100);

        QTemporaryDir dir;
        QFile previous(dir.filePath(QStringLiteral("backup.sql")));
        QVERIFY(previous.open(QIODevice::WriteOnly) && previous.write("previous") == 8);
        previous.close();
        LanguageTexts texts;
        FakeClock clock;
        ProtocolLog log(texts, clock);
        RecordingRunEvents events;
        RetrievalOptions options;
        options.lowSpeedTimeS = 2;
        DownloadDispatcher dispatcher(log, texts, events, clock, options);
        BackupTask t = BackupTask::withDefaults(QStringLiteral("web"));
        t.method = 1;
        t.httpath = QStringLiteral("http://127.0.0.1:%1/").arg(web.serverPort());
        t.localdir = dir.path();
        QObject run;
        auto fetch = [&](bool abort) {
            std::optional<bool> ok;
            events.clear();
            dispatcher.StartRetrieval(t, QDateTime(), &run, [&](bool r, const QString &) { ok = r; });
            // Some bytes of the body have arrived.
            SpinUntil([&] {
                return std::any_of(events.bars.cbegin(), events.bars.cend(), [](const auto &b) { return b.position > 0; });
            }, 8000);
            QElapsedTimer since;
            since.start();
            if (abort)
                dispatcher.AbortRetrievals();
            const bool ended = SpinUntil([&] { return ok.has_value(); }, 8000);
            return std::make_pair(ended && !*ok, since.elapsed());
        };
        const auto aborted = fetch(true);
        QVERIFY(aborted.first);
        QVERIFY2(aborted.second < 2000, qPrintable(QString::number(aborted.second)));
        const auto trickled = fetch(false);
        QVERIFY(trickled.first);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("backup.sql")});
        QVERIFY(previous.open(QIODevice::ReadOnly));
        QCOMPARE(previous.readAll(), QByteArray("previous"));
    }
};

QTEST_MAIN(TestRunPipeline)
#include "tst_runpipeline.moc"
