#pragma once

#include <QString>

struct BackupTask;

// Checks of the task values that reach the host's shell, before a session
// begins. Each gives why the run cannot go on, in the interface language;
// empty when it can.

// Over telnet every character is typed into a terminal: a control character
// (below 0x20, or DEL) would act as a key there (^C, ^U, line end, Escape)
// instead of reaching the command.
QString TelnetValueRefusal(const BackupTask &task, bool german);

// mysqldump would read a database name beginning with "-" as an option.
QString DatabaseNameRefusal(const QString &database, bool german);

// The database name as above, and dump options that are no known option
// of mysqldump or hold what a shell acts on (a store edited by hand).
QString DumpValueRefusal(const BackupTask &task, bool german);
