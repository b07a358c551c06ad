#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "ScriptedTelnetHost.h"
#include "SpinWait.h"
#include "telnet/TelnetClient.h"

namespace {

using Host = ScriptedTelnetHost;

// Plays the program's side of the dialogue over the real client: the user
// name on ready-to-send, the password on "password:", the command on the
// first shell prompt and "exit" on the next, WONT for every DO and the
// terminal type for every sub-negotiation. Every line ends in a single LF.
class Dialogue : public QObject {
    Q_OBJECT
public:
    Dialogue(Host &host, QByteArray user, QByteArray password, QByteArray command,
             QByteArray prompt = "localhost> ")
        : m_user(std::move(user)), m_password(std::move(password)), m_command(std::move(command)),
          m_prompt(std::move(prompt))
    {
        client.setRemoteHost(host.address());
        client.setRemotePort(host.port());
        connect(&client, &TTelnetClient::OnReadyToSend, this, [this] { client.Send(m_user + '\n'); });
        connect(&client, &TTelnetClient::OnDo, this, [this](int option) { client.SendWont(option); });
        connect(&client, &TTelnetClient::OnSubOption, this, [this](const QByteArray &) {
            client.SendSubOption(QByteArray(1, char(24)) + '\0' + "vt100");
        });
        connect(&client, &TTelnetClient::OnDataIn, this, [this](const QByteArray &chunk) {
            received += chunk;
            QByteArray last = chunk.mid(chunk.lastIndexOf('\n') + 1);
            if (last.toLower() == "password:") {
                client.Send(m_password + '\n');
            } else if (last == m_prompt) {
                client.Send((m_commandSent ? QByteArray("exit") : m_command) + '\n');
                m_commandSent = true;
            }
        });
        connect(&client, &TTelnetClient::OnDisconnected, this, [this] { ++disconnects; });
    }
    bool waitForDisconnect(int timeoutMs = 3000)
    {
        QSignalSpy spy(&client, &TTelnetClient::OnDisconnected);
        return disconnects > 0 || spy.wait(timeoutMs);
    }
    void start() { client.setConnected(true); }

    TTelnetClient client;
    QByteArray received;
    int disconnects = 0;

private:
    QByteArray m_user, m_password, m_command, m_prompt;
    bool m_commandSent = false;
};

} // namespace

class ScriptedTelnetHostTest : public QObject {
    Q_OBJECT
private slots:
    void wholeSessionIsRecorded();
    void commandDelayHoldsThePrompt();
    void refusedLogin_data();
    void refusedLogin();
    void closesAfterPassword();
    void wrongPromptKeepsWaiting();
    void lineEndingsAndExtraLines();
    void linesWithCrLfAndTypedAhead();
    void echoSparesThePassword();
    void terminalTypeRequest_data();
    void terminalTypeRequest();
    void commandsAreDecodedFromRaw();
};

void ScriptedTelnetHostTest::wholeSessionIsRecorded()
{
    Host host;
    QVERIFY(host.isListening());
    QVERIFY(host.port() != 0);
    host.setHostName(QStringLiteral("web1"));
    host.setCredentials(QStringLiteral("joe"), QStringLiteral("pw"));
    QStringList seen;
    host.setCommandHandler([&](const QString &c) {
        seen.append(c);
        return QByteArray("dumping\r\n");
    });
    Dialogue d(host, "joe", "pw", "mysqldump -h db shop > /tmp/shop.sql", "web1> ");
    d.start();
    QVERIFY(host.waitForClosed());

    QCOMPARE(host.lines(), (QStringList{QStringLiteral("joe"), QStringLiteral("pw"),
                                        QStringLiteral("mysqldump -h db shop > /tmp/shop.sql"),
                                        QStringLiteral("exit")}));
    QCOMPARE(host.commands(), (QStringList{QStringLiteral("mysqldump -h db shop > /tmp/shop.sql"),
                                           QStringLiteral("exit")}));
    QCOMPARE(seen, QStringList{QStringLiteral("mysqldump -h db shop > /tmp/shop.sql")});  // not "exit"
    QCOMPARE(host.loginName(), QStringLiteral("joe"));
    QCOMPARE(host.password(), QStringLiteral("pw"));
    QVERIFY(host.receivedNegotiation(Host::WONT, Host::TerminalType));
    QVERIFY(host.receivedNegotiation(Host::WONT, Host::WindowSize));
    QCOMPARE(host.subOptions(), QList<QByteArray>{QByteArray(1, char(24)) + '\0' + "vt100"});
    QCOMPARE(host.dataReceived(), QByteArray("joe\npw\nmysqldump -h db shop > /tmp/shop.sql\nexit\n"));
    QVERIFY(!host.closedByClient());
    QCOMPARE(host.connectionCount(), 1);

    // The client has everything the host sent before it hung up.
    QVERIFY(d.waitForDisconnect());
    QCOMPARE(d.disconnects, 1);
    QVERIFY(d.received.contains("Password:"));
    QVERIFY(d.received.endsWith("web1> dumping\r\nweb1> logout\r\n"));
}

void ScriptedTelnetHostTest::commandDelayHoldsThePrompt()
{
    Host host;
    host.setCommandDelay(300);
    Dialogue d(host, "joe", "pw", "sleep");
    d.start();
    QVERIFY(host.waitForClosed());
    const QList<Host::Line> lines = host.receivedLines();
    QCOMPARE(lines.size(), 4);
    // "exit" can only come after the prompt that follows the delay.
    QVERIFY2(lines.at(3).atMs - lines.at(2).atMs >= 300,
             qPrintable(QString::number(lines.at(3).atMs - lines.at(2).atMs)));
    QVERIFY(lines.at(0).atMs <= lines.at(1).atMs);
    QVERIFY(lines.at(3).atMs <= host.elapsedMs());
}

void ScriptedTelnetHostTest::refusedLogin_data()
{
    QTest::addColumn<bool>("refuseAll");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("closeOnRefusal");
    QTest::newRow("refuse all, ask again") << true << QByteArray("right") << false;
    QTest::newRow("refuse all, hang up") << true << QByteArray("right") << true;
    QTest::newRow("wrong password, ask again") << false << QByteArray("wrong") << false;
    QTest::newRow("wrong password, hang up") << false << QByteArray("wrong") << true;
}

void ScriptedTelnetHostTest::refusedLogin()
{
    QFETCH(bool, refuseAll);
    QFETCH(QByteArray, password);
    QFETCH(bool, closeOnRefusal);
    Host host;
    host.setCredentials(QStringLiteral("joe"), QStringLiteral("right"));
    host.setRefuseLogin(refuseAll);
    host.setRefusal(closeOnRefusal ? Host::Refusal::Close : Host::Refusal::PromptAgain);
    Dialogue d(host, "joe", password, "cmd");
    d.start();
    QVERIFY(host.waitForLines(2));
    if (closeOnRefusal) {
        QVERIFY(host.waitForClosed());
        QVERIFY(d.waitForDisconnect());
        QVERIFY(d.received.endsWith("Password:\r\nLogin incorrect\r\n"));
    } else {
        QVERIFY(host.waitForStage(Host::Stage::Login));
        QVERIFY(host.waitFor([&] { return host.sentToClient().endsWith("\r\nLogin incorrect\r\nlogin: "); }));
    }
    QVERIFY(host.commands().isEmpty());
    QVERIFY(!host.sentToClient().contains(host.shellPrompt()));
}

void ScriptedTelnetHostTest::closesAfterPassword()
{
    Host host;
    host.setCloseAfterPassword(true);
    Dialogue d(host, "joe", "pw", "cmd");
    d.start();
    QVERIFY(host.waitForClosed());
    QCOMPARE(host.lines(), (QStringList{QStringLiteral("joe"), QStringLiteral("pw")}));
    QVERIFY(!host.closedByClient());
    QVERIFY(d.waitForDisconnect());
    QVERIFY(d.received.endsWith("Password:"));
}

void ScriptedTelnetHostTest::wrongPromptKeepsWaiting()
{
    Host host;
    host.setShellPrompt("joe@localhost:~$ ");
    Dialogue d(host, "joe", "pw", "cmd");
    d.start();
    QVERIFY(host.waitForStage(Host::Stage::Shell));
    QVERIFY(host.sentToClient().endsWith("joe@localhost:~$ "));
    QVERIFY(!host.waitForLines(3, 200));  // nobody answers that prompt
    QVERIFY(host.isClientConnected());
    host.closeClient();
    QVERIFY(host.waitForClosed());
}

void ScriptedTelnetHostTest::lineEndingsAndExtraLines()
{
    Host host;
    host.setLineEnding("\n");
    host.setBanner("Welcome\n");
    host.setExtraLines({QStringLiteral("Last login: Mon Dec  7"), QStringLiteral("You have mail.")});
    host.setNegotiation({});
    Dialogue d(host, "joe", "pw", "cmd");
    d.start();
    QVERIFY(d.waitForDisconnect());
    const QByteArray extra = "Last login: Mon Dec  7\nYou have mail.\n";
    QCOMPARE(d.received, "Welcome\n" + extra + "login: " + extra + "Password:" + extra + "localhost> " + extra
                             + "localhost> logout\n");
    QVERIFY(!d.received.contains('\r'));
}

void ScriptedTelnetHostTest::linesWithCrLfAndTypedAhead()
{
    Host host;
    host.setCommandDelay(150);
    host.setNegotiation({});
    TTelnetClient client;
    client.setRemoteHost(host.address());
    client.setRemotePort(host.port());
    QSignalSpy ready(&client, &TTelnetClient::OnReadyToSend);
    client.setConnected(true);
    QVERIFY(ready.wait(3000));

    // CR LF and LF both end a line; a command typed while another runs waits
    // for the prompt, as with a shell.
    client.Send("joe\r\npw\nfirst\nsecond\r\npartial");
    QVERIFY(host.waitForLines(4));
    QCOMPARE(host.lines(), (QStringList{QStringLiteral("joe"), QStringLiteral("pw"), QStringLiteral("first"),
                                        QStringLiteral("second")}));
    QCOMPARE(host.commands(), QStringList{QStringLiteral("first")});
    QCOMPARE(host.stage(), Host::Stage::Busy);
    QVERIFY(host.waitFor([&] { return host.commands().size() == 2; }));
    QCOMPARE(host.commands().last(), QStringLiteral("second"));
    client.Send("\nexit\n");  // "partial" completes, then exit
    QVERIFY(host.waitForClosed());
    QCOMPARE(host.lines().mid(4), (QStringList{QStringLiteral("partial"), QStringLiteral("exit")}));
}

void ScriptedTelnetHostTest::echoSparesThePassword()
{
    Host host;
    host.setEcho(true);
    host.setNegotiation({});
    host.setBanner({});
    Dialogue d(host, "joe", "topsecret", "ls");
    d.start();
    QVERIFY(d.waitForDisconnect());
    QVERIFY(d.received.startsWith("login: joe\r\nPassword:localhost> ls\r\n"));
    QVERIFY(!d.received.contains("topsecret"));
}

void ScriptedTelnetHostTest::terminalTypeRequest_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("clientWill");
    QTest::addColumn<int>("requests");
    QTest::newRow("any answer, WONT") << int(Host::TerminalTypeRequest::OnAnyAnswer) << false << 1;
    QTest::newRow("on WILL, WONT") << int(Host::TerminalTypeRequest::OnWill) << false << 0;
    QTest::newRow("on WILL, WILL") << int(Host::TerminalTypeRequest::OnWill) << true << 1;
    QTest::newRow("never, WILL") << int(Host::TerminalTypeRequest::Never) << true << 0;
}

void ScriptedTelnetHostTest::terminalTypeRequest()
{
    QFETCH(int, mode);
    QFETCH(bool, clientWill);
    QFETCH(int, requests);
    Host host;
    host.setTerminalTypeRequest(Host::TerminalTypeRequest(mode));
    TTelnetClient client;
    client.setRemoteHost(host.address());
    client.setRemotePort(host.port());
    int subOptions = 0;
    connect(&client, &TTelnetClient::OnDo, &client, [&](int option) {
        clientWill ? client.SendWill(option) : client.SendWont(option);
    });
    connect(&client, &TTelnetClient::OnSubOption, &client, [&](const QByteArray &p) {
        QCOMPARE(p, QByteArray("\x18\x01"));
        ++subOptions;
    });
    client.setConnected(true);
    QVERIFY(host.waitFor([&] { return host.negotiations().size() == 2; }));
    // A request would follow at once; give it a moment to show up or not.
    Settle();
    QCOMPARE(host.terminalTypeRequests(), requests);
    QCOMPARE(subOptions, requests);
}

void ScriptedTelnetHostTest::commandsAreDecodedFromRaw()
{
    Host host;
    host.setNegotiation({});
    TTelnetClient client;
    client.setRemoteHost(host.address());
    client.setRemotePort(host.port());
    connect(&client, &TTelnetClient::OnReadyToSend, &client, [&] {
        client.Send(QByteArray("jo") + char(255) + "e\n");
        client.SendWont(24);
        client.SendSubOption(QByteArray("a") + char(255) + "b");
    });
    client.setConnected(true);
    QVERIFY(host.waitFor([&] { return host.subOptions().size() == 1; }));
    QCOMPARE(host.rawReceived(), QByteArray("jo\xff\xff" "e\n\xff\xfc\x18\xff\xfa" "a\xff\xff" "b\xff\xf0"));
    QCOMPARE(host.dataReceived(), QByteArray("jo\xff" "e\n"));
    QCOMPARE(host.receivedLines().first().bytes, QByteArray("jo\xff" "e"));
    QCOMPARE(host.subOptions().first(), QByteArray("a\xff" "b"));
    QCOMPARE(host.negotiations(), (QList<Host::Negotiation>{{Host::WONT, 24}}));

    host.clearRecords();
    QVERIFY(host.rawReceived().isEmpty() && host.lines().isEmpty() && host.negotiations().isEmpty());
}

QTEST_GUILESS_MAIN(ScriptedTelnetHostTest)
#include "tst_ScriptedTelnetHost.moc"
