#include "telnet/TelnetClient.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTcpSocket>

namespace {

// Winsock numbers, so the codes in the protocol read as users of the program
// know them ("11001: Host not found").
constexpr int HostNotFound = 11001;
constexpr int ConnectionRefused = 10061;
constexpr int NotConnected = 10057;
constexpr int Interrupted = 10004;

struct SocketFailure {
    int code;
    QString description;
};

SocketFailure describe(QAbstractSocket::SocketError error, const QString &qtText)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return {ConnectionRefused, QStringLiteral("Connection refused")};
    case QAbstractSocket::HostNotFoundError:
        return {HostNotFound, QStringLiteral("Host not found")};
    case QAbstractSocket::RemoteHostClosedError:
        return {10054, QStringLiteral("Connection closed by the host")};
    case QAbstractSocket::SocketAccessError:
        return {10013, QStringLiteral("Permission denied")};
    case QAbstractSocket::SocketResourceError:
        return {10055, QStringLiteral("No buffer space available")};
    case QAbstractSocket::SocketTimeoutError:
        return {10060, QStringLiteral("Connection timed out")};
    case QAbstractSocket::NetworkError:
        return {10051, QStringLiteral("Network unreachable")};
    case QAbstractSocket::AddressInUseError:
        return {10048, QStringLiteral("Address already in use")};
    case QAbstractSocket::SocketAddressNotAvailableError:
        return {10049, QStringLiteral("Address not available")};
    case QAbstractSocket::UnsupportedSocketOperationError:
        return {10045, QStringLiteral("Operation not supported")};
    default:
        return {1, QStringLiteral("Socket error: ") + qtText};
    }
}

// Rejects what no resolver could find, before any lookup goes out: an empty
// name, blanks, control characters and punctuation that has no place in a
// host name or address literal.
bool plausibleHostName(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    if (!QHostAddress(host).isNull())
        return true;
    const QStringList labels = host.split(QLatin1Char('.'));
    for (int i = 0; i < labels.size(); ++i) {
        const QString &label = labels.at(i);
        if (label.isEmpty())
            return i == labels.size() - 1 && i > 0;  // only a trailing dot
        if (label.size() > 63)
            return false;
        for (const QChar c : label) {
            if (c == QLatin1Char('-') || c == QLatin1Char('_'))
                continue;
            const bool ok = c.unicode() < 128 ? c.isLetterOrNumber()
                                              : (c.isLetterOrNumber() || c.isMark());
            if (!ok)
                return false;
        }
    }
    return true;
}

} // namespace

ETelnetClientError::ETelnetClientError(int code, const QString &description)
    : std::runtime_error((QString::number(code) + QStringLiteral(": ") + description).toStdString()),
      m_code(code)
{
}

TTelnetClient::TTelnetClient(QObject *parent) : QObject(parent)
{
    // The parser only records; events go out after a read is fully parsed, so
    // a handler that runs a nested event loop never re-enters the parser.
    m_parser.onData = [this](const QByteArray &data) { m_chunk.append(data); };
    m_parser.onOption = [this](int verb, int option) {
        switch (verb) {
        case TelnetParser::DO: post(Event::Do, option); break;
        case TelnetParser::DONT: post(Event::Dont, option); break;
        case TelnetParser::WILL: post(Event::Will, option); break;
        default: post(Event::Wont, option); break;
        }
    };
    m_parser.onCommand = [this](int command) { post(Event::Command, command); };
    m_parser.onSubOption = [this](const QByteArray &payload) {
        post(Event::SubOption, 0, {}, payload);
    };
}

TTelnetClient::~TTelnetClient()
{
    m_events.clear();
    dropSocket();
}

void TTelnetClient::setRemoteHost(const QString &host)
{
    m_remoteHost = host;
}

bool TTelnetClient::Connected() const
{
    return m_socket && m_everConnected && m_socket->state() == QAbstractSocket::ConnectedState;
}

void TTelnetClient::setConnected(bool connected)
{
    if (!connected) {
        m_events.clear();
        if (m_socket)
            m_socket->flush();
        dropSocket();
        return;
    }
    if (m_socket)
        return;

    m_pendingError.reset();
    m_everConnected = false;
    m_disconnectReported = false;
    m_parser.reset();
    m_chunk.clear();

    const QString host = m_remoteHost.trimmed();
    if (!plausibleHostName(host)) {
        failAttempt(HostNotFound, QStringLiteral("Host not found"));
        return;
    }

    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(ReadChunk);
    connect(m_socket, &QTcpSocket::connected, this, &TTelnetClient::onSocketConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &TTelnetClient::onSocketReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &TTelnetClient::onSocketDisconnected);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TTelnetClient::onSocketError);
    m_socket->connectToHost(host, m_remotePort);
}

ETelnetClientError TTelnetClient::takePendingError()
{
    ETelnetClientError error = m_pendingError.value_or(ETelnetClientError(0, QStringLiteral("No error")));
    m_pendingError.reset();
    return error;
}

void TTelnetClient::Send(const QByteArray &data)
{
    if (!Connected()) {
        reportUnsent(QStringLiteral("data"));
        return;
    }
    writeRaw(TelnetParser::escape(data));
    emit sent(data);
}

void TTelnetClient::SendSubOption(const QByteArray &payload)
{
    if (!Connected()) {
        reportUnsent(QStringLiteral("sub-negotiation"));
        return;
    }
    QByteArray bytes;
    bytes.append(char(TelnetParser::IAC)).append(char(TelnetParser::SB));
    bytes.append(TelnetParser::escape(payload));
    bytes.append(char(TelnetParser::IAC)).append(char(TelnetParser::SE));
    writeRaw(bytes);
}

namespace {
QByteArray negotiation(int verb, int option)
{
    QByteArray bytes;
    bytes.append(char(TelnetParser::IAC)).append(char(verb)).append(char(option));
    return bytes;
}
} // namespace

void TTelnetClient::SendWont(int option)
{
    if (option < 0 || option > 255 || !Connected())
        return reportUnsent(QStringLiteral("WONT"));
    writeRaw(negotiation(TelnetParser::WONT, option));
}

void TTelnetClient::SendDont(int option)
{
    if (option < 0 || option > 255 || !Connected())
        return reportUnsent(QStringLiteral("DONT"));
    writeRaw(negotiation(TelnetParser::DONT, option));
}

void TTelnetClient::SendWill(int option)
{
    if (option < 0 || option > 255 || !Connected())
        return reportUnsent(QStringLiteral("WILL"));
    writeRaw(negotiation(TelnetParser::WILL, option));
}

void TTelnetClient::SendDo(int option)
{
    if (option < 0 || option > 255 || !Connected())
        return reportUnsent(QStringLiteral("DO"));
    writeRaw(negotiation(TelnetParser::DO, option));
}

void TTelnetClient::Disconnect()
{
    if (!m_socket)
        return;
    // Whatever was read but not yet reported belongs to a session the user
    // has just ended.
    m_events.clear();
    if (!m_everConnected) {
        dropSocket();
        failAttempt(Interrupted, QStringLiteral("Connection attempt cancelled"));
        return;
    }
    m_socket->flush();
    finishConnection(0, QStringLiteral("Connection closed by the client"), true);
}

void TTelnetClient::writeRaw(const QByteArray &bytes)
{
    // A host that floods requests and never reads would have every answer
    // pile up here; such a session ends instead.
    if (m_socket->bytesToWrite() + bytes.size() > MaxUnsentBytes) {
        const QString description = QStringLiteral("The host does not read what is sent (over %1 KiB unsent)")
                                        .arg(MaxUnsentBytes / 1024);
        m_events.clear();
        post(Event::Error, 10055, description);
        finishConnection(10055, description, false);
        return;
    }
    m_socket->write(bytes);
}

void TTelnetClient::reportUnsent(const QString &what)
{
    post(Event::Error, NotConnected, QStringLiteral("Not connected, %1 not sent").arg(what));
    deliverLater();
}

void TTelnetClient::dropSocket()
{
    if (!m_socket)
        return;
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void TTelnetClient::failAttempt(int code, const QString &description)
{
    if (code == HostNotFound)
        m_pendingError.emplace(code, description);
    dropSocket();
    post(Event::Connected, code, description);
    // Never from inside setConnected(true): it returns at once.
    deliverLater();
}

void TTelnetClient::finishConnection(int code, const QString &description, bool reportNow)
{
    if (m_disconnectReported)
        return;
    m_disconnectReported = true;
    dropSocket();
    post(Event::Disconnected, code, description);
    if (reportNow)
        deliver();
    else
        deliverLater();
}

void TTelnetClient::onSocketConnected()
{
    m_everConnected = true;
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (KeepAlive)
        applyTcpKeepAlive(m_socket->socketDescriptor(), keepAliveTiming);
    QString where = m_socket->peerName();
    const QString address = m_socket->peerAddress().toString();
    if (where != address)
        where += QStringLiteral(" (") + address + QLatin1Char(')');
    post(Event::Connected, 0, where + QStringLiteral(" port ") + QString::number(m_socket->peerPort()));
    post(Event::ReadyToSend);
    // A loopback connect can complete inside connectToHost(), that is inside
    // setConnected(true), which must return before any event.
    deliverLater();
}

void TTelnetClient::readAvailable()
{
    // A host flooding commands must not grow the queue without bound: while
    // it is long, the socket's small read buffer fills and TCP makes the host wait.
    if (!m_socket || m_events.size() >= MaxPendingEvents)
        return;
    const QByteArray bytes = m_socket->read(ReadChunk);
    if (bytes.isEmpty())
        return;
    m_chunk.clear();
    m_parser.feed(bytes);
    if (!m_chunk.isEmpty()) {
        post(Event::DataIn, 0, {}, m_chunk);
        m_chunk.clear();
    }
}

void TTelnetClient::onSocketReadyRead()
{
    readAvailable();
    // Not from inside readyRead(): QIODevice does not emit it again while a
    // slot of it runs, so a handler waiting in a nested event loop would never
    // see the host's next prompt.
    deliverLater();
}

void TTelnetClient::onSocketDisconnected()
{
    if (!m_everConnected)
        return;  // a failed attempt is reported through onSocketError
    readAvailable();
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError || error == QAbstractSocket::UnknownSocketError)
        finishConnection(0, QStringLiteral("Connection closed by the host"), false);
    else {
        const SocketFailure failure = describe(error, m_socket->errorString());
        finishConnection(failure.code, failure.description, false);
    }
}

void TTelnetClient::onSocketError()
{
    const QAbstractSocket::SocketError error = m_socket->error();
    const SocketFailure failure = describe(error, m_socket->errorString());
    if (!m_everConnected) {
        failAttempt(failure.code, failure.description);
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;  // the ordinary end; disconnected() follows
    post(Event::Error, failure.code, failure.description);
    if (m_socket->state() == QAbstractSocket::UnconnectedState) {
        readAvailable();
        finishConnection(failure.code, failure.description, false);
    } else {
        deliverLater();
    }
}

void TTelnetClient::post(Event::Kind kind, int code, const QString &text, const QByteArray &bytes)
{
    m_events.append(Event{kind, code, text, bytes});
}

void TTelnetClient::deliverLater()
{
    QMetaObject::invokeMethod(this, &TTelnetClient::deliver, Qt::QueuedConnection);
}

void TTelnetClient::deliver()
{
    // Handlers may delete the client or start a new connection; each event is
    // taken off the queue before it is reported, and a nested deliver() simply
    // continues with the next one, so the order holds at every depth.
    QPointer<TTelnetClient> self(this);
    while (self && !m_events.isEmpty()) {
        const Event e = m_events.takeFirst();
        switch (e.kind) {
        case Event::Connected: emit OnConnected(e.code, e.text); break;
        case Event::ReadyToSend: emit OnReadyToSend(); break;
        case Event::DataIn: emit OnDataIn(e.bytes); break;
        case Event::Disconnected: emit OnDisconnected(e.code, e.text); break;
        case Event::Do: emit OnDo(e.code); break;
        case Event::Dont: emit OnDont(e.code); break;
        case Event::Will: emit OnWill(e.code); break;
        case Event::Wont: emit OnWont(e.code); break;
        case Event::Command: emit OnCommand(e.code); break;
        case Event::SubOption: emit OnSubOption(e.bytes); break;
        case Event::Error: emit OnError(e.code, e.text); break;
        }
    }
    // Reading paused while the queue was long; go on from the event loop.
    if (self && m_socket && m_socket->bytesAvailable() > 0) {
        readAvailable();
        if (!m_events.isEmpty())
            deliverLater();
    }
}
