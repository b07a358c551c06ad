#include "cli/HeadlessRun.h"

#include <limits>

#include "engine/Clock.h"
#include "retrieval/DownloadDispatcher.h"
#include "run/RunQueue.h"
#include "run/SshExec.h"
#include "telnet/TelnetClient.h"

HeadlessRun::HeadlessRun(const LanguageTexts &texts, HeadlessOptions options, LineSink lines, QObject *parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_lines(std::move(lines)),
      m_log(texts, m_options.clock ? *m_options.clock : Clock::system())
{
    const Clock &clock = m_options.clock ? *m_options.clock : Clock::system();
    m_log.setView(this);
    m_telnet = new TTelnetClient(this);
    m_telnet->setRemotePort(m_options.telnetPort);
    m_telnet->FirewallPort = 80;
    m_retriever = std::make_unique<DownloadDispatcher>(m_log, texts, *this, clock, m_options.retrieval);
    // Each run gets the transport its task asks for, as in the window.
    m_queue = std::make_unique<RunQueue>(
        [this, &texts, &clock](const BackupTask &task) -> std::unique_ptr<Transport> {
            if (task.usesSsh())
                return std::make_unique<SshExec>(texts, clock, m_options.ssh);
            return std::make_unique<TelnetDialogue>(*m_telnet, texts, m_options.pacing);
        },
        m_log, texts, *this, *m_retriever);
    connect(m_queue.get(), &RunQueue::runFinished, this,
            [this](const RunOutcome &outcome) { emit finished(outcome, m_message); });
}

HeadlessRun::~HeadlessRun()
{
    m_queue.reset();
}

int HeadlessRun::runLimitMs(const HeadlessOptions &options)
{
    const qint64 ms = qint64(options.pacing.connectWaitMs) + options.pacing.loginLimitMs + options.pacing.dumpLimitMs
                      + options.pacing.exitCloseMs + qint64(options.retrieval.connectTimeoutMs)
                      + options.retrieval.acceptTimeoutMs;
    return int(qMin<qint64>(ms, std::numeric_limits<int>::max()));
}

void HeadlessRun::start(const BackupTask &task)
{
    m_message.clear();
    m_queue->RequestRun(task);
}

void HeadlessRun::abort()
{
    m_queue->abortAll();
}

void HeadlessRun::appendProtocolLine(const QString &line)
{
    m_lines(line);
}

void HeadlessRun::setTaskMessage(const QString &, const QString &text)
{
    m_message = text;
}

void HeadlessRun::showRetrievalError(int, const QString &text)
{
    // The dialog's text belongs in the protocol here: nobody is there to see a box.
    m_log.AddStatus(text);
}
