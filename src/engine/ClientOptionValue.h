#pragma once

#include <QByteArray>
#include <QString>

// A value for a MySQL/MariaDB client's option file, in double quotes, so
// that the reader gives it back exactly: a "#" is no comment there, blanks
// at either end are kept, and quotes, backslashes and line breaks escaped.
QByteArray ClientOptionValue(const QString &value);
