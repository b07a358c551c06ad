#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "TelnetEventLog.h"

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
