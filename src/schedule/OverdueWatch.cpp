#include "schedule/OverdueWatch.h"

#include <QSettings>

#include "tasks/TaskStore.h"

const QString OverdueWatch::DaysKey = QStringLiteral("Options/overduedays");

int OverdueWatch::readDays(const TaskStore &store)
{
    auto settings = store.open();
    const QVariant v = settings->value(DaysKey);
    if (v.typeId() != QMetaType::QString)
        return DefaultDays;
    bool ok = false;
    const int days = v.toString().trimmed().toInt(&ok);
    return ok && days >= 0 ? days : DefaultDays;
}

bool OverdueWatch::saveDays(const TaskStore &store, int days)
{
    return store.writeValues({{DaysKey, QString::number(days)}});
}

QDateTime OverdueWatch::since(const QDateTime &lastsuccess, const QDateTime &saved)
{
    return lastsuccess.isValid() ? lastsuccess : saved;
}

bool OverdueWatch::isOverdue(bool active, const QDateTime &since, const QDateTime &now, int days)
{
    return active && days > 0 && since.isValid() && since.secsTo(now) > qint64(days) * 24 * 60 * 60;
}

bool OverdueWatch::takeNotice(const QString &task, const QDate &today)
{
    QDate &last = m_noticed[task.toLower()];
    if (last == today)
        return false;
    last = today;
    return true;
}

void OverdueWatch::clear(const QString &task)
{
    m_noticed.remove(task.toLower());
}
