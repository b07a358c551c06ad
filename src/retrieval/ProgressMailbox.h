#pragma once

#include <mutex>

#include <QElapsedTimer>
#include <QObject>

#include "retrieval/TransferProgress.h"

class RunEvents;

// Carries a transfer's progress display from its thread to the window. The
// transfer leaves only its latest state here (a 512 MiB file has 131 072
// blocks, far more than a screen can show); the window thread shows it at
// most once per interval, and flush() shows the last state at the end, so
// the final bar and caption are always exactly the transfer's last.
class ProgressMailbox {
public:
    // Made on the window thread, which shows the states through events.
    ProgressMailbox(RunEvents &events, int intervalMs);

    // Any thread.
    void setBar(int position, int maximum);
    // The bar at the step's percentage of 100 and the step as the caption.
    void setFtpStep(const FtpProgressStep &step);

    // Window thread: shows what is waiting now. Call it after the transfer
    // has ended.
    void flush();

private:
    void wakeLocked();  // m_mutex held
    void onWake();
    void show();

    RunEvents &m_events;
    const int m_intervalMs;
    QElapsedTimer m_sinceShown;  // window thread only

    std::mutex m_mutex;
    BarValues m_bar;
    FtpProgressStep m_step;
    bool m_barWaiting = false;
    bool m_stepWaiting = false;
    bool m_wakeQueued = false;

    // Last, so pending wake-ups are dropped before the rest goes away.
    QObject m_context;
};
