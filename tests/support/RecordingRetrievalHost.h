#pragma once

#include <QList>
#include <QStringList>
#include <QThread>

#include "retrieval/RetrievalHost.h"

// Keeps what retrieval shows, and notes any call that does not come from the
// thread that made the host (the window thread).
class RecordingRetrievalHost final : public RetrievalHost {
public:
    struct Bar {
        int position;
        int maximum;
        bool operator==(const Bar &) const = default;
    };

    void setDownloadProgress(int position, int maximum) override
    {
        noteThread();
        bars.append({position, maximum});
    }
    void setStatusCaption(const QString &caption) override
    {
        noteThread();
        captions.append(caption);
    }
    void showRetrievalError(int kind, const QString &text) override
    {
        noteThread();
        errorKinds.append(kind);
        errors.append(text);
    }
    void clear()
    {
        bars.clear();
        captions.clear();
        errors.clear();
        errorKinds.clear();
    }

    QList<Bar> bars;
    QStringList captions;
    QStringList errors;
    QList<int> errorKinds;
    bool calledFromOtherThread = false;

private:
    void noteThread()
    {
        if (QThread::currentThread() != m_thread)
            calledFromOtherThread = true;
    }
    QThread *m_thread = QThread::currentThread();
};
