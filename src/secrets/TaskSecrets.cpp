#include "secrets/TaskSecrets.h"

#include <QTimer>
#include <memory>

#include "secrets/SecretTexts.h"
#include "tasks/AppSettings.h"

namespace {
QString problemOf(Keyring::Result result, const Keyring::Entry &entry, bool german)
{
    switch (result) {
    case Keyring::Result::Done:
        return QString();
    case Keyring::Result::NotFound:
        return SecretTexts::missing(entry.label, german);
    case Keyring::Result::Unreachable:
        break;
    }
    return SecretTexts::lockedOrUnreachable(german);
}

Keyring::Entry entryOf(const QString &task, const char *field, const char *words)
{
    return {task + QLatin1Char('/') + QLatin1String(field),
            QStringLiteral("Vaultwick: ") + task + QLatin1Char(' ') + QLatin1String(words)};
}
}

namespace TaskSecrets {

Keyring::Entry hostPassword(const QString &task) { return entryOf(task, "hostpw", "host password"); }
Keyring::Entry databasePassword(const QString &task) { return entryOf(task, "dbpw", "database password"); }
Keyring::Entry mailPassword() { return {QStringLiteral("mail/password"), QStringLiteral("Vaultwick: mail password")}; }

bool useKeyring(const TaskStore &store)
{
    return !AppSettings(store).ReadKeepPasswordsInFile() && Keyring::reachable();
}

void fetch(BackupTask &task, bool german, QObject *context, Done done, bool mayPrompt)
{
    if (task.secrets != QLatin1String(InKeyring)) {
        QTimer::singleShot(0, context, [done] { done(QString()); });
        return;
    }
    // The task lives as long as the run that asked, which is context.
    BackupTask *target = &task;
    const Keyring::Entry host = hostPassword(task.name);
    const Keyring::Entry database = databasePassword(task.name);
    auto readDatabase = [=](const QString &hostpw) {
        Keyring::read(
            database, context,
            [=](Keyring::Result result, const QString &dbpw) {
                if (result != Keyring::Result::Done) {
                    done(problemOf(result, database, german));
                    return;
                }
                target->hostpw = hostpw;
                target->dbpw = dbpw;
                done(QString());
            },
            mayPrompt);
    };
    Keyring::read(
        host, context,
        [=](Keyring::Result result, const QString &hostpw) {
            if (result != Keyring::Result::Done)
                done(problemOf(result, host, german));
            else
                readDatabase(hostpw);
        },
        mayPrompt);
}

void writeChecked(const Keyring::Entry &entry, const QString &value, bool german, QObject *context, Done done,
                  bool mayPrompt)
{
    auto readBack = [=] {
        // Only a value read back counts as kept.
        Keyring::read(
            entry, context,
            [=](Keyring::Result result, const QString &stored) {
                if (result == Keyring::Result::Done && stored != value)
                    result = Keyring::Result::Unreachable;
                done(problemOf(result, entry, german));
            },
            mayPrompt);
    };
    Keyring::write(
        entry, value, context,
        [=](Keyring::Result result) {
            if (result != Keyring::Result::Done)
                done(problemOf(result, entry, german));
            else
                readBack();
        },
        mayPrompt);
}

void store(const QString &task, const QString &hostpw, const QString &dbpw, bool german, QObject *context, Done done,
           bool mayPrompt)
{
    const Keyring::Entry database = databasePassword(task);
    writeChecked(
        hostPassword(task), hostpw, german, context,
        [=](const QString &problem) {
            if (!problem.isEmpty())
                done(problem);
            else
                writeChecked(database, dbpw, german, context, done, mayPrompt);
        },
        mayPrompt);
}

void copy(const QString &from, const QString &to, bool german, QObject *context, Done done, bool mayPrompt)
{
    if (from == to) {
        QTimer::singleShot(0, context, [done] { done(QString()); });
        return;
    }
    auto source = std::make_shared<BackupTask>(BackupTask::withDefaults(from));
    source->secrets = QString::fromLatin1(InKeyring);
    fetch(
        *source, german, context,
        [=](const QString &problem) {
            if (!problem.isEmpty())
                done(problem);
            else
                store(to, source->hostpw, source->dbpw, german, context, done, mayPrompt);
        },
        mayPrompt);
}

void remove(const QString &task, bool german, QObject *context, Done done, bool mayPrompt)
{
    const Keyring::Entry database = databasePassword(task);
    auto gone = [](Keyring::Result r) { return r != Keyring::Result::Unreachable; };
    Keyring::remove(
        hostPassword(task), context,
        [=](Keyring::Result first) {
            Keyring::remove(
                database, context,
                [=](Keyring::Result second) {
                    done(gone(first) && gone(second) ? QString() : SecretTexts::lockedOrUnreachable(german));
                },
                mayPrompt);
        },
        mayPrompt);
}
}
