#include "restore/ClientFeed.h"

#include <QFileInfo>
#include <QTimer>

#include "restore/RestoreTexts.h"

namespace {
// What the client may have waiting on its input before more is read.
constexpr qint64 PipeAhead = 1024 * 1024;
constexpr qsizetype StderrKept = 64 * 1024;

void keep(QByteArray &kept, const QByteArray &more)
{
    if (kept.size() < StderrKept)
        kept += more.left(StderrKept - kept.size());
}
} // namespace

ClientFeed::ClientFeed(bool german, QObject *parent) : QObject(parent), m_german(german)
{
    connect(&m_client, &QProcess::bytesWritten, this, &ClientFeed::feed);
    watch(m_client, this, m_stderr, [this](const QString &why) { end(false, why); });
    connect(&m_client, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        keep(m_stderr, m_client.readAllStandardError());
        // A client that ends before the dump's end took less than all of it.
        if (status == QProcess::NormalExit && exitCode == 0 && m_inputClosed)
            end(true, QString());
        else
            end(false, firstErrorLine(m_stderr, exitCode, m_german));
    });
}

ClientFeed::~ClientFeed()
{
    cancel();
}

void ClientFeed::start(const QString &program, const QStringList &arguments, const QString &storedFile)
{
    m_file = storedFile;
    m_stderr.clear();
    m_sent = 0;
    m_inputClosed = false;
    m_done = false;
    if (!m_reader.open(storedFile)) {
        const QString reason = RestoreTexts::cannotRead(storedFile, m_reader.errorString(), m_german);
        QTimer::singleShot(0, this, [this, reason] { end(false, reason); });
        return;
    }
    m_client.start(program, arguments);
    feed();
}

void ClientFeed::cancel()
{
    m_done = true;
    stopClient();
}

void ClientFeed::stopClient()
{
    if (m_client.state() != QProcess::NotRunning) {
        m_client.kill();
        m_client.waitForFinished(5000);
    }
}

void ClientFeed::feed()
{
    if (m_done)
        return;
    while (!m_inputClosed && m_client.bytesToWrite() < PipeAhead) {
        if (m_reader.atEnd()) {
            m_client.closeWriteChannel();
            m_inputClosed = true;
            break;
        }
        const QByteArray chunk = m_reader.read();
        if (m_reader.failed()) {
            const QString reason = RestoreTexts::cannotRead(QFileInfo(m_file).fileName(), m_reader.errorString(), m_german);
            // Said first: the killed client's own end then says nothing.
            end(false, reason);
            stopClient();
            return;
        }
        if (m_observer)
            m_observer(chunk);
        if (!chunk.isEmpty())
            m_client.write(chunk);
        m_sent += chunk.size();
    }
    const qint64 size = m_reader.fileSize();
    emit progress(m_sent, size > 0 ? int(1000 * m_reader.filePosition() / size) : 1000);
}

void ClientFeed::end(bool ok, const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(ok, reason);
}

void ClientFeed::watch(QProcess &client, QObject *context, QByteArray &standardError,
                       const std::function<void(const QString &)> &failedToStart)
{
    QObject::connect(&client, &QProcess::readyReadStandardError, context,
                     [&client, &standardError] { keep(standardError, client.readAllStandardError()); });
    QObject::connect(&client, &QProcess::errorOccurred, context, [&client, failedToStart](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            failedToStart(client.program() + QStringLiteral(": ") + client.errorString());
    });
}

QString ClientFeed::firstErrorLine(const QByteArray &standardError, int exitCode, bool german)
{
    QString first;
    for (const QByteArray &raw : standardError.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("ERROR")))
            return line;
        if (first.isEmpty())
            first = line;
    }
    if (!first.isEmpty())
        return first;
    return german ? QStringLiteral("der Client endete mit Status %1").arg(exitCode)
                  : QStringLiteral("the client ended with status %1").arg(exitCode);
}
