#pragma once

#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

#include "run/TaskRun.h"
#include "run/Transport.h"

class BackupRun;
class LanguageTexts;
class ProtocolLog;
class Retriever;
class RunEvents;

// The run of a task with several databases (or "*", listed on the host
// first): one BackupRun per database, one after the other, each into a
// stored file of its own with its own checks, retention and test restore.
// A failed database fails the task's run, but the others are still dumped,
// and no database's failure touches another's files.
class DatabaseSeries final : public TaskRun {
    Q_OBJECT
public:
    DatabaseSeries(const BackupTask &task, TransportFactory transports, Retriever &retriever, ProtocolLog &log,
                   const LanguageTexts &texts, RunEvents &events, QObject *parent = nullptr);
    ~DatabaseSeries() override;

    const BackupTask &task() const override { return m_task; }
    bool isDownloadOnly() const override { return false; }
    void setTestRestore(const RestoreOptions &options) override { m_restoreOptions = options; }
    void start() override;
    void cancelSession() override;
    void abort() override;

private:
    // After the passwords are at hand: the listing, or the first database.
    void begin();
    void listed(const TransportResult &result);
    void next();
    void databaseDone(const RunOutcome &outcome);
    void conclude(bool ok, const QString &reason);

    BackupTask m_task;
    TransportFactory m_transports;
    Retriever &m_retriever;
    ProtocolLog &m_log;
    const LanguageTexts &m_texts;
    RunEvents &m_events;
    std::optional<RestoreOptions> m_restoreOptions;
    std::unique_ptr<Transport> m_lister;
    BackupRun *m_current = nullptr;
    QStringList m_names;
    int m_index = 0;
    QList<RunOutcome> m_outcomes;
    QDateTime m_started;
    bool m_stopped = false;  // cancelled or aborted: no further database starts
    bool m_done = false;
};
