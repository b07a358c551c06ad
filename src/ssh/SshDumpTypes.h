#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <functional>

#include "net/TcpKeepAlive.h"
#include "storage/StoredDumpWriter.h"

// Limits of one SSH run. The program uses the defaults; tests shorten them.
struct SshLimits {
    int connectTimeoutMs = 30000;
    // Longest wait for one answer of the server (key exchange, each
    // authentication step, the exit status after the stream).
    int replyTimeoutS = 120;
    // The whole remote command, as a last resort against a dump that never ends.
    qint64 dumpLimitMs = 12LL * 3600 * 1000;
    // The most a dump may bring, as for a download: a host that streams
    // without end must not fill the disk.
    qint64 maxBytes = 64LL << 30;
    // A dead connection during a quiet dump.
    TcpKeepAlive keepAlive;
};

// Where the client keeps its trust and its keys, and its limits. The program
// uses the defaults (the user's ~/.ssh and environment); tests point elsewhere.
struct SshClientSettings {
    QString knownHostsFile;  // empty: ~/.ssh/known_hosts
    QString sshDirectory;    // empty: ~/.ssh
    QString agentSocket;     // empty: SSH_AUTH_SOCK of the environment
    SshLimits limits;
};

// What one SSH run needs. The secrets (password, passphrase, standard input)
// stay in memory only; nothing of them is logged.
struct SshDumpRequest {
    QString host;
    quint16 port = 22;
    QString user;
    QString password;        // password and keyboard-interactive login
    QString keyFile;         // tried first when set
    QString keyPassphrase;   // for an encrypted key file; empty: none
    QString knownHostsFile;  // empty: ~/.ssh/known_hosts
    QString sshDirectory;    // where the default keys live; empty: ~/.ssh
    QString agentSocket;     // empty: SSH_AUTH_SOCK of the environment
    QString command;
    QByteArray standardInput;  // written to the command, then end of file
    // After standardInput and before the end of file: chunks from here, on
    // the worker thread, until an empty one (false: it cannot be read).
    std::function<bool(QByteArray &chunk)> inputStream;
    // A dump must end with mysqldump's completion line to be stored; other
    // commands (a version check) need not.
    bool expectDump = true;
    bool sshCompression = true;  // SSH's own zlib; off when the host compresses
    SshLimits limits;

    QString knownHostsPath() const;
    QString sshDirectoryPath() const;
};

enum class SshFailure {
    None,
    Connect,          // no TCP connection, or the SSH handshake failed
    HostKeyUnknown,   // the host key is not in known_hosts
    HostKeyChanged,   // known_hosts holds another key for this host
    HostKeyCheck,     // known_hosts could not be read
    Authentication,   // every method was refused
    Channel,          // the command could not be started
    LocalWrite,       // the local target could not be written (disk full, rights)
    LocalRead,        // the input stream (a stored backup) could not be read
    ExitStatus,       // the command failed or was ended by a signal
    StreamCut,        // the connection broke before the output ended
    Incomplete,       // the output lacks the dump's completion line
    TimeLimit,        // the command ran longer than the dump limit
    TooLarge,         // the output passed the size limit
    Cancelled,
};

enum class SshAuthMethod { None, KeyFile, Agent, DefaultKey, Password, KeyboardInteractive };

struct SshDumpResult {
    SshFailure failure = SshFailure::None;
    QString detail;             // library or system error text; never a secret
    QString fingerprint;        // "SHA256:..." of the host key, once received
    QString keyType;            // "ssh-ed25519", ...
    QByteArray knownHostsEntry; // the line that would trust this host key
    SshAuthMethod authMethod = SshAuthMethod::None;
    QString authKeyName;        // the default key that worked (id_ed25519, ...)
    QList<SshAuthMethod> authTried;  // in the order tried
    bool keyFileUnusable = false;    // the task's key file cannot be read or needs a passphrase
    bool exitStatusKnown = false;
    int exitStatus = -1;
    QString exitSignal;         // "KILL", ... when the command was ended by a signal
    bool streamEnded = false;   // the server ended the output in order
    bool complete = false;      // the output ends with the completion line
    qint64 bytes = 0;
    qint64 byteLimit = 0;      // TooLarge: the limit it passed
    QByteArray stderrTail;      // the last bytes the command wrote to standard error
    // LocalWrite and Incomplete: what the store said of the local file, set
    // by whoever owns the store.
    StoredDumpWriter::Failure storeFailure = StoredDumpWriter::Failure::None;
    QString localFile;

    bool succeeded() const { return failure == SshFailure::None; }
    // The last non-blank line of stderrTail.
    QString lastStderrLine() const;
};

// Keep at most this much of the command's standard error.
inline constexpr qsizetype SshStderrKept = 4096;

// Steps of a run, reported from the worker thread as they happen.
class SshDumpObserver {
public:
    virtual ~SshDumpObserver() = default;
    virtual void connected() {}
    virtual void hostKeyVerified(const QString & /*fingerprint*/) {}
    virtual void authenticated(SshAuthMethod, const QString & /*keyName*/) {}
    virtual void commandStarted() {}
    virtual void received(qint64 /*total*/) {}
    virtual void sent(qint64 /*total*/) {}  // of the input stream
};
