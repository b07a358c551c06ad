#pragma once

#include <QString>

// What the program says about where its passwords are, in both languages.
namespace SecretTexts {

// The words a run, the command line and a failed move end with.
QString lockedOrUnreachable(bool german);
// A run that could not read its task's passwords.
QString runFailed(bool german);
// A run broken off while it waited for the keyring.
QString cancelled(bool german);
// Said once per program run: where the passwords are.
QString inKeyring(bool german);
QString inFile(const QString &file, bool chosen, bool german);
// A task whose passwords are in a keyring this program cannot reach.
QString notAtHand(const QString &task, bool german);
QString moved(const QString &task, bool german);
QString notMoved(const QString &task, bool german);
QString mailMoved(bool german);
QString mailNotMoved(bool german);
// The keyring holds no entry of that label.
QString missing(const QString &label, bool german);
// The keyring refused the passwords of a task saved in the editor.
QString keptInFile(const QString &task, bool german);

// The application setting and its menu item.
QString keepInFileMenu(bool german);
// A deleted task whose keyring entries stayed behind.
QString notRemoved(const QString &task, bool german);
}
