#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>

#include "schedule/BackupSchedule.h"
#include "tasks/TaskStore.h"

class LanguageTexts;

// The tasks as the program sees them between two reads of the store: one row
// per stored task, in store order, with the Message each row shows. The
// schedule reads its rows here, runs write their outcome here, and the task
// list only displays it.
class TaskBoard : public QObject {
    Q_OBJECT
public:
    struct Row {
        QString name;
        int run = 0;
        QString host;
        QString backupfile;
        QString backuptime;
        QString localdir;
        int compress = 0;
        QString unreadableKey;  // a stored value that is not text; the task cannot run
        StoredRunRecord record;
        QString message;
    };

    using QObject::QObject;

    // Every row afresh from one read of the store, the Message empty except
    // for the unreadable warning and the warning on a local target file that
    // is a row's before it. false when a task has an unreadable value.
    bool rebuild(const QList<TaskListEntry> &entries, const LanguageTexts &texts);

    int rowCount() const { return int(m_rows.size()); }
    bool hasRow(int row) const { return row >= 0 && row < rowCount(); }
    // Outside the rows: an empty row.
    const Row &row(int row) const;
    // The row of a task (names compare without regard to case); -1 if none.
    int rowOf(const QString &taskName) const;

    QString message(int row) const { return this->row(row).message; }
    void setMessage(int row, const QString &text);
    // false when no row shows the task any more.
    bool setMessageForTask(const QString &taskName, const QString &text);

    // What the schedule plans with, in row order.
    QList<ScheduleRowInput> scheduleRows() const;

    static QString overwriteWarning(const LanguageTexts &texts);
    static QString unreadableWarning(const LanguageTexts &texts, const QString &key);

signals:
    void aboutToRebuild();
    void rebuilt();
    void messageChanged(int row);

private:
    void markSharedTargets(const LanguageTexts &texts);

    QVector<Row> m_rows;
};
