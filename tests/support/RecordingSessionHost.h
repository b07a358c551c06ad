#pragma once

#include <QHash>
#include <QList>
#include <QStringList>

#include "engine/SessionHost.h"

// Records what a run shows on the window.
class RecordingSessionHost final : public SessionHost {
public:
    void setSessionProgress(int position) override { progress.append(position); }
    void setNegotiationText(const QString &text) override { negotiation.append(text); }
    void resetStatusCaption() override { ++captionResets; }
    bool isApplicationMinimized() const override { return minimized; }
    void restoreFromTray() override
    {
        ++restores;
        minimized = false;
    }
    void minimizeToTray() override
    {
        ++minimizes;
        minimized = true;
    }
    void setTaskMessage(const QString &taskName, const QString &text) override
    {
        messages.insert(taskName, text);
    }

    QList<int> progress;
    QStringList negotiation;
    QHash<QString, QString> messages;
    int captionResets = 0;
    int restores = 0;
    int minimizes = 0;
    bool minimized = false;
};
