#include "retrieval/ProgressMailbox.h"

#include <QTimer>

#include "engine/RunEvents.h"

ProgressMailbox::ProgressMailbox(RunEvents &events, int intervalMs)
    : m_events(events), m_intervalMs(intervalMs < 0 ? 0 : intervalMs)
{
}

void ProgressMailbox::setBar(int position, int maximum)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bar = {position, maximum};
    m_barWaiting = true;
    wakeLocked();
}

void ProgressMailbox::setFtpStep(const FtpProgressStep &step)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bar = {step.percent, 100};
    m_step = step;
    m_barWaiting = m_stepWaiting = true;
    wakeLocked();
}

void ProgressMailbox::wakeLocked()
{
    // One wake-up in flight at a time: the transfer never floods the window
    // thread's queue, whatever its block rate.
    if (m_wakeQueued)
        return;
    m_wakeQueued = true;
    QMetaObject::invokeMethod(&m_context, [this] { onWake(); }, Qt::QueuedConnection);
}

void ProgressMailbox::onWake()
{
    const qint64 since = m_sinceShown.isValid() ? m_sinceShown.elapsed() : m_intervalMs;
    if (since >= m_intervalMs)
        show();
    else
        QTimer::singleShot(int(m_intervalMs - since), &m_context, [this] { show(); });
}

void ProgressMailbox::flush()
{
    show();
}

void ProgressMailbox::show()
{
    BarValues bar;
    FtpProgressStep step;
    bool showBar, showStep;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bar = m_bar;
        step = m_step;
        showBar = m_barWaiting;
        showStep = m_stepWaiting;
        m_barWaiting = m_stepWaiting = m_wakeQueued = false;
    }
    if (!showBar && !showStep)
        return;
    m_sinceShown.restart();
    if (showBar)
        emit m_events.downloadProgress(bar.position, bar.maximum);
    // The caption is formatted only when it is shown.
    if (showStep)
        emit m_events.statusCaption(step.caption());
}
