#include "schedule/MetricsFile.h"

#include <QFile>
#include <optional>

#include "run/RunOutcome.h"
#include "storage/DurableFile.h"
#include "storage/StoredBackups.h"
#include "tasks/RecordTime.h"
#include "tasks/TaskStore.h"

namespace {
QByteArray label(const QString &task)
{
    QByteArray value = task.toUtf8();
    value.replace("\\", "\\\\").replace("\"", "\\\"").replace("\n", "\\n");
    return "{task=\"" + value + "\"}";
}
} // namespace

namespace MetricsFile {

QByteArray text(const QList<TaskMetrics> &tasks)
{
    QByteArray out;
    auto metric = [&](const char *name, const char *help, auto value) {
        out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " gauge\n";
        for (const TaskMetrics &t : tasks) {
            const std::optional<qint64> v = value(t);
            if (v)
                out += name + label(t.task) + ' ' + QByteArray::number(*v) + '\n';
        }
    };
    metric("vaultwick_last_success_timestamp_seconds", "When the task last stored a backup, in Unix time.",
           [](const TaskMetrics &t) {
               return t.lastSuccess.isValid() ? std::optional<qint64>(t.lastSuccess.toSecsSinceEpoch()) : std::nullopt;
           });
    metric("vaultwick_last_run_success", "1 when the task's last run stored a proven backup, else 0.",
           [](const TaskMetrics &t) { return t.ran ? std::optional<qint64>(t.lastRunSucceeded ? 1 : 0) : std::nullopt; });
    metric("vaultwick_last_backup_bytes", "Size of the task's newest stored backup in bytes.",
           [](const TaskMetrics &t) {
               return t.lastBackupBytes >= 0 ? std::optional<qint64>(t.lastBackupBytes) : std::nullopt;
           });
    return out;
}

QList<TaskMetrics> collect(const TaskStore &store, const RunOutcome *latest, const QDateTime &now)
{
    QList<TaskMetrics> all;
    for (const TaskListEntry &entry : store.ReadTaskList()) {
        TaskMetrics m;
        m.task = entry.name;
        m.lastSuccess = RecordTime::parse(entry.record.lastsuccess);
        m.ran = !entry.record.lastmessage.isEmpty();
        // Every failing Message, the test restore's warning too, starts so.
        m.lastRunSucceeded = m.ran && !entry.record.lastmessage.startsWith(QLatin1String("!!!"));
        if (latest && latest->taskName.compare(entry.name, Qt::CaseInsensitive) == 0) {
            m.ran = true;
            m.lastRunSucceeded = latest->proven();
            if (latest->success)
                m.lastSuccess = now;
        }
        try {
            const QList<StoredBackup> stored = StoredBackupsOf(store.LoadTask(entry.name));
            if (!stored.isEmpty())
                m.lastBackupBytes = stored.first().size;
        } catch (const std::exception &) {
            // An unreadable task still has its record.
        }
        all << m;
    }
    return all;
}

bool write(const QString &path, const QList<TaskMetrics> &tasks)
{
    if (!DurableFile::WriteWhole(path, text(tasks)))
        return false;
    QFile::setPermissions(path, DurableFile::PrivateFileMode | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return true;
}

} // namespace MetricsFile
