#pragma once

#include <QDateTime>
#include <QString>

#include "tasks/BackupTask.h"

class TaskStore;

// What the task commands need of the main window.
class TaskEditorHost {
public:
    virtual ~TaskEditorHost() = default;
    // Caption of the task list's selected row; empty when none is selected.
    virtual QString selectedTaskName() const = 0;
    // The current task; the editor hands the confirmed task back into it.
    virtual BackupTask &currentTask() = 0;
    virtual TaskStore &store() = 0;
    // Both may throw (a store error); the commands decide what to show.
    virtual void SaveSettings() = 0;
    virtual void RefreshTaskList() = 0;
    // The time a confirmed task is stamped with as saved.
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};
