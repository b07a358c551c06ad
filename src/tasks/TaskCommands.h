#pragma once

#include <QPointer>

class QMessageBox;
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
    // Asks "Delete the task NAME?" without waiting for the answer; the
    // task goes when it is Yes.
    void Lschen1Click();
    // The open delete question, if any.
    QMessageBox *deleteQuestion() const { return m_deleteQuestion; }

private:
    // Shows the editor with task; true when it ended with OK.
    bool edit(const BackupTask &task);
    // After OK: save the task, then the settings, then rebuild the list.
    void commit();
    void reportSaveFailure(const QString &name);
    void deleteTask(const QString &name);

    TaskEditorHost &m_host;
    Ttaskform &m_form;
    QPointer<QMessageBox> m_deleteQuestion;
};
