#include "schedule/TaskBoard.h"

#include <QHash>

#include "shell/LanguageTexts.h"
#include "storage/StreamCompressor.h"
#include "tasks/TargetPath.h"

QString TaskBoard::overwriteWarning(const LanguageTexts &texts)
{
    return WarningPrefix
        + texts.pick(QStringLiteral("This backup-file could overwrite a file of another task."),
                     QStringLiteral("Diese Backup-Datei könnte eine Datei eines anderen Tasks überschreiben."));
}

QString TaskBoard::unreadableWarning(const LanguageTexts &texts, const QString &key)
{
    return WarningPrefix
        + texts.pick(QStringLiteral("Stored value \"%1\" cannot be read; this task cannot run.").arg(key),
                     QStringLiteral("Gespeicherter Wert \"%1\" ist nicht lesbar; dieser Task kann nicht laufen.").arg(key));
}

bool TaskBoard::rebuild(const QList<TaskListEntry> &entries, const LanguageTexts &texts)
{
    QVector<Row> rows;
    rows.reserve(entries.size());
    bool allRead = true;
    for (const TaskListEntry &e : entries) {
        Row r{e.name, e.row.run, e.row.host, e.row.backupfile, e.row.backuptime, e.localdir, e.compress,
              e.unreadableKey, e.record, QString()};
        if (!e.unreadableKey.isEmpty()) {
            r.message = unreadableWarning(texts, e.unreadableKey);
            allRead = false;
        }
        rows.append(std::move(r));
    }
    emit aboutToRebuild();
    m_rows = std::move(rows);
    markSharedTargets(texts);
    emit rebuilt();
    return allRead;
}

void TaskBoard::markSharedTargets(const LanguageTexts &texts)
{
    // Each target is compared with all before it; a hash of the earlier ones
    // keeps that linear.
    QHash<QString, int> seen;
    const QString warning = overwriteWarning(texts);
    for (Row &r : m_rows) {
        if (!r.unreadableKey.isEmpty())
            continue;  // it cannot run, so it overwrites nothing; its row has its own warning
        // The name the file is stored under: compression adds a suffix.
        const QString target = LocalTargetPath(r.localdir, StoredFileName(r.backupfile, r.compress));
        if (target.isEmpty())
            continue;
        if (seen[LocalTargetKey(target)]++ > 0)
            r.message = warning;
    }
}

const TaskBoard::Row &TaskBoard::row(int row) const
{
    static const Row none;
    return hasRow(row) ? m_rows.at(row) : none;
}

int TaskBoard::rowOf(const QString &taskName) const
{
    for (int i = 0; i < rowCount(); ++i) {
        if (m_rows.at(i).name.compare(taskName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void TaskBoard::setMessage(int row, const QString &text)
{
    if (!hasRow(row))
        return;
    m_rows[row].message = text;
    emit messageChanged(row);
}

bool TaskBoard::setMessageForTask(const QString &taskName, const QString &text)
{
    const int row = rowOf(taskName);
    setMessage(row, text);
    return row >= 0;
}

QList<ScheduleRowInput> TaskBoard::scheduleRows() const
{
    QList<ScheduleRowInput> rows;
    rows.reserve(m_rows.size());
    for (const Row &r : m_rows)
        rows.append({r.name, r.run, r.backuptime});
    return rows;
}
