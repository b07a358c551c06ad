#include "retrieval/WindowThreadRelay.h"

#include <QThread>

WindowThreadRelay::WindowThreadRelay(QObject *parent) : QObject(parent) {}

WindowThreadRelay::~WindowThreadRelay()
{
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

void WindowThreadRelay::post(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back(std::move(fn));
    // One wake-up per batch: a fast transfer must not flood the event queue.
    if (!m_wakeQueued) {
        m_wakeQueued = true;
        QMetaObject::invokeMethod(this, [this] { deliver(); }, Qt::QueuedConnection);
    }
}

void WindowThreadRelay::deliver()
{
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        batch.swap(m_pending);
        m_wakeQueued = false;
    }
    for (auto &fn : batch)
        fn();
}

bool WindowThreadRelay::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}

void WindowThreadRelay::start(std::function<void()> work, std::function<void()> finished)
{
    m_finished = std::move(finished);
    m_thread = QThread::create(std::move(work));
    connect(m_thread, &QThread::finished, this, [this] {
        deliver();
        auto done = std::move(m_finished);
        m_finished = nullptr;
        if (done)
            done();
    }, Qt::QueuedConnection);
    m_thread->start();
}
