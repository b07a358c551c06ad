#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "ssh/SshDumpTypes.h"

class DumpSink;
class QThread;

// Runs one SshDumpJob on a worker thread of its own and reports its steps as
// signals in the thread of this object (queued). Deleting the runner, or
// cancel(), breaks the job off; a deleted runner's late results are dropped.
class SshJobRunner : public QObject {
    Q_OBJECT
public:
    explicit SshJobRunner(QObject *parent = nullptr);
    // Cancels a running job and gives it a moment to end, so that nothing of
    // it is left running while the program exits.
    ~SshJobRunner() override;

    // false while a job still runs. The sink is used on the worker thread
    // until finished() arrives.
    bool start(const SshDumpRequest &request, std::shared_ptr<DumpSink> sink);
    void cancel();
    bool isRunning() const { return static_cast<bool>(m_state); }

signals:
    void connected();
    void hostKeyVerified(const QString &fingerprint);
    void authenticated(SshAuthMethod method, const QString &keyName);
    void commandStarted();
    void received(qint64 total);  // at most about ten a second
    void sent(qint64 total);      // of the request's input stream, as often
    void finished(const SshDumpResult &result);

private:
    struct State;
    std::shared_ptr<State> m_state;
    QPointer<QThread> m_thread;
};
