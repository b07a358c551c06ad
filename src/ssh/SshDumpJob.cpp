#include "ssh/SshDumpJob.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <libssh/callbacks.h>

#include "engine/ServerText.h"
#include "retrieval/DumpCompletion.h"
#include "ssh/DumpSink.h"
#include "ssh/SshConnection.h"

namespace {

constexpr uint32_t ReadChunk = 64 * 1024;
constexpr int ReadSliceMs = 200;  // how soon a cancel or the dump limit is seen

struct ExitInfo {
    bool statusKnown = false;
    int status = -1;
    QString signal;
};

void onExitStatus(ssh_session, ssh_channel, int status, void *userdata)
{
    auto *info = static_cast<ExitInfo *>(userdata);
    info->statusKnown = true;
    info->status = status;
}

void onExitSignal(ssh_session, ssh_channel, const char *signal, int, const char *, const char *, void *userdata)
{
    static_cast<ExitInfo *>(userdata)->signal = cleanServerText(QString::fromUtf8(signal));
}

void keepTail(QByteArray &tail, const char *data, int size)
{
    tail.append(data, size);
    if (tail.size() > SshStderrKept)
        tail.remove(0, tail.size() - SshStderrKept);
}

} // namespace

QString SshDumpResult::lastStderrLine() const
{
    const QList<QByteArray> lines = stderrTail.split('\n');
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QByteArray line = it->trimmed();
        if (!line.isEmpty())
            return cleanServerText(QString::fromUtf8(line));
    }
    return QString();
}

SshDumpJob::SshDumpJob(SshDumpRequest request) : m_request(std::move(request)) {}

SshDumpJob::~SshDumpJob()
{
    m_request.password.fill(QLatin1Char('\0'));
    m_request.keyPassphrase.fill(QLatin1Char('\0'));
    m_request.standardInput.fill('\0');
}

void SshDumpJob::cancel()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancelled = true;
    if (m_connection)
        m_connection->interrupt();
}

SshDumpResult SshDumpJob::run(DumpSink &sink, SshDumpObserver *observer)
{
    SshDumpObserver silent;
    SshDumpObserver &report = observer ? *observer : silent;
    SshDumpResult result;
    SshConnection connection(m_request, m_cancelled);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_cancelled) {
            result.failure = SshFailure::Cancelled;
            return result;
        }
        m_connection = &connection;
    }
    const auto unregister = qScopeGuard([this] {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_connection = nullptr;
    });

    if (connection.open(result)) {
        report.connected();
        if (connection.verifyHostKey(result)) {
            report.hostKeyVerified(result.fingerprint);
            if (connection.authenticate(result)) {
                report.authenticated(result.authMethod, result.authKeyName);
                stream(connection, sink, report, result);
            }
        }
    }
    if (m_cancelled && !result.succeeded())
        result.failure = SshFailure::Cancelled;
    return result;
}

void SshDumpJob::stream(SshConnection &connection, DumpSink &sink, SshDumpObserver &report, SshDumpResult &result)
{
    // Open the target first: a local fault should not cost the host a dump.
    if (!sink.open()) {
        result.failure = SshFailure::LocalWrite;
        result.detail = sink.errorString();
        return;
    }
    bool committed = false;
    const auto dropUnlessCommitted = qScopeGuard([&] {
        if (!committed)
            sink.abort();
    });

    ssh_session session = connection.session();
    ssh_channel channel = ssh_channel_new(session);
    if (!channel) {
        result.failure = SshFailure::Channel;
        result.detail = connection.lastError();
        return;
    }
    const auto freeChannel = qScopeGuard([&] {
        if (!ssh_channel_is_closed(channel))
            ssh_channel_close(channel);
        ssh_channel_free(channel);
    });
    ExitInfo exit;
    ssh_channel_callbacks_struct callbacks{};
    callbacks.userdata = &exit;
    callbacks.channel_exit_status_function = onExitStatus;
    callbacks.channel_exit_signal_function = onExitSignal;
    ssh_callbacks_init(&callbacks);
    ssh_set_channel_callbacks(channel, &callbacks);

    const QByteArray command = m_request.command.toUtf8();
    if (ssh_channel_open_session(channel) != SSH_OK || ssh_channel_request_exec(channel, command.constData()) != SSH_OK) {
        result.failure = SshFailure::Channel;
        result.detail = connection.lastError();
        return;
    }
    report.commandStarted();

    QByteArray buffer(ReadChunk, Qt::Uninitialized);
    QByteArray errorBuffer(4096, Qt::Uninitialized);
    const auto drainStderr = [&] {
        int n;
        while ((n = ssh_channel_read_nonblocking(channel, errorBuffer.data(), uint32_t(errorBuffer.size()), 1)) > 0)
            keepTail(result.stderrTail, errorBuffer.constData(), n);
    };
    bool writeFailed = false;
    // Whatever the command says while its input still streams goes to the sink as it comes.
    const auto drainStdout = [&] {
        int n;
        while (!writeFailed && (n = ssh_channel_read_nonblocking(channel, buffer.data(), ReadChunk, 0)) > 0) {
            writeFailed = !sink.write(buffer.constData(), n);
            result.bytes += n;
        }
    };
    // All of it or false: the command stopped reading (it ended, or the connection broke).
    const auto send = [&](const char *data, qsizetype size) {
        for (qsizetype at = 0; at < size;) {
            const int n = ssh_channel_write(channel, data + at, uint32_t(qMin<qsizetype>(size - at, 32 * 1024)));
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    };

    // The secrets go through the channel, never onto the host's command line.
    // A broken write is not judged here: the read below finds out what became of the command.
    if (send(m_request.standardInput.constData(), m_request.standardInput.size()) && m_request.inputStream) {
        QByteArray chunk;
        qint64 sent = 0;
        while (!m_cancelled && !writeFailed) {
            if (!m_request.inputStream(chunk)) {
                result.failure = SshFailure::LocalRead;
                return;
            }
            if (chunk.isEmpty() || !send(chunk.constData(), chunk.size()))
                break;
            sent += chunk.size();
            report.sent(sent);
            drainStderr();
            drainStdout();
        }
    }
    ssh_channel_send_eof(channel);

    DumpCompletionCheck completion;
    bool overTime = false;
    bool tooLarge = false;
    QElapsedTimer clock;
    clock.start();
    while (!m_cancelled) {
        if (clock.elapsed() > m_request.limits.dumpLimitMs) {
            overTime = true;
            break;
        }
        const int n = ssh_channel_read_timeout(channel, buffer.data(), ReadChunk, 0, ReadSliceMs);
        drainStderr();
        if (n > 0) {
            if (result.bytes + n > m_request.limits.maxBytes) {
                tooLarge = true;
                break;
            }
            if (!sink.write(buffer.constData(), n)) {
                writeFailed = true;
                break;
            }
            completion.add(buffer.constData(), n);
            result.bytes += n;
            report.received(result.bytes);
            continue;
        }
        if (n == SSH_ERROR)
            break;
        if (ssh_channel_is_eof(channel)) {
            result.streamEnded = true;
            break;
        }
        if (ssh_channel_is_closed(channel))
            break;
    }
    drainStderr();
    result.complete = sink.unpacks() ? sink.completed() : completion.completed();

    if (result.streamEnded && !m_cancelled) {
        // The exit status follows the end of the output; wait for it (within
        // the reply timeout) so a failed command is never taken for a good one.
        const int status = ssh_channel_get_exit_status(channel);
        if (!exit.statusKnown && status >= 0) {
            exit.statusKnown = true;
            exit.status = status;
        }
        drainStderr();
    }
    result.exitStatusKnown = exit.statusKnown;
    result.exitStatus = exit.status;
    result.exitSignal = exit.signal;

    if (m_cancelled) {
        result.failure = SshFailure::Cancelled;
    } else if (writeFailed) {
        result.failure = SshFailure::LocalWrite;
        result.detail = sink.errorString();
    } else if (overTime) {
        result.failure = SshFailure::TimeLimit;
    } else if (tooLarge) {
        result.failure = SshFailure::TooLarge;
        result.byteLimit = m_request.limits.maxBytes;
    } else if (!result.streamEnded) {
        result.failure = SshFailure::StreamCut;
        result.detail = connection.lastError();
    } else if (!exit.statusKnown || exit.status != 0) {
        result.failure = SshFailure::ExitStatus;
        if (!exit.signal.isEmpty())
            result.detail = QStringLiteral("ended by signal ") + exit.signal;
    } else if (m_request.expectDump && !result.complete) {
        result.failure = SshFailure::Incomplete;
    } else if (!sink.commit()) {
        result.failure = SshFailure::LocalWrite;
        result.detail = sink.errorString();
    } else {
        committed = true;
    }
}
