#include "ssh/SshConnection.h"

#include "engine/ServerText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
int lastSocketError() { return WSAGetLastError(); }
void closeSocket(socket_t s) { ::closesocket(s); }
bool setNonBlocking(socket_t s, bool on)
{
    u_long mode = on ? 1 : 0;
    return ::ioctlsocket(s, FIONBIO, &mode) == 0;
}
bool connectPending(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }
int pollSocket(socket_t s, int timeoutMs)
{
    WSAPOLLFD p{};
    p.fd = s;
    p.events = POLLOUT;
    return WSAPoll(&p, 1, timeoutMs);
}
QString socketErrorText(int error) { return QStringLiteral("socket error %1").arg(error); }
constexpr int ShutdownBoth = SD_BOTH;
#else
int lastSocketError() { return errno; }
void closeSocket(socket_t s) { ::close(s); }
bool setNonBlocking(socket_t s, bool on)
{
    const int flags = ::fcntl(s, F_GETFL, 0);
    return flags >= 0 && ::fcntl(s, F_SETFL, on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK)) == 0;
}
bool connectPending(int error) { return error == EINPROGRESS || error == EINTR; }
int pollSocket(socket_t s, int timeoutMs)
{
    pollfd p{};
    p.fd = s;
    p.events = POLLOUT;
    return ::poll(&p, 1, timeoutMs);
}
QString socketErrorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }
constexpr int ShutdownBoth = SHUT_RDWR;
#endif

void setKeepAlive(socket_t s, const SshLimits &limits)
{
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    applyTcpKeepAlive(qintptr(s), limits.keepAlive);
}

// Never let libssh ask for a passphrase on a terminal: there is none.
int refusePrompt(const char *, char *, size_t, int, int, void *)
{
    return -1;
}

const char *const DefaultKeyNames[] = {"id_ed25519", "id_ecdsa", "id_rsa"};

} // namespace

QString SshDumpRequest::knownHostsPath() const
{
    return knownHostsFile.isEmpty() ? sshDirectoryPath() + QStringLiteral("/known_hosts") : knownHostsFile;
}

QString SshDumpRequest::sshDirectoryPath() const
{
    return sshDirectory.isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh") : sshDirectory;
}

SshConnection::SshConnection(const SshDumpRequest &request, const std::atomic<bool> &cancelled)
    : m_request(request), m_cancelled(cancelled)
{
}

SshConnection::~SshConnection()
{
    setSocket(SSH_INVALID_SOCKET);  // libssh closes it from here on
    if (m_session) {
        ssh_disconnect(m_session);
        ssh_free(m_session);
    }
}

QString SshConnection::lastError() const
{
    // Holds the server's disconnect message when the server ended the session.
    return m_session ? cleanServerText(QString::fromUtf8(ssh_get_error(m_session))) : QString();
}

void SshConnection::setSocket(socket_t socket)
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    m_socket = socket;
}

void SshConnection::interrupt()
{
    std::lock_guard<std::mutex> lock(m_socketMutex);
    if (m_socket != SSH_INVALID_SOCKET)
        ::shutdown(m_socket, ShutdownBoth);
}

socket_t SshConnection::connectSocket(SshDumpResult &result)
{
    QByteArray host = QUrl::toAce(m_request.host);
    if (host.isEmpty())
        host = m_request.host.toUtf8();
    const QByteArray port = QByteArray::number(m_request.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const int rc = ::getaddrinfo(host.constData(), port.constData(), &hints, &list);
    if (rc != 0) {
        result.failure = SshFailure::Connect;
#ifdef Q_OS_WIN
        result.detail = socketErrorText(rc);
#else
        result.detail = QString::fromLocal8Bit(::gai_strerror(rc));
#endif
        return SSH_INVALID_SOCKET;
    }

    QElapsedTimer clock;
    clock.start();
    QString error = QStringLiteral("no address");
    socket_t connected = SSH_INVALID_SOCKET;
    for (addrinfo *ai = list; ai && connected == SSH_INVALID_SOCKET; ai = ai->ai_next) {
        socket_t s = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
        if (s == SSH_INVALID_SOCKET) {
            error = socketErrorText(lastSocketError());
            continue;
        }
        setSocket(s);
        int err = 0;
        if (!setNonBlocking(s, true)) {
            err = lastSocketError();
        } else if (::connect(s, ai->ai_addr, int(ai->ai_addrlen)) != 0) {
            err = lastSocketError();
            if (connectPending(err)) {
                err = 0;
                // Short polls, so a cancel is seen while the host does not answer.
                int ready = 0;
                while (ready == 0 && !m_cancelled && clock.elapsed() < m_request.limits.connectTimeoutMs) {
                    const int slice = int(qMin<qint64>(100, m_request.limits.connectTimeoutMs - clock.elapsed()));
                    ready = pollSocket(s, qMax(slice, 1));
                }
                socklen_t len = sizeof err;
                if (ready < 0)
                    err = lastSocketError();
                else if (ready == 0)
                    err = -1;
                else if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&err), &len) != 0)
                    err = lastSocketError();
            }
        }
        if (err == 0 && setNonBlocking(s, false)) {
            setKeepAlive(s, m_request.limits);
            connected = s;
            break;
        }
        error = err == -1 ? QStringLiteral("no answer within %1 s").arg(m_request.limits.connectTimeoutMs / 1000)
                          : socketErrorText(err);
        setSocket(SSH_INVALID_SOCKET);
        closeSocket(s);
        if (m_cancelled)
            break;
    }
    ::freeaddrinfo(list);
    if (connected == SSH_INVALID_SOCKET) {
        result.failure = m_cancelled ? SshFailure::Cancelled : SshFailure::Connect;
        result.detail = error;
    }
    return connected;
}

bool SshConnection::open(SshDumpResult &result)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { ssh_init(); });

    const socket_t socket = connectSocket(result);
    if (socket == SSH_INVALID_SOCKET)
        return false;

    m_session = ssh_new();
    if (!m_session) {
        setSocket(SSH_INVALID_SOCKET);
        closeSocket(socket);
        result.failure = SshFailure::Connect;
        result.detail = QStringLiteral("out of memory");
        return false;
    }
    const QByteArray host = m_request.host.toUtf8();
    const QByteArray user = m_request.user.toUtf8();
    const QByteArray knownHosts = QFile::encodeName(m_request.knownHostsPath());
    const QByteArray agent = QFile::encodeName(m_request.agentSocket);
    unsigned int port = m_request.port;
    long timeout = m_request.limits.replyTimeoutS;
    // The task says everything: the user's ssh_config must not redirect it.
    bool processConfig = false;
    ssh_options_set(m_session, SSH_OPTIONS_PROCESS_CONFIG, &processConfig);
    ssh_options_set(m_session, SSH_OPTIONS_FD, &socket);  // libssh closes it from now on
    // Host and port name the known_hosts entry; the connection is ours.
    ssh_options_set(m_session, SSH_OPTIONS_HOST, host.constData());
    ssh_options_set(m_session, SSH_OPTIONS_PORT, &port);
    if (!user.isEmpty())
        ssh_options_set(m_session, SSH_OPTIONS_USER, user.constData());
    ssh_options_set(m_session, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    ssh_options_set(m_session, SSH_OPTIONS_TIMEOUT, &timeout);
    // Off where the host compresses the stream itself: zlib on its one
    // core would be the slowest part of the way.
    ssh_options_set(m_session, SSH_OPTIONS_COMPRESSION, m_request.sshCompression ? "yes" : "no");
    if (!agent.isEmpty())
        ssh_options_set(m_session, SSH_OPTIONS_IDENTITY_AGENT, agent.constData());

    if (ssh_connect(m_session) != SSH_OK) {
        result.failure = m_cancelled ? SshFailure::Cancelled : SshFailure::Connect;
        result.detail = lastError();
        return false;
    }
    return true;
}

bool SshConnection::verifyHostKey(SshDumpResult &result)
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(m_session, &key) != SSH_OK) {
        result.failure = SshFailure::HostKeyCheck;
        result.detail = lastError();
        return false;
    }
    unsigned char *hash = nullptr;
    size_t hashLength = 0;
    if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hashLength) == SSH_OK) {
        char *text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hashLength);
        result.fingerprint = QString::fromLatin1(text);
        ssh_string_free_char(text);
        ssh_clean_pubkey_hash(&hash);
    }
    result.keyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);

    switch (ssh_session_is_known_server(m_session)) {
    case SSH_KNOWN_HOSTS_OK:
        return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        // Someone may sit between us and the host: never go on, never learn.
        result.failure = SshFailure::HostKeyChanged;
        return false;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND: {
        result.failure = SshFailure::HostKeyUnknown;
        char *entry = nullptr;
        if (ssh_session_export_known_hosts_entry(m_session, &entry) == SSH_OK) {
            result.knownHostsEntry = QByteArray(entry).trimmed();
            ssh_string_free_char(entry);
        }
        return false;
    }
    case SSH_KNOWN_HOSTS_ERROR:
    default:
        result.failure = SshFailure::HostKeyCheck;
        result.detail = lastError();
        return false;
    }
}

int SshConnection::tryKeyFile(const QString &path, const QByteArray &passphrase, bool *unusable)
{
    ssh_key key = nullptr;
    if (ssh_pki_import_privkey_file(QFile::encodeName(path).constData(),
                                    passphrase.isEmpty() ? nullptr : passphrase.constData(),
                                    refusePrompt, nullptr, &key)
        != SSH_OK) {
        if (unusable)
            *unusable = true;
        return SSH_AUTH_DENIED;
    }
    const int rc = ssh_userauth_publickey(m_session, nullptr, key);
    ssh_key_free(key);
    return rc;
}

int SshConnection::keyboardInteractive(const QByteArray &password)
{
    int rc = ssh_userauth_kbdint(m_session, nullptr, nullptr);
    // Hidden prompts get the password; a server that keeps asking is refused.
    for (int round = 0; rc == SSH_AUTH_INFO && round < 8 && !m_cancelled; ++round) {
        const int prompts = ssh_userauth_kbdint_getnprompts(m_session);
        for (int i = 0; i < prompts; ++i) {
            char echo = 0;
            ssh_userauth_kbdint_getprompt(m_session, unsigned(i), &echo);
            ssh_userauth_kbdint_setanswer(m_session, unsigned(i), echo ? "" : password.constData());
        }
        rc = ssh_userauth_kbdint(m_session, nullptr, nullptr);
    }
    return rc == SSH_AUTH_INFO ? SSH_AUTH_DENIED : rc;
}

bool SshConnection::authenticate(SshDumpResult &result)
{
    int rc = ssh_userauth_none(m_session, nullptr);
    if (rc == SSH_AUTH_SUCCESS)
        return true;
    int methods = ssh_userauth_list(m_session, nullptr);
    // true when an attempt settles the login: success, a broken connection, a cancel.
    const auto settled = [&](int code, SshAuthMethod method) {
        rc = code;
        if (!result.authTried.contains(method))
            result.authTried << method;
        if (code == SSH_AUTH_SUCCESS) {
            result.authMethod = method;
            return true;
        }
        if (m_cancelled || !ssh_is_connected(m_session))
            return true;
        methods = ssh_userauth_list(m_session, nullptr);  // a partial success changes what is left
        return false;
    };
    const auto publicKey = [&] { return (methods & SSH_AUTH_METHOD_PUBLICKEY) != 0; };

    bool over = false;
    const QString ownKey = m_request.keyFile.isEmpty() ? QString() : QFileInfo(m_request.keyFile).absoluteFilePath();
    if (!ownKey.isEmpty() && publicKey()) {
        QByteArray passphrase = m_request.keyPassphrase.toUtf8();
        over = settled(tryKeyFile(ownKey, passphrase, &result.keyFileUnusable), SshAuthMethod::KeyFile);
        passphrase.fill('\0');
    }
    const bool agentAvailable = !m_request.agentSocket.isEmpty() || qEnvironmentVariableIsSet("SSH_AUTH_SOCK");
    if (!over && agentAvailable && publicKey())
        over = settled(ssh_userauth_agent(m_session, nullptr), SshAuthMethod::Agent);
    for (const char *name : DefaultKeyNames) {
        if (over || !publicKey())
            break;
        const QString path = QDir(m_request.sshDirectoryPath()).absoluteFilePath(QString::fromLatin1(name));
        if (path == ownKey || !QFileInfo(path).isFile())
            continue;
        over = settled(tryKeyFile(path, QByteArray(), nullptr), SshAuthMethod::DefaultKey);
        if (rc == SSH_AUTH_SUCCESS)
            result.authKeyName = QString::fromLatin1(name);
    }
    QByteArray password = m_request.password.toUtf8();
    if (!over && !password.isEmpty() && (methods & SSH_AUTH_METHOD_PASSWORD))
        over = settled(ssh_userauth_password(m_session, nullptr, password.constData()), SshAuthMethod::Password);
    if (!over && !password.isEmpty() && (methods & SSH_AUTH_METHOD_INTERACTIVE))
        over = settled(keyboardInteractive(password), SshAuthMethod::KeyboardInteractive);
    password.fill('\0');

    if (rc == SSH_AUTH_SUCCESS)
        return true;
    result.failure = m_cancelled ? SshFailure::Cancelled : SshFailure::Authentication;
    if (!ssh_is_connected(m_session))
        result.detail = lastError();
    return false;
}
