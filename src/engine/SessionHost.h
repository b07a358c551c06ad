#pragma once

#include <QString>

// What a backup run shows on, and asks of, the main window.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    // ProgressBar2, range 0 to 100.
    virtual void setSessionProgress(int position) = 0;
    // Second panel of the status bar: telnet negotiation.
    virtual void setNegotiationText(const QString &text) = 0;
    // GroupBox1 back to "Status && Log" after a run.
    virtual void resetStatusCaption() = 0;
    virtual bool isApplicationMinimized() const = 0;
    virtual void restoreFromTray() = 0;
    virtual void minimizeToTray() = 0;
    // Message column of the task's row, found by name; nothing if it has gone.
    virtual void setTaskMessage(const QString &taskName, const QString &text) = 0;
};
