#include "tasks/TaskCommands.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "restore/RestorePrograms.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
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

void TaskCommands::commit(const BackupTask &original)
{
    // Runs take their own copy of the current task; replacing it is safe.
    BackupTask &current = m_host.currentTask();
    current = m_form.task();
    // The schedule makes up no slot that lies before the task's last save.
    current.saved = RecordTime::format(m_host.now());
    // Entries go by the name the store keeps, whatever case was typed.
    for (const QString &stored : m_host.store().ListTaskNames())
        if (stored.compare(current.name, Qt::CaseInsensitive) == 0)
            current.name = stored;
    const bool wasInKeyring = original.secrets == QLatin1String(TaskSecrets::InKeyring);
    const bool toKeyring = TaskSecrets::useKeyring(m_host.store());
    if (!wasInKeyring && !toKeyring) {
        current.secrets.clear();
        save(current);
        return;
    }
    // A field the editor left empty for a task in the keyring keeps what the
    // keyring holds; only a typed password replaces it.
    const bool keepHost = wasInKeyring && current.hostpw.isEmpty();
    const bool keepDatabase = wasInKeyring && current.dbpw.isEmpty();
    if (keepHost && keepDatabase && current.name == original.name && toKeyring) {
        save(current);
        return;
    }
    const bool german = m_form.captionLanguage() == 1;
    const BackupTask typed = current;
    if (!keepHost && !keepDatabase) {
        storeSecrets(typed, original, toKeyring);
        return;
    }
    auto source = std::make_shared<BackupTask>(original);
    TaskSecrets::fetch(*source, german, &m_form, [=, this](const QString &problem) {
        if (!problem.isEmpty()) {
            reportSaveFailure(typed.name, problem);
            return;
        }
        BackupTask task = typed;
        if (keepHost)
            task.hostpw = source->hostpw;
        if (keepDatabase)
            task.dbpw = source->dbpw;
        storeSecrets(task, original, toKeyring);
    }, true);
}

void TaskCommands::storeSecrets(const BackupTask &task, const BackupTask &original, bool toKeyring)
{
    const bool german = m_form.captionLanguage() == 1;
    const bool wasInKeyring = original.secrets == QLatin1String(TaskSecrets::InKeyring);
    if (!toKeyring) {
        // The settings file was chosen: the passwords go back there, and the
        // task's own entries go (a duplicate's source keeps its).
        BackupTask saved = task;
        saved.secrets.clear();
        if (m_host.currentTask().name == saved.name)
            m_host.currentTask() = saved;
        saveLater(saved);
        if (wasInKeyring && saved.name == original.name)
            TaskSecrets::remove(original.name, german, &m_form, [](const QString &) {}, true);
        return;
    }
    TaskSecrets::store(task.name, task.hostpw, task.dbpw, german, &m_form, [=, this](const QString &problem) {
        BackupTask saved = task;
        if (problem.isEmpty()) {
            saved.secrets = QString::fromLatin1(TaskSecrets::InKeyring);
        } else if (wasInKeyring) {
            // Its other password is only in the keyring: no half of it in the file.
            reportSaveFailure(task.name, problem);
            return;
        } else {
            saved.secrets.clear();
            tell(QMessageBox::Warning, SecretTexts::keptInFile(task.name, german));
        }
        if (m_host.currentTask().name == saved.name)
            m_host.currentTask().secrets = saved.secrets;
        saveLater(saved);
    }, true);
}

void TaskCommands::saveLater(const BackupTask &task)
{
    // The command may have returned: nobody above to hand an error to.
    try {
        save(task);
    } catch (const std::exception &e) {
        tell(QMessageBox::Critical, QString::fromLocal8Bit(e.what()));
    }
}

void TaskCommands::tell(int icon, const QString &text)
{
    // Said after the command returned: a box that opens and waits for nothing.
    auto *box = new QMessageBox(QMessageBox::Icon(icon), QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                                m_form.parentWidget());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void TaskCommands::save(const BackupTask &task)
{
    if (!m_host.store().SaveTask(task.name, task))
        reportSaveFailure(task.name);
    m_host.SaveSettings();
    m_host.RefreshTaskList();
}

void TaskCommands::reportSaveFailure(const QString &name, const QString &reason)
{
    // The dialog has closed; without this the typed task would vanish unnoticed.
    const bool german = m_form.captionLanguage() == 1;
    QString text = german ? QStringLiteral("Der Task \"%1\" konnte nicht gespeichert werden.").arg(name)
                          : QStringLiteral("The task \"%1\" could not be saved.").arg(name);
    if (!reason.isEmpty())
        text += QLatin1Char(' ') + reason;
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
    empty.hostcompress = QStringLiteral("auto");
    if (!edit(empty))
        return;
    try {
        commit(empty);
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
        commit(task);
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
        const BackupTask source = m_host.store().LoadTask(name);
        BackupTask task = source;
        task.name.clear();
        if (!edit(task))
            return;
        // The copy's passwords come from the source's entries.
        commit(source);
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
        if (!name.isEmpty()) {
            bool inKeyring = false;
            try {
                inKeyring = m_host.store().LoadTask(name).secrets == QLatin1String(TaskSecrets::InKeyring);
            } catch (const std::exception &) {
                // Unreadable: it goes all the same.
            }
            m_host.store().DeleteTask(name);
            // Its entries go with it; the keyring may ask to be unlocked first.
            if (inKeyring && !m_host.store().ListTaskNames().contains(name, Qt::CaseInsensitive))
                TaskSecrets::remove(name, m_form.captionLanguage() == 1, &m_form, [this, name](const QString &problem) {
                    if (!problem.isEmpty())
                        tell(QMessageBox::Warning, SecretTexts::notRemoved(name, m_form.captionLanguage() == 1));
                }, true);
        }
    } catch (const std::exception &) {
    }
    try {
        m_host.RefreshTaskList();
    } catch (const std::exception &) {
    }
}
