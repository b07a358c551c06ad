#include "run/RunQueue.h"

#include <QTimer>

#include "run/BackupRun.h"
#include "run/DatabaseSeries.h"
#include "tasks/DatabaseList.h"

RunQueue::RunQueue(TransportFactory transports, ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
                   Retriever &retriever, QObject *parent)
    : QObject(parent), m_transports(std::move(transports)), m_log(log), m_texts(texts), m_events(events),
      m_retriever(retriever)
{
    qRegisterMetaType<RunOutcome>();
    qRegisterMetaType<TransportResult>();
}

RunQueue::RunQueue(TTelnetClient &client, ProtocolLog &log, const LanguageTexts &texts, RunEvents &events,
                   Retriever &retriever, SessionPacing pacing, QObject *parent)
    : RunQueue([&client, &texts, pacing](const BackupTask &) -> std::unique_ptr<Transport> {
                   return std::make_unique<TelnetDialogue>(client, texts, pacing);
               },
               log, texts, events, retriever, parent)
{
}

RunQueue::~RunQueue()
{
    m_queue.clear();
    delete m_current;
}

QString RunQueue::runningTaskName() const
{
    return m_current ? m_current->task().name : QString();
}

QStringList RunQueue::queuedTaskNames() const
{
    QStringList names;
    for (const Request &r : m_queue)
        names.append(r.task.name);
    return names;
}

bool RunQueue::RequestRun(const BackupTask &task)
{
    return enqueue(task, false);
}

bool RunQueue::RequestDownload(const BackupTask &task)
{
    return enqueue(task, true);
}

bool RunQueue::enqueue(const BackupTask &task, bool downloadOnly)
{
    auto same = [&](const BackupTask &t, bool d) {
        return d == downloadOnly && t.name.compare(task.name, Qt::CaseInsensitive) == 0;
    };
    if (m_current && same(m_current->task(), m_current->isDownloadOnly()))
        return false;
    for (const Request &r : m_queue) {
        if (same(r.task, r.downloadOnly))
            return false;
    }
    m_queue.append({task, downloadOnly});
    if (!m_current)
        startNext();
    return true;
}

void RunQueue::startNext()
{
    if (m_current || m_queue.isEmpty())
        return;
    const Request next = m_queue.takeFirst();
    TaskRun *run = nullptr;
    if (!next.downloadOnly && DatabaseList::isSeveral(next.task.database))
        run = new DatabaseSeries(next.task, m_transports, m_retriever, m_log, m_texts, m_events, this);
    else
        run = new BackupRun(next.task, next.downloadOnly ? nullptr : m_transports(next.task), m_retriever, m_log,
                            m_texts, m_events, this);
    m_current = run;
    if (m_restore && next.task.testrestore)
        run->setTestRestore(m_restore());
    connect(run, &TaskRun::finished, this, [this, run](const RunOutcome &o) { runEnded(run, o); });
    emit runStarted(next.task.name);
    run->start();
}

void RunQueue::runEnded(TaskRun *run, const RunOutcome &outcome)
{
    if (m_current != run)
        return;
    m_current = nullptr;
    // The run may still be on the call stack that reported its end.
    run->deleteLater();
    emit runFinished(outcome);
    if (!m_queue.isEmpty())
        QTimer::singleShot(0, this, &RunQueue::startNext);
}

void RunQueue::CancelTelnetsession()
{
    if (m_current)
        m_current->cancelSession();
}

void RunQueue::abortAll()
{
    m_queue.clear();
    if (m_current)
        m_current->abort();
}
