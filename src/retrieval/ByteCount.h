#pragma once

#include <QChar>
#include <QString>

// The decimal separator that byte counts (and the program's other decimal
// numbers) are written with. Process-wide: a comma from start-up on, whatever
// the system's locale says; the About window may set it again later.
void SetDecimalSeparator(QChar separator);
QChar DecimalSeparator();

// A byte count in decimal units: "999 bytes", "1,54 Kb", "2,05 Mb"
// (thresholds and divisors 1 000 and 1 000 000, exactly two decimals,
// halves rounded up).
QString FormatByteCount(qint64 count);
