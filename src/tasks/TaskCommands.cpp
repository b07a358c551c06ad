#include "tasks/TaskCommands.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "restore/RestorePrograms.h"
#include "tasks/AppSettings.h"
#include "tasks/DumpOptions.h"
#include "tasks/RecordTime.h"
#include "tasks/TaskEditorHost.h"
#include "tasks/TaskStore.h"
#include "tasks/TaskTimeEdit.h"
#include "tasks/Ttaskform.h"

TaskCommands::TaskCommands(TaskEditorHost &host, Ttaskform &form) : m_host(host), m_form(form) {}

bool TaskCommands::edit(const BackupTask &task)
{
    // A second command while the editor is up (say from the tray) would
    // replace what the user is typing.
    if (m_form.isVisible()) {
        m_form.activateWindow();
        return false;
    }
    m_form.setTask(task);
    return m_form.exec() == QDialog::Accepted;
}

void TaskCommands::commit()
{
    // Runs take their own copy of the current task; replacing it is safe.
    BackupTask &current = m_host.currentTask();
    current = m_form.task();
    // The schedule makes up no slot that lies before the task's last save.
    current.saved = RecordTime::format(m_host.now());
    if (!m_host.store().SaveTask(current.name, current))
        reportSaveFailure(current.name);
    m_host.SaveSettings();
    m_host.RefreshTaskList();
}

void TaskCommands::reportSaveFailure(const QString &name)
{
    // The dialog has closed; without this the typed task would vanish unnoticed.
    const bool german = m_form.captionLanguage() == 1;
    const QString text = german ? QStringLiteral("Der Task \"%1\" konnte nicht gespeichert werden.").arg(name)
                                : QStringLiteral("The task \"%1\" could not be saved.").arg(name);
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    m_form.parentWidget());
    box.exec();
}

void TaskCommands::Neu1Click()
{
    BackupTask empty;
    empty.backuptime = TaskTimeEdit::BlankTime;
    // Proven backups by default where there is a server to prove them with.
    empty.testrestore = RestorePrograms::find(AppSettings(m_host.store()).ReadRestoreOptions({}).serverProgram).found();
    // Stored tasks keep the command they had; new ones get what today's hosts want.
    empty.dumpoptions = DumpOptions::recommended();
    if (!edit(empty))
        return;
    try {
        commit();
    } catch (const std::exception &e) {
        QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(),
                        QString::fromLocal8Bit(e.what()), QMessageBox::Ok, m_form.parentWidget());
        box.exec();
    }
}

void TaskCommands::Bearbeiten1Click()
{
    const QString name = m_host.selectedTaskName();
    if (name.isEmpty())
        return;
    try {
        const BackupTask task = m_host.store().LoadTask(name);
        if (!edit(task))
            return;
        commit();
    } catch (const std::exception &) {
        // A task that cannot be read, or a store error afterwards: quiet.
    }
}

void TaskCommands::Duplizieren1Click()
{
    const QString name = m_host.selectedTaskName();
    if (name.isEmpty())
        return;
    try {
        BackupTask task = m_host.store().LoadTask(name);
        task.name.clear();
        if (!edit(task))
            return;
        commit();
    } catch (const std::exception &) {
    }
}

void TaskCommands::Lschen1Click()
{
    const QString name = m_host.selectedTaskName();
    if (name.isEmpty()) {
        deleteTask(name);
        return;
    }
    if (m_deleteQuestion) {
        m_deleteQuestion->activateWindow();
        return;
    }
    const bool german = m_form.captionLanguage() == 1;
    const QString text = german ? QStringLiteral("Die Aufgabe %1 löschen?").arg(name)
                                : QStringLiteral("Delete the task %1?").arg(name);
    // Answered in the event loop: runs and timers go on while it is open.
    auto *box = new QMessageBox(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                                QMessageBox::Yes | QMessageBox::No, m_form.parentWidget());
    box->setObjectName(QStringLiteral("DeleteQuestion"));
    box->setDefaultButton(QMessageBox::No);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [this, box, name] {
        m_deleteQuestion.clear();
        if (box->clickedButton() == box->button(QMessageBox::Yes))
            deleteTask(name);
    });
    m_deleteQuestion = box;
    box->show();
}

void TaskCommands::deleteTask(const QString &name)
{
    try {
        if (!name.isEmpty())
            m_host.store().DeleteTask(name);
    } catch (const std::exception &) {
    }
    try {
        m_host.RefreshTaskList();
    } catch (const std::exception &) {
    }
}
