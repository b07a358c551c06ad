#pragma once

#include <QEventLoop>
#include <QTimer>
#include <functional>

// Runs the event loop until condition holds or ms pass. Unlike QTest::qWait,
// it does not sleep between rounds, so short timers keep their pace.
inline bool SpinUntil(const std::function<bool()> &condition, int ms)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(2);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return condition();
}

// Lets events already on their way arrive. Only for showing that something
// does NOT happen, so it stays short.
inline void Settle(int ms = 50)
{
    SpinUntil([] { return false; }, ms);
}
