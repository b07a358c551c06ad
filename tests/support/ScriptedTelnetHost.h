#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A telnet server on 127.0.0.1 (free port) that plays a web host's login and
// shell the way real servers do: it negotiates options, sends a banner and
// "login: ", asks "Password:", shows a shell prompt made of the host name and
// "> ", runs each command line through a callback, and answers "exit" with
// "logout" and a hang-up. Everything the client sends is recorded.
//
// It decodes the client's telnet stream with its own small decoder, on
// purpose not the program's parser, so a fault there cannot hide itself.
//
// Typical use:
//     ScriptedTelnetHost host;
//     host.setCredentials("joe", "secret");
//     host.setCommandHandler([](const QString &) { return QByteArray("done\r\n"); });
//     client.setRemoteHost(host.address()); client.setRemotePort(host.port());
//     ... QVERIFY(host.waitForStage(ScriptedTelnetHost::Stage::Closed));
//     QCOMPARE(host.commands(), (QStringList{"mysqldump ...", "exit"}));
class ScriptedTelnetHost : public QObject {
    Q_OBJECT
public:
    enum class Stage {
        Idle,      // no client yet
        Login,     // "login: " shown, waiting for the name
        Password,  // "Password:" shown, waiting for the password
        Shell,     // shell prompt shown, waiting for a command
        Busy,      // a command runs (output sent, prompt follows after the delay)
        Closed     // the connection has ended, from either side
    };
    // When to ask for the terminal type (IAC SB 24 1 IAC SE) after the client
    // answered the DO TERMINAL-TYPE: real servers ask only after WILL; hosts
    // that ask regardless exist, and the program answers every request.
    enum class TerminalTypeRequest { Never, OnWill, OnAnyAnswer };
    // After a refused password: ask again ("login: ") or hang up.
    enum class Refusal { PromptAgain, Close };

    struct Line {
        QByteArray bytes;  // without LF and a CR before it
        qint64 atMs;       // when its LF arrived, on elapsedMs()'s clock
        QString text() const { return QString::fromUtf8(bytes); }
    };
    struct Negotiation {
        int verb;  // 251 WILL, 252 WONT, 253 DO, 254 DONT
        int option;
        bool operator==(const Negotiation &o) const { return verb == o.verb && option == o.option; }
    };
    // Gives the output of one command line; it is sent as is (use "\r\n").
    using CommandHandler = std::function<QByteArray(const QString &command)>;

    static constexpr int WILL = 251, WONT = 252, DO = 253, DONT = 254;
    static constexpr int TerminalType = 24, Echo = 1, SuppressGoAhead = 3, WindowSize = 31;

    explicit ScriptedTelnetHost(QObject *parent = nullptr);
    ~ScriptedTelnetHost() override;

    // Listens from construction on.
    bool isListening() const;
    QString address() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const;

    // --- Script (set before the client connects; most also work mid-session)
    // Shell prompt is name + "> "; default "localhost".
    void setHostName(const QString &name) { m_hostName = name; }
    // Replaces the shell prompt, e.g. a wrong one the program must not
    // recognise ("joe@localhost:~$ "). Empty: back to host name + "> ".
    void setShellPrompt(const QByteArray &prompt) { m_shellPrompt = prompt; }
    QByteArray shellPrompt() const;
    void setLoginPrompt(const QByteArray &prompt) { m_loginPrompt = prompt; }        // "login: "
    void setPasswordPrompt(const QByteArray &prompt) { m_passwordPrompt = prompt; }  // "Password:"
    void setBanner(const QByteArray &banner) { m_banner = banner; }  // sent before the first "login: "
    // Bytes sent first on every connection; default DO TERMINAL-TYPE, WILL ECHO,
    // WILL SGA, DO NAWS. Empty: no negotiation at all.
    void setNegotiation(const QByteArray &bytes) { m_negotiation = bytes; }
    static QByteArray defaultNegotiation();
    void setTerminalTypeRequest(TerminalTypeRequest when) { m_termTypeRequest = when; }
    // Ending of the host's own lines (banner, extra lines, "Login incorrect",
    // "logout"); default CR LF.
    void setLineEnding(const QByteArray &ending) { m_lineEnding = ending; }
    // Lines sent (each with the line ending) right before every prompt, in the
    // same write: "Last login: ...", a message of the day.
    void setExtraLines(const QStringList &lines) { m_extraLines = lines; }
    // Expected login; without it every name and password is accepted.
    void setCredentials(const QString &user, const QString &password);
    void setRefuseLogin(bool refuse) { m_refuseLogin = refuse; }
    void setRefusal(Refusal action) { m_refusal = action; }
    // Hangs up as soon as the password line has arrived.
    void setCloseAfterPassword(bool close) { m_closeAfterPassword = close; }
    void setCommandHandler(CommandHandler handler) { m_commandHandler = std::move(handler); }
    // Time between a command's output and the next prompt (a slow dump).
    void setCommandDelay(int ms) { m_commandDelayMs = ms; }
    // Echoes received data as a terminal would (not the password); LF comes
    // back as the line ending. Off by default.
    void setEcho(bool echo) { m_echo = echo; }

    // --- Actions on the current (latest) connection
    void sendRaw(const QByteArray &bytes);   // exactly these bytes, no escaping
    void sendText(const QByteArray &text);   // data: byte 255 doubled
    void closeClient();                      // the host hangs up (after pending output)

    // --- Records, over all connections in arrival order
    QByteArray rawReceived() const { return m_raw; }    // every byte, telnet commands included
    QByteArray dataReceived() const { return m_data; }  // telnet commands removed
    QByteArray sentToClient() const { return m_sent; }  // everything the host wrote
    QList<Line> receivedLines() const { return m_lines; }
    QStringList lines() const;                          // texts of receivedLines()
    QStringList commands() const { return m_commands; } // lines received at the shell prompt
    QList<Negotiation> negotiations() const { return m_negotiations; }
    bool receivedNegotiation(int verb, int option) const;
    QList<QByteArray> subOptions() const { return m_subOptions; }  // payloads, IAC IAC unescaped
    QList<int> commandsReceived() const { return m_telnetCommands; } // NOP, AYT, ... from the client
    QString loginName() const { return m_loginName; }   // last name entered
    QString password() const { return m_password; }     // last password entered
    int terminalTypeRequests() const { return m_termTypeRequests; }

    Stage stage() const;  // of the latest connection
    int connectionCount() const { return m_connectionCount; }
    bool isClientConnected() const;
    // The last connection ended by the client's hang-up, not the host's.
    bool closedByClient() const { return m_closedByClient; }
    // The host's clock, the same as Line::atMs.
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    void clearRecords();

    // --- Waits: run a local event loop until the condition holds or the time
    // is up; the condition is checked whenever something happens at the host.
    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);
    bool waitForClient(int timeoutMs = 5000);
    bool waitForStage(Stage stage, int timeoutMs = 5000);
    bool waitForLines(int count, int timeoutMs = 5000);
    bool waitForData(const QByteArray &needle, int timeoutMs = 5000);  // in dataReceived()
    bool waitForClosed(int timeoutMs = 5000) { return waitForStage(Stage::Closed, timeoutMs); }

signals:
    void clientConnected();
    void lineReceived(const QString &line);
    void commandReceived(const QString &command);
    void clientDisconnected();
    // Anything happened: bytes arrived, a connection came or went.
    void changed();

private:
    struct Connection;

    void onNewConnection();
    void onReadyRead(Connection *c);
    void onDisconnected(Connection *c);
    void decode(Connection *c, const QByteArray &bytes);
    void dataByte(Connection *c, char byte);
    void onNegotiation(Connection *c, int verb, int option);
    void onLine(Connection *c, const QByteArray &line);
    void runCommand(Connection *c, const QString &command);
    void showPrompt(Connection *c, const QByteArray &prompt);
    void write(Connection *c, const QByteArray &bytes);
    void hangUp(Connection *c);
    QByteArray text(const QString &s) const;

    QTcpServer *m_server = nullptr;
    QList<Connection *> m_connections;
    Connection *m_current = nullptr;
    QElapsedTimer m_clock;

    QString m_hostName = QStringLiteral("localhost");
    QByteArray m_shellPrompt;
    QByteArray m_loginPrompt = "login: ";
    QByteArray m_passwordPrompt = "Password:";
    QByteArray m_banner = "Scripted telnet host\r\n\r\n";
    QByteArray m_negotiation;
    TerminalTypeRequest m_termTypeRequest = TerminalTypeRequest::OnAnyAnswer;
    QByteArray m_lineEnding = "\r\n";
    QStringList m_extraLines;
    bool m_checkCredentials = false;
    QString m_expectedUser, m_expectedPassword;
    bool m_refuseLogin = false;
    Refusal m_refusal = Refusal::PromptAgain;
    bool m_closeAfterPassword = false;
    CommandHandler m_commandHandler;
    int m_commandDelayMs = 0;
    bool m_echo = false;

    QByteArray m_raw, m_data, m_sent;
    QList<Line> m_lines;
    QStringList m_commands;
    QList<Negotiation> m_negotiations;
    QList<QByteArray> m_subOptions;
    QList<int> m_telnetCommands;
    QString m_loginName, m_password;
    int m_termTypeRequests = 0;
    int m_connectionCount = 0;
    bool m_closedByClient = false;
};
