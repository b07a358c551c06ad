#pragma once

#include <QPointer>

class QMessageBox;
class QString;
class TaskEditorHost;
class Ttaskform;
struct BackupTask;

// New, Edit, Duplicate and Delete of the task list's context menu. Each opens
// the editor modally (exec) where it needs it and returns when it is done;
// a task whose passwords go to the keyring is saved once the keyring answered.
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
    // A message box that opens without a loop of its own.
    void tell(int icon, const QString &text);
    // Shows the editor with task; true when it ended with OK.
    bool edit(const BackupTask &task);
    // After OK: the passwords into the keyring where it is used (the task's
    // own entries, or those of original for fields left empty), then the
    // task, then the settings, then the list. original: the task as loaded.
    void commit(const BackupTask &original);
    // The task with all its passwords: into the keyring (toKeyring) or the file.
    void storeSecrets(const BackupTask &task, const BackupTask &original, bool toKeyring);
    void save(const BackupTask &task);
    void saveLater(const BackupTask &task);
    void reportSaveFailure(const QString &name, const QString &reason = QString());
    void deleteTask(const QString &name);

    TaskEditorHost &m_host;
    Ttaskform &m_form;
    QPointer<QMessageBox> m_deleteQuestion;
};
