#pragma once

#include <QString>
#include <QStringList>

// What the program was asked on its command line. Without arguments of its
// own the program starts as the tray program; Qt's own window options
// (-platform, -style, -session ...) still go to the window program.
struct CommandLineRequest {
    enum Mode { Window, Help, Version, List, Run, RunDue, Verify, Restore, UsageError };
    Mode mode = Window;
    bool json = false;     // --list as a JSON array
    QString taskName;      // --run, --verify, --restore
    bool confirmed = false;  // --yes: --restore may overwrite
    QString backupFile;    // --backup: the stored file to check or restore; empty: the newest
    QString error;         // UsageError: what was wrong, in the interface language
};

namespace CommandLine {

// The arguments as the system passed them, before any application object
// exists (the first is the program).
QStringList argumentsOf(int argc, char *argv[]);

// Whether these arguments are meant for the command line: any option of its
// own, or any "--" option that is not one of Qt's window options.
bool wanted(const QStringList &arguments);

// Reads the arguments; german picks the language of the error text.
CommandLineRequest parse(const QStringList &arguments, bool german);

// The help page in the interface language.
QString helpText(bool german);
// The program's version and those of Qt and libcurl it runs with.
QString versionText();

}
