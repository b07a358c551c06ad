#include "secrets/SecretMigration.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <exception>

#include "notify/MailSettings.h"
#include "secrets/Keyring.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskStore.h"

SecretMigration::SecretMigration(const TaskStore &store, bool german, QObject *parent)
    : QObject(parent), m_store(store), m_german(german)
{
}

void SecretMigration::start()
{
    m_running = true;
    QTimer::singleShot(0, this, &SecretMigration::begin);
}

void SecretMigration::begin()
{
    const QString file = QDir::toNativeSeparators(m_store.fileName());
    const bool chosen = AppSettings(m_store).ReadKeepPasswordsInFile();
    if (chosen || !Keyring::reachable()) {
        // The file holds the passwords: it is this user's alone.
        if (!m_store.fileName().isEmpty() && QFile::exists(m_store.fileName()))
            QFile::setPermissions(m_store.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        emit protocolLine(SecretTexts::inFile(file, chosen, m_german));
        if (!chosen) {
            for (const QString &name : m_store.ListTaskNames()) {
                try {
                    if (m_store.LoadTask(name).secrets == QLatin1String(TaskSecrets::InKeyring))
                        emit protocolLine(SecretTexts::notAtHand(name, m_german));
                } catch (const std::exception &) {
                }
            }
        }
        end();
        return;
    }
    emit protocolLine(SecretTexts::inKeyring(m_german));
    m_pending = m_store.ListTaskNames();
    nextTask();
}

void SecretMigration::nextTask()
{
    while (!m_pending.isEmpty()) {
        const QString name = m_pending.takeFirst();
        BackupTask task;
        try {
            task = m_store.LoadTask(name);
        } catch (const std::exception &) {
            continue;  // said wherever the task is listed
        }
        if (task.secrets == QLatin1String(TaskSecrets::InKeyring) || (task.hostpw.isEmpty() && task.dbpw.isEmpty()))
            continue;
        TaskSecrets::store(name, task.hostpw, task.dbpw, m_german, this, [this, task](const QString &problem) {
            // The file changes only where it still holds what the keyring now has.
            if (problem.isEmpty() && m_store.MoveSecretsToKeyring(task.name, task.hostpw, task.dbpw))
                emit protocolLine(SecretTexts::moved(task.name, m_german));
            else
                emit protocolLine(SecretTexts::notMoved(task.name, m_german));
            nextTask();
        });
        return;
    }
    moveMailPassword();
}

void SecretMigration::moveMailPassword()
{
    const MailSettings mail = MailSettings::read(m_store);
    if (mail.passwordInKeyring || mail.password.isEmpty()) {
        end();
        return;
    }
    TaskSecrets::writeChecked(TaskSecrets::mailPassword(), mail.password, m_german, this,
                              [this, mail](const QString &problem) {
                                  if (problem.isEmpty() && MailSettings::movePasswordToKeyring(m_store, mail.password))
                                      emit protocolLine(SecretTexts::mailMoved(m_german));
                                  else
                                      emit protocolLine(SecretTexts::mailNotMoved(m_german));
                                  end();
                              });
}

void SecretMigration::end()
{
    m_running = false;
    emit finished();
}
