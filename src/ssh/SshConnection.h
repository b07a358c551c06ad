#pragma once

#include <QString>
#include <atomic>
#include <mutex>

#include <libssh/libssh.h>

#include "ssh/SshDumpTypes.h"

// One SSH connection for one run: the TCP connection (made here, so that a
// cancel can break any blocking wait by shutting the socket down), the
// handshake with compression on, the host key check against known_hosts and
// the login. Each step fills the result's failure and detail when it fails.
// Blocking; used on a worker thread. interrupt() may come from any thread.
class SshConnection {
public:
    SshConnection(const SshDumpRequest &request, const std::atomic<bool> &cancelled);
    ~SshConnection();
    SshConnection(const SshConnection &) = delete;
    SshConnection &operator=(const SshConnection &) = delete;

    bool open(SshDumpResult &result);
    bool verifyHostKey(SshDumpResult &result);
    // Key file, agent, default keys, password, keyboard-interactive.
    bool authenticate(SshDumpResult &result);

    ssh_session session() const { return m_session; }
    QString lastError() const;
    // Breaks off whatever the connection is waiting for.
    void interrupt();

private:
    socket_t connectSocket(SshDumpResult &result);
    void setSocket(socket_t socket);
    // unusable: set when the file cannot be read or needs a passphrase.
    int tryKeyFile(const QString &path, const QByteArray &passphrase, bool *unusable);
    int keyboardInteractive(const QByteArray &password);

    const SshDumpRequest &m_request;
    const std::atomic<bool> &m_cancelled;
    ssh_session m_session = nullptr;
    std::mutex m_socketMutex;
    socket_t m_socket = SSH_INVALID_SOCKET;  // while libssh may block on it
};
