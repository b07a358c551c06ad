#include "offsite/ToolProcess.h"

#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

#include "offsite/OffsiteTexts.h"
#include "storage/StoredDumpReader.h"

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

namespace {
constexpr qsizetype OutputKept = 4 * 1024 * 1024;
constexpr qsizetype ErrorKept = 256 * 1024;
constexpr qint64 PipeAhead = 1024 * 1024;
constexpr int KillAfterMs = 5000;
}

ToolProcess::ToolProcess(const QString &program, bool german, QObject *parent)
    : QObject(parent), m_program(program), m_german(german)
{
}

ToolProcess::~ToolProcess()
{
    stopNow();
}

void ToolProcess::run(const QStringList &arguments, std::function<void(const ToolResult &)> done)
{
    m_reader.reset();
    m_done = std::move(done);
    launch(arguments);
}

void ToolProcess::runFeeding(const QStringList &arguments, const QString &storedFile,
                             std::function<void(const ToolResult &)> done)
{
    m_done = std::move(done);
    m_reader = std::make_unique<StoredDumpReader>();
    if (!m_reader->open(storedFile)) {
        const QString why = m_reader->errorString();
        m_reader.reset();
        QTimer::singleShot(0, this, [this, why] { failWith(why); });
        return;
    }
    launch(arguments);
}

void ToolProcess::launch(const QStringList &arguments)
{
    m_stderr.clear();
    m_stderrPartial.clear();
    m_stdoutPartial.clear();
    m_result = ToolResult();
    m_feedFailure.clear();
    m_fed = 0;
    m_inputClosed = false;
    if (m_process)
        m_process.release()->deleteLater();
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : std::as_const(m_removed))
        env.remove(name);
    m_process->setProcessEnvironment(env);
    if (!m_outputFile.isEmpty())
        m_process->setStandardOutputFile(m_outputFile, QIODevice::Truncate);
    if (!m_reader)
        m_process->setStandardInputFile(QProcess::nullDevice());
    QProcess *p = m_process.get();
    connect(p, &QProcess::readyReadStandardError, this, &ToolProcess::readError);
    connect(p, &QProcess::readyReadStandardOutput, this, &ToolProcess::readOutput);
    connect(p, &QProcess::bytesWritten, this, &ToolProcess::feed);
    connect(p, &QProcess::finished, this, &ToolProcess::ended);
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            failWith(m_program + QStringLiteral(": ") + p->errorString());
    });
    p->start(m_program, m_common + arguments);
    if (m_reader)
        feed();
}

void ToolProcess::readError()
{
    if (!m_process)
        return;
    const QByteArray more = m_process->readAllStandardError();
    if (m_stderr.size() < ErrorKept)
        m_stderr += more.left(ErrorKept - m_stderr.size());
    m_stderrPartial += more;
    qsizetype end;
    // rclone's one-line statistics end in a carriage return on a terminal, a newline here.
    while ((end = m_stderrPartial.indexOf('\n')) >= 0) {
        const QString text = QString::fromUtf8(m_stderrPartial.left(end)).trimmed();
        m_stderrPartial.remove(0, end + 1);
        if (!text.isEmpty())
            emit line(text);
    }
}

void ToolProcess::readOutput()
{
    if (!m_process)
        return;
    const QByteArray more = m_process->readAllStandardOutput();
    if (m_result.output.size() < OutputKept)
        m_result.output += more.left(OutputKept - m_result.output.size());
    m_stdoutPartial += more;
    qsizetype end;
    while ((end = m_stdoutPartial.indexOf('\n')) >= 0) {
        const QByteArray text = m_stdoutPartial.left(end).trimmed();
        m_stdoutPartial.remove(0, end + 1);
        if (!text.isEmpty())
            emit outputLine(text);
    }
    // A line that never ends must not grow without bound.
    if (m_stdoutPartial.size() > OutputKept)
        m_stdoutPartial.clear();
}

void ToolProcess::feed()
{
    if (!m_reader || !m_process || m_inputClosed || !m_feedFailure.isEmpty())
        return;
    while (m_process->bytesToWrite() < PipeAhead) {
        if (m_reader->atEnd()) {
            m_process->closeWriteChannel();
            m_inputClosed = true;
            break;
        }
        const QByteArray chunk = m_reader->read();
        if (m_reader->failed()) {
            // Never close the input on a short read: the tool would keep it.
            m_feedFailure = m_reader->errorString();
            m_process->kill();
            return;
        }
        m_process->write(chunk);
        m_fed += chunk.size();
    }
    const qint64 size = m_reader->fileSize();
    emit fed(m_fed, size > 0 ? int(1000 * m_reader->filePosition() / size) : 1000);
}

void ToolProcess::ended(int exitCode, QProcess::ExitStatus status)
{
    readError();
    readOutput();
    if (!m_done)
        return;
    m_result.exitCode = exitCode;
    m_result.crashed = status != QProcess::NormalExit;
    m_result.lastError = lastErrorLine(m_stderr + m_stderrPartial);
    if (!m_feedFailure.isEmpty()) {
        m_result.crashed = true;
        m_result.lastError = m_feedFailure;
    } else if (m_reader && !m_inputClosed && m_result.exitCode == 0) {
        // Ended well before it had the whole dump: that is no whole copy.
        m_result.exitCode = -1;
        m_result.lastError = OffsiteTexts::endedEarly(m_program, m_german);
    }
    if (m_result.lastError.isEmpty() && !m_result.ok())
        m_result.lastError = OffsiteTexts::endedWith(m_program, exitCode, m_german);
    m_reader.reset();
    auto done = std::move(m_done);
    m_done = nullptr;
    done(m_result);
}

void ToolProcess::failWith(const QString &why)
{
    if (!m_done)
        return;
    ToolResult r;
    r.started = false;
    r.lastError = why;
    m_reader.reset();
    auto done = std::move(m_done);
    m_done = nullptr;
    done(r);
}

void ToolProcess::cancel()
{
    m_done = nullptr;
    m_reader.reset();
    if (!isRunning())
        return;
    QProcess *p = m_process.get();
#ifdef Q_OS_UNIX
    // restic removes its repository lock on an interrupt.
    ::kill(pid_t(p->processId()), SIGINT);
#else
    p->terminate();
#endif
    QTimer::singleShot(KillAfterMs, p, [p] { p->kill(); });
}

void ToolProcess::stopNow()
{
    m_done = nullptr;
    m_reader.reset();
    if (!isRunning())
        return;
#ifdef Q_OS_UNIX
    ::kill(pid_t(m_process->processId()), SIGINT);
    if (!m_process->waitForFinished(2000))
#endif
        m_process->kill();
    m_process->waitForFinished(2000);
}

QString ToolProcess::lastErrorLine(const QByteArray &standardError)
{
    // rclone starts each line with its date and time; restic says "Fatal:".
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "));
    QString last;
    QString lastError;
    for (const QByteArray &raw : standardError.split('\n')) {
        QString text = QString::fromUtf8(raw).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('{')))
            continue;
        text.remove(stamp);
        if (text.startsWith(QLatin1String("NOTICE:")) || text.startsWith(QLatin1String("INFO")))
            continue;
        last = text;
        if (text.contains(QLatin1String("ERROR")) || text.startsWith(QLatin1String("Fatal"))
            || text.startsWith(QLatin1String("Failed")))
            lastError = text;
    }
    return lastError.isEmpty() ? last : lastError;
}
