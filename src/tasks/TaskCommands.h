#pragma once

class QString;
class TaskEditorHost;
class Ttaskform;
struct BackupTask;

// New, Edit, Duplicate and Delete of the task list's context menu. Each opens
// the editor modally (exec) where it needs it and returns when it is done.
class TaskCommands {
public:
    TaskCommands(TaskEditorHost &host, Ttaskform &form);

    void Neu1Click();
    void Bearbeiten1Click();
    void Duplizieren1Click();
    void Lschen1Click();

private:
    // Shows the editor with task; true when it ended with OK.
    bool edit(const BackupTask &task);
    // After OK: save the task, then the settings, then rebuild the list.
    void commit();
    void reportSaveFailure(const QString &name);

    TaskEditorHost &m_host;
    Ttaskform &m_form;
};
