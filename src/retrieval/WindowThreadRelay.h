#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <QObject>

// Runs a blocking transfer on a thread of its own while the window thread
// waits in a local event loop, so the window stays responsive. The transfer
// thread posts what it has to show; the window thread runs those closures in
// the order they were posted.
class WindowThreadRelay {
public:
    WindowThreadRelay();  // belongs to the calling (window) thread

    // Any thread: run fn on the window thread soon.
    void post(std::function<void()> fn);
    // Window thread: runs work on another thread and returns when it has
    // ended and everything it posted has run.
    void run(std::function<void()> work);

private:
    void deliver();

    QObject m_context;
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_pending;
    bool m_wakeQueued = false;
};
