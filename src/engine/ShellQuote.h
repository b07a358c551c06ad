#pragma once

#include <QString>

// Makes a value reach a POSIX shell literally, as one word. Values made only
// of letters, digits and _@%+=:,./~- (and not starting with "~") stay as they
// are, so ordinary tasks give the plain command line; anything else is put in
// single quotes, an embedded quote written as '\''.
QString ShellQuote(const QString &value);

// A remote path: like ShellQuote, but a leading "~/" stays outside the quotes
// so the shell still expands it to the login's home directory.
QString ShellQuotePath(const QString &path);
