#pragma once

#include <QHash>
#include <QList>
#include <QStringList>
#include <QThread>

#include "engine/RunEvents.h"
#include "run/RunOutcome.h"

// Records what runs report, as the window would show it, and notes any
// report that does not come on the thread that made it (the window thread).
class RecordingRunEvents final : public RunEvents {
public:
    struct Bar {
        int position;
        int maximum;
        bool operator==(const Bar &) const = default;
    };

    RecordingRunEvents()
    {
        connect(this, &RunEvents::sessionProgress, this, [this](int p) { note(), progress.append(p); });
        connect(this, &RunEvents::negotiationText, this, [this](const QString &t) { note(), negotiation.append(t); });
        connect(this, &RunEvents::statusCaptionReset, this, [this] { note(), ++captionResets; });
        // As the window does: out of the tray for the session, back after.
        connect(this, &RunEvents::sessionStarting, this, [this] {
            note();
            wasMinimized = minimized;
            ++restores;
            minimized = false;
        });
        connect(this, &RunEvents::sessionEnded, this, [this] {
            note();
            if (wasMinimized) {
                ++minimizes;
                minimized = true;
            }
        });
        connect(this, &RunEvents::downloadProgress, this, [this](int p, int m) { note(), bars.append({p, m}); });
        connect(this, &RunEvents::statusCaption, this, [this](const QString &c) { note(), captions.append(c); });
        connect(this, &RunEvents::retrievalError, this, [this](RetrievalError kind, const QString &text) {
            note();
            // Numbered as the dialogs are: 1 session, 2 host, 3 directory, 4 file.
            errorKinds.append(int(kind) + 1);
            errors.append(text);
        });
    }
    // The Message text of each outcome, by task.
    void noteOutcome(const RunOutcome &outcome) { messages.insert(outcome.taskName, outcome.message); }
    void clear()
    {
        bars.clear();
        captions.clear();
        errors.clear();
        errorKinds.clear();
    }

    QList<int> progress;
    QStringList negotiation;
    QHash<QString, QString> messages;
    int captionResets = 0;
    int restores = 0;
    int minimizes = 0;
    bool minimized = false;
    QList<Bar> bars;
    QStringList captions;
    QStringList errors;
    QList<int> errorKinds;
    bool calledFromOtherThread = false;

private:
    void note()
    {
        if (QThread::currentThread() != m_thread)
            calledFromOtherThread = true;
    }
    QThread *m_thread = QThread::currentThread();
    bool wasMinimized = false;
};
