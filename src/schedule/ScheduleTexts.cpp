#include "schedule/ScheduleTexts.h"

#include "schedule/SchedulePlanner.h"
#include "shell/LanguageTexts.h"

namespace ScheduleTexts {

QString date(bool english, const QDate &day)
{
    return day.toString(english ? QStringLiteral("MM/dd/yyyy") : QStringLiteral("dd.MM.yyyy"));
}

QString catchUpLine(bool english, const QString &task, const QDateTime &slot, const QDateTime &now)
{
    QString at = slot.toString(QStringLiteral("HH:mm"));
    if (slot.date() != now.date())
        at += (english ? QStringLiteral(" on ") : QStringLiteral(" am ")) + date(english, slot.date());
    const QString text = english ? QStringLiteral("Catching up the backup due at %1").arg(at)
                                 : QStringLiteral("Hole das Backup von %1 nach").arg(at);
    return text + QStringLiteral(" (") + task + QLatin1Char(')');
}

QString nextBackup(bool english, const NextBackup &next)
{
    if (!next.isValid())
        return QString();
    const QString time = next.at.toString(QStringLiteral("HH:mm"));
    return english ? QStringLiteral("Next backup: %1 at %2").arg(next.name, time)
                   : QStringLiteral("Nächstes Backup: %1 um %2").arg(next.name, time);
}

QString overdueMessage(bool english, const QDateTime &since)
{
    return WarningPrefix
           + (english ? QStringLiteral("No successful backup since ") : QStringLiteral("Kein erfolgreiches Backup seit "))
           + date(english, since.date());
}

}  // namespace ScheduleTexts
