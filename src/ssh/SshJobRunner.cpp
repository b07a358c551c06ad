#include "ssh/SshJobRunner.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <mutex>

#include "ssh/DumpSink.h"
#include "ssh/SshDumpJob.h"

// Shared by the runner and its worker thread; the worker holds it until the
// job has returned, whatever becomes of the runner.
struct SshJobRunner::State : SshDumpObserver {
    explicit State(const SshDumpRequest &request) : job(request) {}

    SshDumpJob job;
    std::shared_ptr<DumpSink> sink;
    std::mutex mutex;
    QPointer<SshJobRunner> runner;  // guarded by mutex: cleared by the runner's thread
    QElapsedTimer sinceReport;

    void detach()
    {
        std::lock_guard<std::mutex> lock(mutex);
        runner = nullptr;
    }

    // Runs fn in the runner's thread, unless the runner has gone by then.
    template<typename Fn>
    void post(Fn fn)
    {
        QPointer<SshJobRunner> target;
        {
            std::lock_guard<std::mutex> lock(mutex);
            target = runner;
        }
        if (!target)
            return;
        QMetaObject::invokeMethod(
            target.data(), [target, fn] { if (target) fn(target.data()); }, Qt::QueuedConnection);
    }

    void connected() override { post([](SshJobRunner *r) { emit r->connected(); }); }
    void hostKeyVerified(const QString &fp) override { post([fp](SshJobRunner *r) { emit r->hostKeyVerified(fp); }); }
    void authenticated(SshAuthMethod m, const QString &key) override
    {
        post([m, key](SshJobRunner *r) { emit r->authenticated(m, key); });
    }
    void commandStarted() override { post([](SshJobRunner *r) { emit r->commandStarted(); }); }
    void received(qint64 total) override
    {
        if (sinceReport.isValid() && sinceReport.elapsed() < 100)
            return;
        sinceReport.start();
        post([total](SshJobRunner *r) { emit r->received(total); });
    }
    void sent(qint64 total) override
    {
        if (sinceReport.isValid() && sinceReport.elapsed() < 100)
            return;
        sinceReport.start();
        post([total](SshJobRunner *r) { emit r->sent(total); });
    }
};

SshJobRunner::SshJobRunner(QObject *parent) : QObject(parent) {}

SshJobRunner::~SshJobRunner()
{
    cancel();
    // A cancelled job ends within a read slice, unless a name lookup holds it.
    if (m_thread && m_thread->isRunning())
        m_thread->wait(2000);
}

bool SshJobRunner::start(const SshDumpRequest &request, std::shared_ptr<DumpSink> sink)
{
    if (m_state)
        return false;
    auto state = std::make_shared<State>(request);
    state->sink = std::move(sink);
    state->runner = this;
    m_state = state;
    QThread *thread = QThread::create([state] {
        const SshDumpResult result = state->job.run(*state->sink, state.get());
        state->post([result, state](SshJobRunner *r) {
            if (r->m_state != state)
                return;  // a cancelled job of an earlier start
            r->m_state.reset();
            emit r->finished(result);
        });
    });
    thread->setObjectName(QStringLiteral("SSH job"));
    m_thread = thread;
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
    return true;
}

void SshJobRunner::cancel()
{
    if (m_state) {
        m_state->job.cancel();
        m_state->detach();
    }
    m_state.reset();
}
