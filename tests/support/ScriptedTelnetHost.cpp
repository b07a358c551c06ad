#include "ScriptedTelnetHost.h"
#include "SpinWait.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr unsigned char IAC = 255, SB = 250, SE = 240;
}

struct ScriptedTelnetHost::Connection {
    QPointer<QTcpSocket> socket;
    Stage stage = Stage::Login;
    bool hungUpByHost = false;
    bool termTypeAsked = false;
    // Telnet decoding of what the client sends.
    enum class Decode { Data, Iac, Verb, Sub, SubIac } decode = Decode::Data;
    int verb = 0;
    QByteArray sub;
    QByteArray line;
    QList<QByteArray> queuedLines;  // typed ahead while a command runs
};

ScriptedTelnetHost::ScriptedTelnetHost(QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)), m_negotiation(defaultNegotiation())
{
    m_clock.start();
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedTelnetHost::onNewConnection);
    m_server->listen(QHostAddress::LocalHost, 0);
}

ScriptedTelnetHost::~ScriptedTelnetHost()
{
    for (Connection *c : std::as_const(m_connections)) {
        if (c->socket) {
            c->socket->disconnect(this);
            c->socket->abort();
        }
        delete c;
    }
}

bool ScriptedTelnetHost::isListening() const { return m_server->isListening(); }
quint16 ScriptedTelnetHost::port() const { return m_server->serverPort(); }

QByteArray ScriptedTelnetHost::defaultNegotiation()
{
    QByteArray b;
    for (const auto &[verb, option] : {std::pair{DO, TerminalType}, {WILL, Echo}, {WILL, SuppressGoAhead},
                                       {DO, WindowSize}})
        b.append(char(IAC)).append(char(verb)).append(char(option));
    return b;
}

QByteArray ScriptedTelnetHost::shellPrompt() const
{
    return m_shellPrompt.isEmpty() ? m_hostName.toUtf8() + "> " : m_shellPrompt;
}

void ScriptedTelnetHost::setCredentials(const QString &user, const QString &password)
{
    m_checkCredentials = true;
    m_expectedUser = user;
    m_expectedPassword = password;
}

QStringList ScriptedTelnetHost::lines() const
{
    QStringList out;
    for (const Line &l : m_lines)
        out.append(l.text());
    return out;
}

bool ScriptedTelnetHost::receivedNegotiation(int verb, int option) const
{
    return m_negotiations.contains(Negotiation{verb, option});
}

ScriptedTelnetHost::Stage ScriptedTelnetHost::stage() const
{
    return m_current ? m_current->stage : Stage::Idle;
}

bool ScriptedTelnetHost::isClientConnected() const
{
    return m_current && m_current->socket && m_current->socket->state() == QAbstractSocket::ConnectedState;
}

void ScriptedTelnetHost::clearRecords()
{
    m_raw.clear();
    m_data.clear();
    m_sent.clear();
    m_lines.clear();
    m_commands.clear();
    m_negotiations.clear();
    m_subOptions.clear();
    m_telnetCommands.clear();
    m_loginName.clear();
    m_password.clear();
    m_termTypeRequests = 0;
}

void ScriptedTelnetHost::sendRaw(const QByteArray &bytes)
{
    if (m_current)
        write(m_current, bytes);
}

void ScriptedTelnetHost::sendText(const QByteArray &text)
{
    QByteArray escaped = text;
    escaped.replace(QByteArray(1, char(IAC)), QByteArray(2, char(IAC)));
    sendRaw(escaped);
}

void ScriptedTelnetHost::closeClient()
{
    if (m_current)
        hangUp(m_current);
}

// --- Waits

bool ScriptedTelnetHost::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    // Polled, not on changed(): conditions may look at the client's side too.
    return SpinUntil(condition, timeoutMs);
}

bool ScriptedTelnetHost::waitForClient(int timeoutMs)
{
    return waitFor([this] { return isClientConnected(); }, timeoutMs);
}

bool ScriptedTelnetHost::waitForStage(Stage stage, int timeoutMs)
{
    return waitFor([this, stage] { return this->stage() == stage; }, timeoutMs);
}

bool ScriptedTelnetHost::waitForLines(int count, int timeoutMs)
{
    return waitFor([this, count] { return m_lines.size() >= count; }, timeoutMs);
}

bool ScriptedTelnetHost::waitForData(const QByteArray &needle, int timeoutMs)
{
    return waitFor([this, needle] { return m_data.contains(needle); }, timeoutMs);
}

// --- Connection handling

void ScriptedTelnetHost::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        auto *c = new Connection;
        c->socket = socket;
        m_connections.append(c);
        m_current = c;
        ++m_connectionCount;
        m_closedByClient = false;
        connect(socket, &QTcpSocket::readyRead, this, [this, c] { onReadyRead(c); });
        connect(socket, &QTcpSocket::disconnected, this, [this, c] { onDisconnected(c); });
        write(c, m_negotiation);
        write(c, m_banner);
        showPrompt(c, m_loginPrompt);
        emit clientConnected();
        emit changed();
    }
}

void ScriptedTelnetHost::onDisconnected(Connection *c)
{
    if (c->stage == Stage::Closed)
        return;
    c->stage = Stage::Closed;
    if (c == m_current)
        m_closedByClient = !c->hungUpByHost;
    if (c->socket)
        c->socket->deleteLater();
    emit clientDisconnected();
    emit changed();
}

void ScriptedTelnetHost::onReadyRead(Connection *c)
{
    if (!c->socket)
        return;
    const QByteArray bytes = c->socket->readAll();
    m_raw += bytes;
    decode(c, bytes);
    emit changed();
}

void ScriptedTelnetHost::decode(Connection *c, const QByteArray &bytes)
{
    using D = Connection::Decode;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (c->decode) {
        case D::Data:
            if (b == IAC)
                c->decode = D::Iac;
            else
                dataByte(c, ch);
            break;
        case D::Iac:
            if (b == IAC) {
                c->decode = D::Data;
                dataByte(c, ch);
            } else if (b >= WILL && b <= DONT) {
                c->verb = b;
                c->decode = D::Verb;
            } else if (b == SB) {
                c->sub.clear();
                c->decode = D::Sub;
            } else {
                m_telnetCommands.append(b);
                c->decode = D::Data;
            }
            break;
        case D::Verb:
            c->decode = D::Data;
            onNegotiation(c, c->verb, b);
            break;
        case D::Sub:
            if (b == IAC)
                c->decode = D::SubIac;
            else
                c->sub.append(ch);
            break;
        case D::SubIac:
            if (b == IAC) {
                c->sub.append(ch);
                c->decode = D::Sub;
            } else {
                // SE, or a client that forgot it: either way the payload ends.
                m_subOptions.append(c->sub);
                c->sub.clear();
                c->decode = D::Data;
                if (b != SE)
                    m_telnetCommands.append(b);
            }
            break;
        }
        if (c->stage == Stage::Closed || !c->socket)
            return;
    }
}

void ScriptedTelnetHost::dataByte(Connection *c, char byte)
{
    m_data.append(byte);
    if (m_echo && c->stage != Stage::Password)
        write(c, byte == '\n' ? m_lineEnding : QByteArray(1, byte));
    if (byte != '\n') {
        c->line.append(byte);
        return;
    }
    QByteArray line;
    line.swap(c->line);
    if (line.endsWith('\r'))
        line.chop(1);
    m_lines.append(Line{line, m_clock.elapsed()});
    emit lineReceived(QString::fromUtf8(line));
    if (c->stage == Stage::Busy)
        c->queuedLines.append(line);
    else
        onLine(c, line);
}

void ScriptedTelnetHost::onNegotiation(Connection *c, int verb, int option)
{
    m_negotiations.append(Negotiation{verb, option});
    if (option != TerminalType || c->termTypeAsked || (verb != WILL && verb != WONT))
        return;
    const bool ask = m_termTypeRequest == TerminalTypeRequest::OnAnyAnswer
                     || (m_termTypeRequest == TerminalTypeRequest::OnWill && verb == WILL);
    if (!ask)
        return;
    c->termTypeAsked = true;
    ++m_termTypeRequests;
    QByteArray request;
    request.append(char(IAC)).append(char(SB)).append(char(TerminalType)).append(char(1));
    request.append(char(IAC)).append(char(SE));
    write(c, request);
}

void ScriptedTelnetHost::onLine(Connection *c, const QByteArray &line)
{
    switch (c->stage) {
    case Stage::Login:
        m_loginName = QString::fromUtf8(line);
        c->stage = Stage::Password;
        showPrompt(c, m_passwordPrompt);
        break;
    case Stage::Password: {
        m_password = QString::fromUtf8(line);
        if (m_closeAfterPassword) {
            hangUp(c);
            break;
        }
        const bool accepted = !m_refuseLogin
                              && (!m_checkCredentials
                                  || (m_loginName == m_expectedUser && m_password == m_expectedPassword));
        if (accepted) {
            c->stage = Stage::Shell;
            showPrompt(c, shellPrompt());
            break;
        }
        write(c, m_lineEnding + "Login incorrect" + m_lineEnding);
        if (m_refusal == Refusal::Close) {
            hangUp(c);
        } else {
            c->stage = Stage::Login;
            showPrompt(c, m_loginPrompt);
        }
        break;
    }
    case Stage::Shell:
        runCommand(c, QString::fromUtf8(line));
        break;
    case Stage::Idle:
    case Stage::Busy:
    case Stage::Closed:
        break;
    }
}

void ScriptedTelnetHost::runCommand(Connection *c, const QString &command)
{
    m_commands.append(command);
    emit commandReceived(command);
    if (command.trimmed() == QLatin1String("exit")) {
        write(c, "logout" + m_lineEnding);
        hangUp(c);
        return;
    }
    if (m_commandHandler)
        write(c, m_commandHandler(command));
    if (c->stage == Stage::Closed)
        return;  // the handler hung up
    c->stage = Stage::Busy;
    auto promptAgain = [this, c] {
        if (c->stage != Stage::Busy)
            return;
        c->stage = Stage::Shell;
        showPrompt(c, shellPrompt());
        // Lines typed while the command ran are read now, as a shell does.
        while (c->stage == Stage::Shell && !c->queuedLines.isEmpty())
            onLine(c, c->queuedLines.takeFirst());
        emit changed();
    };
    QTimer::singleShot(m_commandDelayMs, this, promptAgain);
}

void ScriptedTelnetHost::showPrompt(Connection *c, const QByteArray &prompt)
{
    QByteArray out;
    for (const QString &l : std::as_const(m_extraLines))
        out += text(l) + m_lineEnding;
    out += prompt;
    write(c, out);
}

QByteArray ScriptedTelnetHost::text(const QString &s) const
{
    QByteArray b = s.toUtf8();
    b.replace(QByteArray(1, char(IAC)), QByteArray(2, char(IAC)));
    return b;
}

void ScriptedTelnetHost::write(Connection *c, const QByteArray &bytes)
{
    if (bytes.isEmpty() || !c->socket || c->stage == Stage::Closed)
        return;
    m_sent += bytes;
    c->socket->write(bytes);
}

void ScriptedTelnetHost::hangUp(Connection *c)
{
    if (!c->socket || c->stage == Stage::Closed)
        return;
    c->hungUpByHost = true;
    c->socket->disconnectFromHost();  // sends what is pending first
    if (c->socket && c->socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected(c);
}
