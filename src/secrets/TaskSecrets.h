#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "secrets/Keyring.h"
#include "tasks/BackupTask.h"

class TaskStore;

// A task's passwords in the keyring: one entry per task and field, labelled
// "Vaultwick: NAME host password" (or "database password"), and the mail
// password's entry. The labels are the entries' names and so never change
// with the interface language. Every operation answers through its callback;
// mayPrompt as for Keyring::read.
namespace TaskSecrets {

// The task value that says the task's passwords are in the keyring.
inline constexpr const char *InKeyring = "keyring";

Keyring::Entry hostPassword(const QString &task);
Keyring::Entry databasePassword(const QString &task);
Keyring::Entry mailPassword();

// Whether new passwords go to the keyring: one is reachable and the user
// did not choose the settings file.
bool useKeyring(const TaskStore &store);

// The outcome of a chain of keyring operations: empty when all were done,
// else why not, in the interface language.
using Done = std::function<void(const QString &problem)>;

// Fills the task's passwords from the keyring when it keeps them there;
// at once (in the event loop) when the settings file does.
void fetch(BackupTask &task, bool german, QObject *context, Done done, bool mayPrompt = false);
// Writes a task's two passwords and reads each back.
void store(const QString &task, const QString &hostpw, const QString &dbpw, bool german, QObject *context,
           Done done, bool mayPrompt = false);
// Copies the entries of one task to another name.
void copy(const QString &from, const QString &to, bool german, QObject *context, Done done, bool mayPrompt = false);
// Removes both entries; entries already gone are no problem.
void remove(const QString &task, bool german, QObject *context, Done done, bool mayPrompt = false);

// One write and its read-back.
void writeChecked(const Keyring::Entry &entry, const QString &value, bool german, QObject *context, Done done,
                  bool mayPrompt = false);
}
