#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include <QObject>

class QThread;

// Runs one blocking transfer on a thread of its own and brings what it has to
// show, and its end, back to the window thread as queued calls. The window
// thread never waits for it: the handler that starts it returns at once.
class WindowThreadRelay : public QObject {
    Q_OBJECT
public:
    explicit WindowThreadRelay(QObject *parent = nullptr);  // belongs to the window thread
    // Joins a transfer still running; its owner cancels it first, so this is short.
    ~WindowThreadRelay() override;

    // Any thread: run fn on the window thread soon, in the order posted.
    void post(std::function<void()> fn);
    // Window thread: runs work on another thread; finished runs on the window
    // thread after work has ended and everything it posted has run.
    void start(std::function<void()> work, std::function<void()> finished);
    bool isRunning() const;

private:
    void deliver();

    QThread *m_thread = nullptr;
    std::function<void()> m_finished;
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_pending;
    bool m_wakeQueued = false;
};
