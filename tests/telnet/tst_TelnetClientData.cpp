#include <QSignalSpy>
#include <QTest>

#include "TelnetEventLog.h"

class TelnetClientDataTest : public QObject {
    Q_OBJECT
private slots:
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
};

void TelnetClientDataTest::chunksAreNotAccumulated()
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

void TelnetClientDataTest::commandsAreRemovedFromData()
{
    ScriptedTelnetHost host;
    silence(host);
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

void TelnetClientDataTest::serverOptionsAndCommandsAsEvents()
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

void TelnetClientDataTest::hostileInputPassesWithoutHarm()
{
    ScriptedTelnetHost host;
    silence(host);
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

void TelnetClientDataTest::handlerWithNestedEventLoopKeepsOrder()
{
    // The session's handlers wait with nested event loops; data arriving
    // meanwhile must still come out in stream order, once.
    ScriptedTelnetHost host;
    silence(host);
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

void TelnetClientDataTest::answersArriveAsTheHostReadsThem()
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

void TelnetClientDataTest::sendDoublesByte255()
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

void TelnetClientDataTest::sendWithoutConnectionIsDropped()
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

QTEST_GUILESS_MAIN(TelnetClientDataTest)
#include "tst_TelnetClientData.moc"
