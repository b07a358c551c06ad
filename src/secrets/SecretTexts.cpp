#include "secrets/SecretTexts.h"

namespace {
QString pick(bool german, const char *english, const char *deutsch)
{
    return german ? QString::fromUtf8(deutsch) : QString::fromUtf8(english);
}
}

namespace SecretTexts {

QString lockedOrUnreachable(bool german)
{
    return pick(german, "the keyring is locked or unreachable", "der Schlüsselbund ist gesperrt oder nicht erreichbar");
}

QString runFailed(bool german)
{
    return pick(german, "The passwords could not be read: %1", "Die Passwörter konnten nicht gelesen werden: %1")
        .arg(lockedOrUnreachable(german));
}

QString cancelled(bool german)
{
    return pick(german, "The run was cancelled while the keyring was asked for the passwords.",
                "Der Lauf wurde abgebrochen, während der Schlüsselbund nach den Passwörtern gefragt wurde.");
}

QString inKeyring(bool german)
{
    return pick(german, "The passwords are kept in the desktop's keyring.",
                "Die Passwörter liegen im Schlüsselbund der Arbeitsumgebung.");
}

QString inFile(const QString &file, bool chosen, bool german)
{
    if (chosen)
        return pick(german, "The passwords are kept in the settings file %1 (readable by this user only), as chosen.",
                    "Die Passwörter liegen wie gewählt in der Einstellungsdatei %1 (nur für diesen Benutzer lesbar).")
            .arg(file);
    return pick(german,
                "The passwords are kept in the settings file %1 (readable by this user only): no keyring is reachable.",
                "Die Passwörter liegen in der Einstellungsdatei %1 (nur für diesen Benutzer lesbar): kein "
                "Schlüsselbund ist erreichbar.")
        .arg(file);
}

QString notAtHand(const QString &task, bool german)
{
    return pick(german, "The passwords of the task \"%1\" are in the keyring, which is not reachable here.",
                "Die Passwörter der Aufgabe \"%1\" liegen im Schlüsselbund, der hier nicht erreichbar ist.")
        .arg(task);
}

QString moved(const QString &task, bool german)
{
    return pick(german, "The passwords of the task \"%1\" moved into the keyring.",
                "Die Passwörter der Aufgabe \"%1\" sind in den Schlüsselbund umgezogen.")
        .arg(task);
}

QString notMoved(const QString &task, bool german)
{
    return pick(german, "The passwords of the task \"%1\" stay in the settings file: %2.",
                "Die Passwörter der Aufgabe \"%1\" bleiben in der Einstellungsdatei: %2.")
        .arg(task, lockedOrUnreachable(german));
}

QString mailMoved(bool german)
{
    return pick(german, "The mail password moved into the keyring.",
                "Das Mail-Passwort ist in den Schlüsselbund umgezogen.");
}

QString mailNotMoved(bool german)
{
    return pick(german, "The mail password stays in the settings file: %1.",
                "Das Mail-Passwort bleibt in der Einstellungsdatei: %1.")
        .arg(lockedOrUnreachable(german));
}

QString missing(const QString &label, bool german)
{
    return pick(german, "The keyring holds no \"%1\".", "Der Schlüsselbund enthält kein \"%1\".").arg(label);
}

QString keptInFile(const QString &task, bool german)
{
    return pick(german, "The passwords of the task \"%1\" were saved in the settings file: %2.",
                "Die Passwörter der Aufgabe \"%1\" wurden in der Einstellungsdatei gespeichert: %2.")
        .arg(task, lockedOrUnreachable(german));
}

QString notRemoved(const QString &task, bool german)
{
    return pick(german,
                "The task \"%1\" is deleted, but its passwords could not be removed from the keyring (%2). "
                "Remove the entries \"Vaultwick: %1 ...\" in the keyring's own window.",
                "Die Aufgabe \"%1\" ist gelöscht, aber ihre Passwörter konnten nicht aus dem Schlüsselbund entfernt "
                "werden (%2). Entfernen Sie die Einträge \"Vaultwick: %1 ...\" im Fenster des Schlüsselbunds.")
        .arg(task, lockedOrUnreachable(german));
}

QString keepInFileMenu(bool german)
{
    return pick(german, "Keep passwords in the settings file", "Passwörter in der Einstellungsdatei halten");
}
}
