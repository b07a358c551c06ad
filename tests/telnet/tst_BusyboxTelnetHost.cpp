#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include "RequirePeer.h"
#include "SpinWait.h"
#include "BusyboxTelnetHost.h"
#include "telnet/TelnetClient.h"

namespace {

// Drives a real telnetd with the raw client: refuses every DO as the
// program does, and collects what arrives.
class RawSession : public QObject {
public:
    explicit RawSession(const BusyboxTelnetHost &host)
    {
        client.setRemoteHost(host.address());
        client.setRemotePort(host.port());
        connect(&client, &TTelnetClient::OnDo, this, [this](int option) { client.SendWont(option); });
        connect(&client, &TTelnetClient::OnDataIn, this, [this](const QByteArray &chunk) {
            chunks.append(chunk);
            data += chunk;
        });
        connect(&client, &TTelnetClient::OnConnected, this, [this](int code) {
            connectCode = code;
        });
        connect(&client, &TTelnetClient::OnDisconnected, this, [this] {
            ++disconnects;
        });
    }

    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000)
    {
        return SpinUntil(condition, timeoutMs);
    }
    // The last line of the latest chunk, as the program reads it.
    QByteArray lastLine() const
    {
        if (chunks.isEmpty())
            return {};
        QByteArray c = chunks.last();
        const qsizetype cut = std::max(c.lastIndexOf('\n'), c.lastIndexOf('\r'));
        return c.mid(cut + 1);
    }
    bool waitForLastLine(const QByteArray &line, int timeoutMs = 5000)
    {
        return waitFor([this, line] { return lastLine() == line; }, timeoutMs);
    }
    // Sends a line the way the program does: text and a single LF.
    void sendLine(const QByteArray &line)
    {
        chunks.clear();
        client.Send(line + '\n');
    }

    TTelnetClient client;
    QList<QByteArray> chunks;
    QByteArray data;
    int connectCode = -100;
    int disconnects = 0;
};

} // namespace

class BusyboxTelnetHostTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loginDumpAndExit();
    void wrongPasswordIsRefused();
    void slowAndFailingDump();

private:
    std::unique_ptr<BusyboxTelnetHost> m_host;
    bool login(RawSession &s);
};

void BusyboxTelnetHostTest::init()
{
    m_host = std::make_unique<BusyboxTelnetHost>();
    m_host->setCredentials(QStringLiteral("webuser"), QStringLiteral("s3cret pass"));
    if (!m_host->start())
        VW_SKIP(qPrintable(QStringLiteral("busybox telnetd cannot run: ") + m_host->errorString()));
}

bool BusyboxTelnetHostTest::login(RawSession &s)
{
    s.client.setConnected(true);
    if (!s.waitForLastLine("login: "))
        return false;
    s.sendLine(m_host->user().toUtf8());
    if (!s.waitForLastLine("Password:"))
        return false;
    s.sendLine(m_host->password().toUtf8());
    return s.waitForLastLine(m_host->shellPrompt());
}

void BusyboxTelnetHostTest::loginDumpAndExit()
{
    RawSession s(*m_host);
    QVERIFY2(login(s), s.data.constData());
    QCOMPARE(s.connectCode, 0);
    // The prompt is plain: no line-editing escapes after it.
    QVERIFY(s.chunks.last().endsWith("\nlocalhost> "));
    QVERIFY(!s.data.contains('\x1b'));

    const QByteArray command = "mysqldump -h db.example --user=shop --password='p w' shopdb > "
                               + m_host->remoteDir().toUtf8() + "shop.sql";
    s.sendLine(command);
    QVERIFY(s.waitForLastLine("localhost> "));
    QCOMPARE(m_host->dumpCallCount(), 1);
    QCOMPARE(m_host->lastDumpArguments(),
             (QStringList{QStringLiteral("-h"), QStringLiteral("db.example"), QStringLiteral("--user=shop"),
                          QStringLiteral("--password=p w"), QStringLiteral("shopdb")}));
    const QByteArray dump = m_host->readFile(QStringLiteral("shop.sql"));
    QVERIFY2(dump.endsWith(BusyboxTelnetHost::completionLine() + '\n'), dump.constData());

    s.sendLine("exit");
    QVERIFY(s.waitFor([&] { return s.disconnects == 1; }));
    QVERIFY(!s.client.Connected());
}

void BusyboxTelnetHostTest::wrongPasswordIsRefused()
{
    RawSession s(*m_host);
    s.client.setConnected(true);
    QVERIFY(s.waitForLastLine("login: "));
    s.sendLine(m_host->user().toUtf8());
    QVERIFY(s.waitForLastLine("Password:"));
    s.sendLine("wrong");
    QVERIFY(s.waitFor([&] { return s.disconnects == 1; }));
    QVERIFY(s.data.contains("Login incorrect"));
    QVERIFY(!s.data.contains("localhost> "));
}

void BusyboxTelnetHostTest::slowAndFailingDump()
{
    RawSession s(*m_host);
    QVERIFY(login(s));

    m_host->setDumpDelaySeconds(1);
    QElapsedTimer clock;
    clock.start();
    s.sendLine("mysqldump db > " + m_host->remoteDir().toUtf8() + "slow.sql");
    QVERIFY(s.waitForLastLine("localhost> ", 5000));
    QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(m_host->readFile(QStringLiteral("slow.sql")).endsWith(BusyboxTelnetHost::completionLine() + '\n'));

    m_host->setDumpDelaySeconds(0);
    m_host->setDumpFails(true);
    s.sendLine("mysqldump db > " + m_host->remoteDir().toUtf8() + "failed.sql");
    QVERIFY(s.waitForLastLine("localhost> "));
    QVERIFY(s.data.contains("Access denied"));
    const QByteArray partial = m_host->readFile(QStringLiteral("failed.sql"));
    QVERIFY(partial.startsWith("-- MySQL dump"));
    QVERIFY(!partial.contains("Dump completed"));
    QCOMPARE(m_host->dumpCallCount(), 2);
    QCOMPARE(m_host->lastDumpArguments(), QStringList{QStringLiteral("db")});
}

QTEST_GUILESS_MAIN(BusyboxTelnetHostTest)
#include "tst_BusyboxTelnetHost.moc"
