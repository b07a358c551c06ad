#include "retrieval/WindowThreadRelay.h"

#include <memory>

#include <QEventLoop>
#include <QThread>

WindowThreadRelay::WindowThreadRelay() = default;

void WindowThreadRelay::post(std::function<void()> fn)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.push_back(std::move(fn));
    // One wake-up per batch: a fast transfer must not flood the event queue.
    if (!m_wakeQueued) {
        m_wakeQueued = true;
        QMetaObject::invokeMethod(&m_context, [this] { deliver(); }, Qt::QueuedConnection);
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

void WindowThreadRelay::run(std::function<void()> work)
{
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(std::move(work)));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec();
    // Normally done already; after an application-wide quit the loop may
    // have ended early, and the transfer's own time limits end it.
    thread->wait();
    deliver();
}
