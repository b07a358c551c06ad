#pragma once

#include <QString>

// The per-user entry that starts the program with the desktop session: the
// XDG autostart file $XDG_CONFIG_HOME/autostart/vaultwick.desktop (default
// ~/.config) on Linux, the value "Vaultwick" of the user's Run key on Windows.
class AutostartEntry {
public:
    // program: what the entry starts (the running executable by default).
    explicit AutostartEntry(QString program = QString());

    bool exists() const;
    // Writes or removes the entry; false when that could not be done (the
    // entry is then as before, or absent).
    bool setEnabled(bool enabled);

    // The file or registry value the entry lives in.
    QString location() const;
    // The autostart file's text for a program path (Linux).
    static QString desktopEntryText(const QString &program);

private:
    QString m_program;
};
