#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "ScriptedTelnetHost.h"
#include "SpinWait.h"
#include "telnet/TelnetClient.h"

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Writes down every event of a client as a short line, in arrival order.
class EventLog : public QObject {
    Q_OBJECT
public:
    explicit EventLog(TTelnetClient &client) : m_client(client)
    {
        connect(&client, &TTelnetClient::OnConnected, this, [this](int code, const QString &d) {
            add(QStringLiteral("Connected %1").arg(code), d);
        });
        connect(&client, &TTelnetClient::OnReadyToSend, this, [this] { add(QStringLiteral("ReadyToSend")); });
        connect(&client, &TTelnetClient::OnDataIn, this, [this](const QByteArray &t) {
            chunks.append(t);
            data += t;
            add(QStringLiteral("DataIn"));
        });
        connect(&client, &TTelnetClient::OnDisconnected, this, [this](int code, const QString &d) {
            add(QStringLiteral("Disconnected %1").arg(code), d);
        });
        connect(&client, &TTelnetClient::OnDo, this, [this](int o) { add(QStringLiteral("DO %1").arg(o)); });
        connect(&client, &TTelnetClient::OnDont, this, [this](int o) { add(QStringLiteral("DONT %1").arg(o)); });
        connect(&client, &TTelnetClient::OnWill, this, [this](int o) { add(QStringLiteral("WILL %1").arg(o)); });
        connect(&client, &TTelnetClient::OnWont, this, [this](int o) { add(QStringLiteral("WONT %1").arg(o)); });
        connect(&client, &TTelnetClient::OnCommand, this, [this](int c) { add(QStringLiteral("CMD %1").arg(c)); });
        connect(&client, &TTelnetClient::OnSubOption, this, [this](const QByteArray &p) {
            subOptions.append(p);
            add(QStringLiteral("SB"));
        });
        connect(&client, &TTelnetClient::OnError, this, [this](int code, const QString &d) {
            add(QStringLiteral("Error %1").arg(code), d);
        });
    }

    int count(const QString &prefix) const
    {
        int n = 0;
        for (const QString &e : events)
            n += e.startsWith(prefix) ? 1 : 0;
        return n;
    }
    // Events other than data, for comparing the order of the rest.
    QStringList withoutData() const
    {
        QStringList out;
        for (const QString &e : events)
            if (e != QLatin1String("DataIn"))
                out.append(e);
        return out;
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 3000)
    {
        return SpinUntil(condition, timeoutMs);
    }
    bool waitForEvent(const QString &prefix, int timeoutMs = 3000)
    {
        return waitFor([this, prefix] { return count(prefix) > 0; }, timeoutMs);
    }
    bool waitForData(const QByteArray &needle, int timeoutMs = 3000)
    {
        return waitFor([this, needle] { return data.contains(needle); }, timeoutMs);
    }

    QStringList events;
    QStringList descriptions;  // parallel to events
    QList<QByteArray> chunks;
    QByteArray data;
    QList<QByteArray> subOptions;

signals:
    void recorded();

private:
    void add(const QString &event, const QString &description = {})
    {
        events.append(event);
        descriptions.append(description);
        emit recorded();
    }
    TTelnetClient &m_client;
};

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void aim(TTelnetClient &client, const ScriptedTelnetHost &host)
{
    client.setRemoteHost(host.address());
    client.setRemotePort(host.port());
}

} // namespace

class TelnetClientTest : public QObject {
    Q_OBJECT
private slots:
    void defaults();
    void errorMessageForm();

    // Connecting
    void connectReturnsAtOnceThenReportsInOrder();
    void connectByLocalhostName();
    void secondConnectWhileOpenIsIgnored();
    void refusedConnectionReportedAtOnce();
    void newAttemptAfterFailureConnects();
    void invalidHostNameGivesPendingError_data();
    void invalidHostNameGivesPendingError();
    void cancelWhileConnecting();

    // Receiving
    void chunksAreNotAccumulated();
    void commandsAreRemovedFromData();
    void serverOptionsAndCommandsAsEvents();
    void hostileInputPassesWithoutHarm();
    void handlerWithNestedEventLoopKeepsOrder();

    // Sending
    void answersArriveAsTheHostReadsThem();
    void sendDoublesByte255();
    void sendWithoutConnectionIsDropped();

    // Ending
    void serverCloseFiresOnDisconnectedAfterData();
    void localDisconnectFiresOnDisconnectedOnce();
    void droppingConnectionIsSilent();
    void disconnectHandlerMayReconnect();
    void hostThatNeverReadsEndsTheSession();
};

void TelnetClientTest::defaults()
{
    TTelnetClient client;
    QCOMPARE(client.RemotePort(), quint16(23));
    QVERIFY(client.RemoteHost().isEmpty());
    QVERIFY(!client.Connected());
    QVERIFY(!client.hasPendingError());
    // Idle: dropping and disconnecting do nothing at all.
    EventLog log(client);
    client.setConnected(false);
    client.Disconnect();
    Settle(20);
    QVERIFY(log.events.isEmpty());
}

void TelnetClientTest::errorMessageForm()
{
    const ETelnetClientError e(11001, QStringLiteral("Host not found"));
    QCOMPARE(e.code(), 11001);
    QCOMPARE(e.message(), QStringLiteral("11001: Host not found"));
    QCOMPARE(ETelnetClientError(-1, QStringLiteral("No engine")).message(), QStringLiteral("-1: No engine"));
}

void TelnetClientTest::connectReturnsAtOnceThenReportsInOrder()
{
    ScriptedTelnetHost host;
    QVERIFY(host.isListening());
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);

    client.setConnected(true);
    QVERIFY2(log.events.isEmpty(), "setConnected(true) must return before any event");

    QVERIFY(log.waitForData("login: "));
    QVERIFY(client.Connected());
    QCOMPARE(log.events.mid(0, 2), (QStringList{QStringLiteral("Connected 0"), QStringLiteral("ReadyToSend")}));
    QVERIFY2(log.descriptions.first().contains(QString::number(host.port())), qPrintable(log.descriptions.first()));
    QCOMPARE(log.withoutData(), (QStringList{QStringLiteral("Connected 0"), QStringLiteral("ReadyToSend"),
                                             QStringLiteral("DO 24"), QStringLiteral("WILL 1"),
                                             QStringLiteral("WILL 3"), QStringLiteral("DO 31")}));
    QCOMPARE(log.data, QByteArray("Scripted telnet host\r\n\r\nlogin: "));
    QCOMPARE(log.count(QStringLiteral("ReadyToSend")), 1);
}

void TelnetClientTest::connectByLocalhostName()
{
    // The host listens on 127.0.0.1 only; "localhost" may resolve to ::1
    // first, and the client must go on to the next address.
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    client.setRemoteHost(QStringLiteral("localhost"));
    client.setRemotePort(host.port());
    client.setConnected(true);
    QVERIFY(log.waitForEvent(QStringLiteral("Connected")));
    QCOMPARE(log.events.first(), QStringLiteral("Connected 0"));
    QVERIFY(host.waitForClient());
}

void TelnetClientTest::secondConnectWhileOpenIsIgnored()
{
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));
    client.setConnected(true);
    Settle();
    QCOMPARE(host.connectionCount(), 1);
    QCOMPARE(log.count(QStringLiteral("Connected")), 1);
    QVERIFY(client.Connected());
}

void TelnetClientTest::refusedConnectionReportedAtOnce()
{
    TTelnetClient client;
    EventLog log(client);
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(closedPort());

    QElapsedTimer clock;
    clock.start();
    client.setConnected(true);
    QVERIFY(log.waitForEvent(QStringLiteral("Connected"), 3000));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("took %1 ms").arg(clock.elapsed())));

    QCOMPARE(log.events.first(), QStringLiteral("Connected 10061"));
    QCOMPARE(log.descriptions.first(), QStringLiteral("Connection refused"));
    QVERIFY(!client.Connected());
    QVERIFY2(!client.hasPendingError(), "only a failed name lookup leaves a pending error");
    Settle();
    // The attempt never connected: nothing else, above all no OnDisconnected
    // that would start a retrieval.
    QCOMPARE(log.events, QStringList{QStringLiteral("Connected 10061")});
}

void TelnetClientTest::newAttemptAfterFailureConnects()
{
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(closedPort());
    client.setConnected(true);
    QVERIFY(log.waitForEvent(QStringLiteral("Connected 10061")));

    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForEvent(QStringLiteral("Connected 0")));
    QVERIFY(client.Connected());
    QCOMPARE(log.count(QStringLiteral("ReadyToSend")), 1);
}

void TelnetClientTest::invalidHostNameGivesPendingError_data()
{
    // Names no resolver can know, rejected before any lookup leaves the machine.
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank inside") << QStringLiteral("web host");
    QTest::newRow("punctuation") << QStringLiteral("host!name");
    QTest::newRow("empty label") << QStringLiteral("a..b");
    QTest::newRow("label too long") << QString(64, QLatin1Char('a')) + QStringLiteral(".example");
    QTest::newRow("control character") << QStringLiteral("host\tname");
}

void TelnetClientTest::invalidHostNameGivesPendingError()
{
    QFETCH(QString, name);
    TTelnetClient client;
    EventLog log(client);
    client.setRemoteHost(name);
    client.setConnected(true);
    QVERIFY(log.events.isEmpty());
    QVERIFY(client.hasPendingError());
    QVERIFY(log.waitForEvent(QStringLiteral("Connected")));
    QCOMPARE(log.events, QStringList{QStringLiteral("Connected 11001")});
    QCOMPARE(log.descriptions.first(), QStringLiteral("Host not found"));

    const ETelnetClientError e = client.takePendingError();
    QCOMPARE(e.code(), 11001);
    QCOMPARE(e.message(), QStringLiteral("11001: Host not found"));
    QVERIFY(!client.hasPendingError());
    Settle(20);
    QCOMPARE(log.events.size(), 1);
}

void TelnetClientTest::cancelWhileConnecting()
{
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    client.Disconnect();  // before the event loop could complete the connect
    QVERIFY(!client.Connected());
    QVERIFY(log.waitForEvent(QStringLiteral("Connected")));
    QCOMPARE(log.events.first(), QStringLiteral("Connected 10004"));
    Settle();
    QCOMPARE(log.events.size(), 1);
    QCOMPARE(log.count(QStringLiteral("Disconnected")), 0);
}

void TelnetClientTest::chunksAreNotAccumulated()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    host.setBanner({});
    host.setLoginPrompt("first\r\n");
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForData("first\r\n"));
    const int before = log.chunks.size();

    host.sendRaw("Password:");
    QVERIFY(log.waitForData("Password:"));
    QCOMPARE(log.chunks.size(), before + 1);
    QCOMPARE(log.chunks.last(), QByteArray("Password:"));
}

void TelnetClientTest::commandsAreRemovedFromData()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    host.setBanner({});
    host.setLoginPrompt({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(host.waitForClient());
    QVERIFY(log.waitForEvent(QStringLiteral("ReadyToSend")));

    // One write, so one read: the chunk is the data with the commands cut out,
    // byte 255 and a bare CR restored.
    host.sendRaw(QByteArray("Pass") + bytes({255, 241}) + "word" + bytes({255, 255}) + ":\r" + '\0'
                 + bytes({255, 253, 1}));
    QVERIFY(log.waitForEvent(QStringLiteral("DataIn")));
    QCOMPARE(log.chunks, QList<QByteArray>{QByteArray("Password") + char(255) + ":\r"});
    QCOMPARE(log.withoutData().mid(2), (QStringList{QStringLiteral("CMD 241"), QStringLiteral("DO 1")}));
}

void TelnetClientTest::serverOptionsAndCommandsAsEvents()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));
    const int start = log.withoutData().size();

    host.sendRaw(bytes({255, 254, 5, 255, 252, 6, 255, 251, 7, 255, 253, 8, 255, 246, 255, 249, 255, 242}));
    host.sendRaw(bytes({255, 250, 24, 1, 255, 240}));
    host.sendRaw(bytes({255, 250, 31, 255, 255, 0, 255, 240}));
    QVERIFY(log.waitFor([&] { return log.subOptions.size() == 2; }));
    QCOMPARE(log.withoutData().mid(start),
             (QStringList{QStringLiteral("DONT 5"), QStringLiteral("WONT 6"), QStringLiteral("WILL 7"),
                          QStringLiteral("DO 8"), QStringLiteral("CMD 246"), QStringLiteral("CMD 249"),
                          QStringLiteral("CMD 242"), QStringLiteral("SB"), QStringLiteral("SB")}));
    QCOMPARE(log.subOptions, (QList<QByteArray>{bytes({24, 1}), bytes({31, 255, 0})}));
}

void TelnetClientTest::hostileInputPassesWithoutHarm()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    host.setBanner({});
    host.setLoginPrompt({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForEvent(QStringLiteral("ReadyToSend")));
    QVERIFY(host.waitForClient());

    // A megabyte "line", a flood of commands, an oversized sub-negotiation.
    const QByteArray line(1024 * 1024, 'x');
    host.sendRaw(line);
    QByteArray nops;
    for (int i = 0; i < 10000; ++i)
        nops += bytes({255, 241});
    host.sendRaw(nops);
    host.sendRaw(bytes({255, 250, 24}) + QByteArray(200 * 1024, 'y') + bytes({255, 240}) + "end");
    // (endsWith: the condition is checked on each of the 10000 command events)
    QVERIFY(log.waitFor([&] { return log.data.endsWith("end"); }, 10000));

    QCOMPARE(log.data.size(), line.size() + 3);
    QCOMPARE(log.data.count('x'), line.size());
    QCOMPARE(log.count(QStringLiteral("CMD 241")), 10000);
    QCOMPARE(log.subOptions.size(), 1);
    QCOMPARE(log.subOptions.first().size(), TelnetParser::MaxSubOption);
    QVERIFY(log.chunks.size() > 1);  // handed on as it came, not gathered into one
    QVERIFY(client.Connected());
}

void TelnetClientTest::handlerWithNestedEventLoopKeepsOrder()
{
    // The session's handlers wait with nested event loops; data arriving
    // meanwhile must still come out in stream order, once.
    ScriptedTelnetHost host;
    host.setNegotiation({});
    host.setBanner({});
    host.setLoginPrompt({});
    host.setTerminalTypeRequest(ScriptedTelnetHost::TerminalTypeRequest::Never);
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    connect(&client, &TTelnetClient::OnDo, &client, [&](int option) {
        client.SendWont(option);
        SpinUntil([&] { return log.data.contains("B"); }, 2000);
    });
    connect(&host, &ScriptedTelnetHost::changed, &host, [&] {
        if (host.receivedNegotiation(ScriptedTelnetHost::WONT, 24) && !host.sentToClient().contains("B"))
            host.sendRaw("B");
    });
    client.setConnected(true);
    QVERIFY(host.waitForClient());
    QVERIFY(log.waitForEvent(QStringLiteral("ReadyToSend")));
    host.sendRaw(bytes({255, 253, 24}) + "A");
    QVERIFY(log.waitForData("B"));
    QCOMPARE(log.data, QByteArray("AB"));
    QCOMPARE(log.withoutData().mid(2), QStringList{QStringLiteral("DO 24")});
    const int doAt = log.events.indexOf(QStringLiteral("DO 24"));
    QCOMPARE(log.events.mid(doAt), (QStringList{QStringLiteral("DO 24"), QStringLiteral("DataIn"),
                                                QStringLiteral("DataIn")}));
}

void TelnetClientTest::answersArriveAsTheHostReadsThem()
{
    // The session's way: WONT for every DO, terminal type for every request.
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    connect(&client, &TTelnetClient::OnDo, &client, [&](int option) { client.SendWont(option); });
    connect(&client, &TTelnetClient::OnSubOption, &client, [&](const QByteArray &) {
        client.SendSubOption(QByteArray(1, char(24)) + '\0' + "vt100");
    });
    client.setConnected(true);
    QVERIFY(host.waitFor([&] { return !host.subOptions().isEmpty(); }));

    QCOMPARE(host.negotiations(),
             (QList<ScriptedTelnetHost::Negotiation>{{ScriptedTelnetHost::WONT, 24}, {ScriptedTelnetHost::WONT, 31}}));
    QCOMPARE(host.terminalTypeRequests(), 1);
    QCOMPARE(host.subOptions(), QList<QByteArray>{QByteArray(1, char(24)) + '\0' + "vt100"});
    QCOMPARE(host.rawReceived(), bytes({255, 252, 24, 255, 252, 31, 255, 250, 24, 0}) + "vt100" + bytes({255, 240}));
    QVERIFY(host.dataReceived().isEmpty());

    // The other verbs, and a payload holding byte 255.
    client.SendDo(3);
    client.SendDont(1);
    client.SendWill(24);
    client.SendSubOption(bytes({31, 0, 255, 0, 24}));
    QVERIFY(host.waitFor([&] { return host.subOptions().size() == 2; }));
    QVERIFY(host.rawReceived().endsWith(bytes({255, 253, 3, 255, 254, 1, 255, 251, 24,
                                               255, 250, 31, 0, 255, 255, 0, 24, 255, 240})));
    QCOMPARE(host.subOptions().last(), bytes({31, 0, 255, 0, 24}));
    // Out of range option codes are not sent as some other option.
    const int rawSize = host.rawReceived().size();
    client.SendWont(256);
    client.SendDo(-1);
    Settle();
    QCOMPARE(host.rawReceived().size(), rawSize);
}

void TelnetClientTest::sendDoublesByte255()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    TTelnetClient client;
    EventLog log(client);
    QSignalSpy sent(&client, &TTelnetClient::sent);
    aim(client, host);
    connect(&client, &TTelnetClient::OnReadyToSend, &client, [&] { client.Send("joe\n"); });
    client.setConnected(true);
    QVERIFY(host.waitForLines(1));
    QCOMPARE(host.lines(), QStringList{QStringLiteral("joe")});

    const QByteArray password = QByteArray("p") + char(255) + "w" + char(255) + char(255) + "\n";
    client.Send(password);
    QVERIFY(host.waitForLines(2));
    QCOMPARE(host.rawReceived(), QByteArray("joe\np") + bytes({255, 255}) + "w" + bytes({255, 255, 255, 255}) + "\n");
    QCOMPARE(host.dataReceived(), QByteArray("joe\n") + password);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(1).at(0).toByteArray(), password);

    client.setDataToSend("x\n");  // same as Send
    QVERIFY(host.waitForLines(3));
    QCOMPARE(host.receivedLines().last().bytes, QByteArray("x"));
    QCOMPARE(sent.size(), 3);
}

void TelnetClientTest::sendWithoutConnectionIsDropped()
{
    TTelnetClient client;
    EventLog log(client);
    QSignalSpy sent(&client, &TTelnetClient::sent);
    client.Send("exit\n");
    client.SendWont(24);
    client.SendSubOption("x");
    QVERIFY(log.events.isEmpty());  // reported later, never from inside Send
    QVERIFY(log.waitFor([&] { return log.count(QStringLiteral("Error 10057")) == 3; }));
    QCOMPARE(sent.size(), 0);
    QCOMPARE(log.events.size(), 3);
}

void TelnetClientTest::serverCloseFiresOnDisconnectedAfterData()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));

    host.sendText("logout\r\n");
    host.closeClient();
    QVERIFY(log.waitForEvent(QStringLiteral("Disconnected")));
    QVERIFY(log.data.endsWith("logout\r\n"));
    QCOMPARE(log.events.last(), QStringLiteral("Disconnected 0"));
    QVERIFY(!log.descriptions.last().isEmpty());
    QVERIFY(!client.Connected());

    client.Disconnect();
    client.setConnected(false);
    Settle();
    QCOMPARE(log.count(QStringLiteral("Disconnected")), 1);
    QVERIFY(!host.closedByClient());
}

void TelnetClientTest::localDisconnectFiresOnDisconnectedOnce()
{
    ScriptedTelnetHost host;
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));

    bool connectedInHandler = true;
    connect(&client, &TTelnetClient::OnDisconnected, &client, [&] { connectedInHandler = client.Connected(); });
    client.Disconnect();
    // Reported before Disconnect() returns, with the client already idle.
    QCOMPARE(log.count(QStringLiteral("Disconnected")), 1);
    QCOMPARE(log.events.last(), QStringLiteral("Disconnected 0"));
    QVERIFY(!connectedInHandler);
    QVERIFY(!client.Connected());

    QVERIFY(host.waitForClosed());
    QVERIFY(host.closedByClient());
    client.Disconnect();
    Settle();
    QCOMPARE(log.count(QStringLiteral("Disconnected")), 1);
}

void TelnetClientTest::droppingConnectionIsSilent()
{
    // setConnected(false) is how a new run begins; the old session must not
    // look as if it had ended on its own (that would start a retrieval).
    ScriptedTelnetHost host;
    host.setNegotiation({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));
    const int before = log.events.size();

    host.sendText("late data\r\n");  // on its way while the client drops
    client.setConnected(false);
    QVERIFY(!client.Connected());
    QVERIFY(host.waitForClosed());
    Settle();
    QCOMPARE(log.events.size(), before);
}

void TelnetClientTest::disconnectHandlerMayReconnect()
{
    ScriptedTelnetHost host;
    host.setNegotiation({});
    TTelnetClient client;
    EventLog log(client);
    aim(client, host);
    bool reconnected = false;
    connect(&client, &TTelnetClient::OnDisconnected, &client, [&] {
        if (!reconnected) {
            reconnected = true;
            client.setConnected(true);
        }
    });
    client.setConnected(true);
    QVERIFY(log.waitForData("login: "));
    host.closeClient();
    QVERIFY(log.waitFor([&] { return log.count(QStringLiteral("Connected 0")) == 2; }));
    QVERIFY(host.waitFor([&] { return host.connectionCount() == 2 && host.isClientConnected(); }));
    QCOMPARE(log.count(QStringLiteral("Disconnected")), 1);
    QCOMPARE(log.count(QStringLiteral("ReadyToSend")), 2);
    QVERIFY(client.Connected());
}

// A host that floods DO requests and reads nothing: the WONT answers pile
// up only to the client's bound, then the session ends with its reason.
void TelnetClientTest::hostThatNeverReadsEndsTheSession()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QTcpSocket *peer = nullptr;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        peer = server.nextPendingConnection();
        peer->setReadBufferSize(1);  // Qt stops reading; the kernel's buffers fill
    });
    QByteArray flood;
    for (int i = 0; i < 20000; ++i)
        flood.append("\xff\xfd\x18", 3);
    QTimer pump;
    connect(&pump, &QTimer::timeout, this, [&] {
        if (peer && peer->state() == QAbstractSocket::ConnectedState && peer->bytesToWrite() < flood.size())
            peer->write(flood);
    });
    pump.start(0);

    TTelnetClient client;
    connect(&client, &TTelnetClient::OnDo, &client, [&client](int option) { client.SendWont(option); });
    QString ended;
    connect(&client, &TTelnetClient::OnDisconnected, &client, [&](int code, const QString &description) {
        ended = QString::number(code) + QLatin1Char(' ') + description;
    });
    client.setRemoteHost(QStringLiteral("127.0.0.1"));
    client.setRemotePort(server.serverPort());
    client.setConnected(true);
    SpinUntil([&] { return !ended.isEmpty(); }, 90000);
    QVERIFY2(ended.startsWith(QStringLiteral("10055 The host does not read")), qPrintable(ended));
    QVERIFY(!client.Connected());
}

QTEST_GUILESS_MAIN(TelnetClientTest)
#include "tst_TelnetClient.moc"
