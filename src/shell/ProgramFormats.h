#pragma once

#include <QChar>
#include <QDate>
#include <QString>

// The process-wide number and date formats. From the first About window on
// (the start-up splash), decimals are written with a comma and short dates as
// year, month, day, whatever the system's locale says; when the system
// announces a change of its regional settings, the system's own values apply
// again until the next About window is created.
namespace ProgramFormats {

// Comma separator and "yyyy<sep>MM<sep>dd" (sep: the system's date separator).
void applyProgramFormats();
// The system's decimal separator and short date format.
void applySystemFormats();

QChar decimalSeparator();
// A QDate format string, e.g. "yyyy/MM/dd".
QString shortDateFormat();
QString formatShortDate(const QDate &date);

// The system's date separator: the first character between the fields of its
// short date format ("/" when it has none).
QChar systemDateSeparator();

// Installs, once, the watcher that takes the system's values again when the
// regional settings change (QEvent::LocaleChange to the application, and on
// Windows WM_SETTINGCHANGE for "intl"). Needs a QCoreApplication.
void watchRegionalSettings();

}
