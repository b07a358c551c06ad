#include "engine/DumpSession.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "engine/ProtocolLog.h"
#include "engine/SessionHost.h"
#include "engine/ShellQuote.h"
#include "engine/Clock.h"
#include "retrieval/Retriever.h"
#include "shell/LanguageTexts.h"
#include "telnet/TelnetClient.h"

namespace {
const QString kMask = QStringLiteral("********");

void processPending()
{
    QCoreApplication::processEvents();
}
}

DumpSession::DumpSession(TTelnetClient &client, ProtocolLog &log, const LanguageTexts &texts,
                         SessionHost &host, Retriever &retriever, SessionPacing pacing,
                         QObject *parent)
    : QObject(parent), m_client(client), m_log(log), m_texts(texts), m_host(host),
      m_retriever(retriever), m_pacing(pacing)
{
    m_watchdog.setSingleShot(true);
    m_watchdog.setTimerType(Qt::CoarseTimer);
    connect(&m_watchdog, &QTimer::timeout, this, &DumpSession::watchdogFired);

    connect(&m_client, &TTelnetClient::OnConnected, this, &DumpSession::Telnet1Connected);
    connect(&m_client, &TTelnetClient::OnReadyToSend, this, &DumpSession::Telnet1ReadyToSend);
    connect(&m_client, &TTelnetClient::OnDataIn, this, &DumpSession::Telnet1DataIn);
    connect(&m_client, &TTelnetClient::OnDisconnected, this, &DumpSession::Telnet1Disconnected);
    connect(&m_client, &TTelnetClient::OnDo, this, &DumpSession::Telnet1Do);
    connect(&m_client, &TTelnetClient::OnDont, this, &DumpSession::Telnet1Dont);
    connect(&m_client, &TTelnetClient::OnWill, this, &DumpSession::Telnet1Will);
    connect(&m_client, &TTelnetClient::OnWont, this, &DumpSession::Telnet1Wont);
    connect(&m_client, &TTelnetClient::OnCommand, this, &DumpSession::Telnet1Command);
    connect(&m_client, &TTelnetClient::OnSubOption, this, &DumpSession::Telnet1SubOption);
}

DumpSession::~DumpSession()
{
    if (m_connectLoop)
        m_connectLoop->quit();
}

QStringList DumpSession::queuedTaskNames() const
{
    QStringList names;
    for (const BackupTask &t : m_queue)
        names.append(t.name);
    return names;
}

bool DumpSession::RequestRun(const BackupTask &task)
{
    if (isBusy()) {
        if (m_task.name.compare(task.name, Qt::CaseInsensitive) == 0)
            return false;
        for (const BackupTask &q : m_queue) {
            if (q.name.compare(task.name, Qt::CaseInsensitive) == 0)
                return false;
        }
        m_queue.append(task);
        return true;
    }
    m_task = task;
    StartBackup();
    return true;
}

void DumpSession::startNextQueued()
{
    if (isBusy() || m_queue.isEmpty())
        return;
    m_task = m_queue.takeFirst();
    StartBackup();
}

QString DumpSession::BuildDumpCommand(const BackupTask &task, bool masked)
{
    QString cmd = QStringLiteral("mysqldump -h ") + ShellQuote(task.mysql);
    if (!task.dbuser.isEmpty())
        cmd += QStringLiteral(" --user=") + ShellQuote(task.dbuser);
    cmd += QStringLiteral(" --password=") + (masked ? kMask : ShellQuote(task.dbpw));
    cmd += QLatin1Char(' ') + ShellQuote(task.database);
    cmd += QStringLiteral(" > ") + ShellQuotePath(task.remotedir + task.backupfile);
    return cmd;
}

void DumpSession::StartBackup()
{
    const quint64 runId = ++m_runId;
    m_state = State::Connecting;
    emit runStarted(m_task.name);

    m_runStart = m_log.clock().now();
    wasMinimized = m_host.isApplicationMinimized();
    m_host.restoreFromTray();
    dumpSent = false;
    exitSent = false;
    hostPassword = m_task.hostpw;
    dumpCommand = BuildDumpCommand(m_task);
    m_host.setSessionProgress(10);

    const int result = ConnectHost(m_task.host);
    if (!stillRunning(runId))
        return;  // the whole session already ended inside the wait
    switch (result) {
    case 0:
        m_log.AddStatus(QStringLiteral("Unknown host - no connection"));
        break;
    case 1:
        m_log.AddStatus(QStringLiteral("Connection established"));
        break;
    case 2:
        m_log.AddStatus(QStringLiteral("No connection established"));
        break;
    default:
        m_log.AddStatus(QStringLiteral("No connection, Error: ") + connectError);
        break;
    }
    connectError.clear();
    m_host.setSessionProgress(25);
    processPending();
    if (!stillRunning(runId))
        return;

    if (result != 1) {
        // No session: do not leave a late connection to run a dialogue for a
        // run that has already been reported, and let the next run start.
        m_state = State::Idle;  // a late disconnection is not this run's end
        if (result != 0)
            m_client.setConnected(false);
        reportFailure(m_task.name);
        m_host.setSessionProgress(0);
        if (wasMinimized)
            m_host.minimizeToTray();
        finishRun(false);
    }
}

int DumpSession::ConnectHost(const QString &host)
{
    if (host.isEmpty())
        return 0;
    try {
        m_client.setConnected(false);
        m_client.setRemoteHost(host);
        m_client.setConnected(true);

        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        deadline.setTimerType(Qt::PreciseTimer);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        // A connect that succeeds or fails ends the wait at once.
        connect(&m_client, &TTelnetClient::OnConnected, &loop, &QEventLoop::quit);
        connect(&m_client, &TTelnetClient::OnDisconnected, &loop, &QEventLoop::quit);
        m_connectLoop = &loop;
        if (!m_client.Connected()) {
            deadline.start(m_pacing.connectWaitMs);
            loop.exec();
        }
        m_connectLoop = nullptr;

        if (m_client.hasPendingError())
            throw m_client.takePendingError();
        const int result = m_client.Connected() ? 1 : 2;
        processPending();
        return result;
    } catch (const ETelnetClientError &e) {
        m_connectLoop = nullptr;
        connectError = e.message();
        return 3;
    }
}

bool DumpSession::Pause(int ms)
{
    const quint64 runId = m_runId;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
    return stillRunning(runId);
}

void DumpSession::sendBytes(const QByteArray &bytes)
{
    if (m_client.Connected())
        m_client.Send(bytes);
}

void DumpSession::SendLine(const QString &text, const QString &logText)
{
    const quint64 runId = m_runId;
    m_log.AddSent(logText);
    if (!Pause(m_pacing.lineDelayMs))
        return;
    if (text.size() <= 12) {
        sendBytes(text.toUtf8() + '\n');
    } else {
        // Slow hosts drop characters typed faster than their shell reads.
        for (int i = 0; i < text.size(); ++i) {
            int len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
            sendBytes(text.mid(i, len).toUtf8());
            i += len - 1;
            if (!Pause(m_pacing.charDelayMs))
                return;
        }
        if (m_client.Connected())
            m_client.setDataToSend(QByteArray("\n"));
        processPending();
    }
    if (stillRunning(runId))
        processPending();
}

QString DumpSession::PromptLine(const QByteArray &chunk)
{
    QByteArray text = chunk;
    const int nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);
    // A final line break closes the last line; it does not start an empty one.
    if (text.endsWith("\r\n"))
        text.chop(2);
    else if (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    qsizetype start = 0;
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        if (text.at(i) == '\n' || text.at(i) == '\r') {
            start = i + 1;
            break;
        }
    }
    QByteArray last = text.mid(start, 4096);
    for (char &c : last) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return QString::fromLatin1(last);
}

void DumpSession::Telnet1Connected(int statusCode, const QString &description)
{
    if (m_state == State::Idle)
        return;
    if (statusCode != 0) {
        m_log.AddStatus(QStringLiteral("Connection failed: ") + description);
        return;
    }
    m_log.AddStatus(QStringLiteral("Connected: ") + description);
    m_state = State::Session;
    m_loginPhase = true;
    m_watchdog.start(m_pacing.loginLimitMs);
}

void DumpSession::Telnet1ReadyToSend()
{
    if (m_state != State::Session)
        return;
    SendLine(m_task.hostuser);
}

void DumpSession::Telnet1DataIn(const QByteArray &text)
{
    if (m_state != State::Session)
        return;
    const QString line = PromptLine(text);
    if (line == QLatin1String("password:")) {
        m_host.setSessionProgress(35);
        m_log.AddStatus(m_texts.SendPassword);
        SendLine(hostPassword, kMask);
        processPending();
        return;
    }
    QString prompt = m_task.host;
    for (QChar &c : prompt) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() - 'A' + 'a');
    }
    prompt += QStringLiteral("> ");
    if (line != prompt)
        return;
    if (dumpSent) {
        m_host.setSessionProgress(60);
        exitSent = true;
        m_log.AddStatus(m_texts.FinishingSession);
        SendLine(QStringLiteral("exit"));
        processPending();
        return;
    }
    m_host.setSessionProgress(40);
    dumpSent = true;
    m_loginPhase = false;
    m_watchdog.start(m_pacing.dumpLimitMs);
    m_log.AddStatus(m_texts.SendDumpCommand);
    SendLine(dumpCommand, BuildDumpCommand(m_task, true));
    processPending();
}

void DumpSession::Telnet1Disconnected(int, const QString &description)
{
    if (m_state != State::Session)
        return;
    m_watchdog.stop();
    m_log.AddStatus(QStringLiteral("Disconnected: ") + description);
    // Only a dump whose shell prompt came back is worth fetching; anything
    // else would store a stale or partial file as today's backup.
    const BackupTask task = m_task;
    bool ok = false;
    if (exitSent) {
        ok = m_retriever.RetrieveBackupFile(task, m_runStart);
        if (ok) {
            reportSuccess(task.name, task.backupfile);
        } else {
            m_log.AddStatus(QStringLiteral("FTP-") + m_texts.DownloadFailed);
            addFailureReason();
            reportFailure(task.name);
        }
    } else {
        m_log.AddStatus(m_texts.pick(QStringLiteral("Dump not completed - no download"),
                                     QStringLiteral("Dump nicht abgeschlossen - kein Download")));
        reportFailure(task.name);
    }
    m_host.setSessionProgress(0);
    m_host.resetStatusCaption();
    m_host.setNegotiationText(QString());
    processPending();
    if (wasMinimized)
        m_host.minimizeToTray();
    finishRun(ok);
}

void DumpSession::reportSuccess(const QString &taskName, const QString &backupfile)
{
    m_log.AddStatus(backupfile + m_texts.SavedSuffix);
    m_host.setTaskMessage(taskName, m_texts.SuccessfulOn + m_log.Timestamp());
}

void DumpSession::reportFailure(const QString &taskName)
{
    m_host.setTaskMessage(taskName, m_texts.NotSuccessfulOn + m_log.Timestamp());
}

void DumpSession::addFailureReason()
{
    const QString reason = m_retriever.FailureReason();
    if (!reason.isEmpty())
        m_log.AddStatus(reason);
}

void DumpSession::finishRun(bool success)
{
    const QString name = m_task.name;
    m_state = State::Idle;
    m_watchdog.stop();
    emit runFinished(name, success);
    if (!m_queue.isEmpty())
        QTimer::singleShot(0, this, &DumpSession::startNextQueued);
}

QString DumpSession::limitText(int ms) const
{
    if (ms >= 3600000 && ms % 3600000 == 0)
        return QString::number(ms / 3600000) + QStringLiteral(" h");
    return QString::number(ms / 1000.0, 'g', 6) + QStringLiteral(" s");
}

void DumpSession::watchdogFired()
{
    if (m_state != State::Session)
        return;
    if (m_loginPhase) {
        m_log.AddStatus(m_texts.pick(
            QStringLiteral("Session cancelled: no dump command sent within %1").arg(limitText(m_pacing.loginLimitMs)),
            QStringLiteral("Sitzung abgebrochen: kein dump-command innerhalb von %1 gesendet")
                .arg(limitText(m_pacing.loginLimitMs))));
    } else {
        m_log.AddStatus(m_texts.pick(
            QStringLiteral("Session cancelled: dump not finished within %1").arg(limitText(m_pacing.dumpLimitMs)),
            QStringLiteral("Sitzung abgebrochen: Dump nicht innerhalb von %1 beendet")
                .arg(limitText(m_pacing.dumpLimitMs))));
    }
    m_client.Disconnect();
}

void DumpSession::CancelTelnetsession()
{
    if (m_state == State::Connecting && m_connectLoop)
        m_connectLoop->quit();
    if (m_state == State::Session)
        m_log.AddStatus(m_texts.pick(QStringLiteral("Telnet-Session cancelled by the user"),
                                     QStringLiteral("Telnet-Session vom Benutzer abgebrochen")));
    m_client.Disconnect();
}

bool DumpSession::ManualDownload(const BackupTask &task)
{
    const bool ok = m_retriever.RetrieveBackupFile(task);
    if (ok) {
        reportSuccess(task.name, task.backupfile);
    } else {
        m_log.AddStatus(m_texts.DownloadFailed);
        addFailureReason();
        reportFailure(task.name);
    }
    return ok;
}

void DumpSession::Telnet1Do(int option)
{
    m_host.setNegotiationText(QStringLiteral("Telnet Server: DO Option") + QString::number(option));
    m_client.SendWont(option);
    m_host.setNegotiationText(QStringLiteral("Client: WONT Option") + QString::number(option));
    processPending();
}

void DumpSession::Telnet1Dont(int option)
{
    m_host.setNegotiationText(QStringLiteral("Telnet Server: DONT Option") + QString::number(option));
}

void DumpSession::Telnet1Will(int option)
{
    m_host.setNegotiationText(QStringLiteral("Telnet Server: WILL Option") + QString::number(option));
}

void DumpSession::Telnet1Wont(int option)
{
    m_host.setNegotiationText(QStringLiteral("Telnet Server: WONT Option") + QString::number(option));
}

void DumpSession::Telnet1Command(int command)
{
    m_host.setNegotiationText(QStringLiteral("Telnet Server: COMMAND ") + QString::number(command));
}

void DumpSession::Telnet1SubOption(const QByteArray &)
{
    m_client.SendSubOption(QByteArray("\x18\x00vt100", 7));
}
