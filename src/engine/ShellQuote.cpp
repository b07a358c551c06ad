#include "engine/ShellQuote.h"

namespace {
bool isPlain(QChar c)
{
    const char16_t u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
        return true;
    return QStringView(u"_@%+=:,./~-").contains(c);
}
}

QString ShellQuote(const QString &value)
{
    bool plain = !value.startsWith(QLatin1Char('~'));
    for (QChar c : value) {
        if (!plain)
            break;
        plain = isPlain(c);
    }
    if (plain)
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ShellQuotePath(const QString &path)
{
    if (path.startsWith(QStringLiteral("~/")))
        return QStringLiteral("~/") + ShellQuote(path.mid(2));
    return ShellQuote(path);
}
