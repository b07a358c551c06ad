#include "retrieval/ByteCount.h"

#include <atomic>

namespace {
// Read by the transfer threads' progress text as well as the window thread.
std::atomic<char16_t> g_decimalSeparator{u','};

// count / divisor with two decimals, computed in integers so that no binary
// fraction decides a rounding (1005 bytes must give 1,01 Kb).
QString scaled(qint64 count, qint64 divisor, const char *unit)
{
    const qint64 hundredthUnit = divisor / 100;
    const qint64 hundredths = (count + hundredthUnit / 2) / hundredthUnit;
    return QString::number(hundredths / 100) + QChar(g_decimalSeparator.load())
        + QStringLiteral("%1").arg(hundredths % 100, 2, 10, QLatin1Char('0'))
        + QLatin1String(unit);
}
}

void SetDecimalSeparator(QChar separator)
{
    g_decimalSeparator.store(separator.unicode());
}

QChar DecimalSeparator()
{
    return QChar(g_decimalSeparator.load());
}

QString FormatByteCount(qint64 count)
{
    if (count >= 1000000)
        return scaled(count, 1000000, " Mb");
    if (count >= 1000)
        return scaled(count, 1000, " Kb");
    return QString::number(count) + QStringLiteral(" bytes");
}
