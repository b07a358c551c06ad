#pragma once

#include <QDate>
#include <QString>

// The texts of the About window that describe where the program runs.
namespace ApplicationInfo {

// "Betriebssystem: " followed by the system line, or "" when it cannot be
// formed. Windows: the version table (Windows 3.1 / 9x / 2000 / XP / NT);
// elsewhere the system's product name and its kernel version.
QString OperatingSystemText();

// The Windows line: name, " ", major ".", minor, " ", service-pack text; ""
// for an unknown platform identifier (0 Win32s, 1 Windows 9x, 2 NT family).
QString WindowsSystemLine(unsigned platformId, unsigned major, unsigned minor, const QString &servicePack);
// The line elsewhere: product name, " ", kernel version.
QString OtherSystemLine(const QString &productName, const QString &kernelVersion);

// "Programmstand: " and the last-write date of the program file in the
// process's short date format; "" when the date cannot be read.
QString ProgramDateText();
QString ProgramDateText(const QString &filePath);

// Display name of the system's default language, at most 50 characters.
QString SystemLanguageName();

// The logged-on user's name; "" when it cannot be found.
QString LoggedOnUserName();

}
