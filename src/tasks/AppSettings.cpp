#include "tasks/AppSettings.h"

#include <QSettings>

#include "tasks/TaskStore.h"

const QString AppSettings::DisplayKey = QStringLiteral("Options/Display");
const QString AppSettings::LanguageKey = QStringLiteral("Options/language");
const QString AppSettings::TotalTasksKey = QStringLiteral("Options/totaltasks");
const QString AppSettings::RestoreServerKey = QStringLiteral("Options/restoreserver");
const QString AppSettings::RestoreLimitKey = QStringLiteral("Options/restorelimit");
const QString AppSettings::MetricsFileKey = QStringLiteral("Options/metricsfile");

QString AppSettings::ReadMetricsFile() const
{
    auto settings = m_store.open();
    const QVariant path = settings->value(MetricsFileKey);
    return path.typeId() == QMetaType::QString ? path.toString().trimmed() : QString();
}

bool AppSettings::SaveMetricsFile(const QString &path) const
{
    return m_store.writeValues({{MetricsFileKey, path.trimmed()}});
}

const QString AppSettings::OffsiteLimitKey = QStringLiteral("Options/offsitebwlimit");

int AppSettings::ReadOffsiteLimit() const
{
    // A value the dialog could not have written is no limit, never a failed run.
    auto settings = m_store.open();
    bool ok = false;
    const int limit = settings->value(OffsiteLimitKey).toString().trimmed().toInt(&ok);
    return ok && limit > 0 ? limit : 0;
}

bool AppSettings::SaveOffsiteLimit(int kibPerSecond) const
{
    return m_store.writeValues({{OffsiteLimitKey, QString::number(kibPerSecond > 0 ? kibPerSecond : 0)}});
}

AppSettings::AppSettings(const TaskStore &store) : m_store(store) {}

int AppSettings::readInteger(QSettings &settings, const QString &key)
{
    const QVariant v = settings.value(key);
    if (!v.isValid())
        return 0;
    if (v.typeId() != QMetaType::QString)
        throw TaskStoreReadError(QStringLiteral("Setting %1 is not text").arg(key).toStdString());
    bool ok = false;
    const int value = v.toString().trimmed().toInt(&ok);
    return ok ? value : 0;
}

int AppSettings::ReadDisplay() const
{
    auto settings = m_store.open();
    return readInteger(*settings, DisplayKey);
}

int AppSettings::ReadLanguage() const
{
    auto settings = m_store.open();
    return readInteger(*settings, LanguageKey);
}

RestoreOptions AppSettings::ReadRestoreOptions(RestoreOptions base) const
{
    auto settings = m_store.open();
    const QVariant server = settings->value(RestoreServerKey);
    if (server.typeId() == QMetaType::QString && !server.toString().trimmed().isEmpty())
        base.serverProgram = server.toString().trimmed();
    try {
        const int minutes = readInteger(*settings, RestoreLimitKey);
        // A day at most: the limit has to fit a timer's milliseconds.
        if (minutes >= 1)
            base.limitMs = qMin(minutes, 24 * 60) * 60 * 1000;
    } catch (const TaskStoreReadError &) {
    }
    return base;
}

bool AppSettings::SaveRestoreOptions(const QString &serverProgram, int limitMinutes) const
{
    return m_store.writeValues({{RestoreServerKey, serverProgram.trimmed()},
                                {RestoreLimitKey, QString::number(qBound(1, limitMinutes, 24 * 60))}});
}

bool AppSettings::saveTo(QSettings &settings, int totalTasks, bool englishChecked, int displayMode)
{
    const std::pair<const QString &, int> values[] = {
        {TotalTasksKey, totalTasks},
        {LanguageKey, englishChecked ? 0 : 1},
        {DisplayKey, displayMode},
    };
    // Each value reaches the store before the next is written, so a failure
    // leaves exactly the values before it written.
    for (const auto &[key, value] : values) {
        if (TaskStore::setIfChanged(settings, key, QString::number(value)) && !TaskStore::finishWrite(settings))
            return false;
    }
    return true;
}

bool AppSettings::SaveSettings(int totalTasks, bool englishChecked, int displayMode) const
{
    return m_store.writeValues({
        {TotalTasksKey, QString::number(totalTasks)},
        {LanguageKey, QString::number(englishChecked ? 0 : 1)},
        {DisplayKey, QString::number(displayMode)},
    });
}

const QString AppSettings::PasswordsInFileKey = QStringLiteral("Options/passwordsinfile");

bool AppSettings::ReadKeepPasswordsInFile() const
{
    auto settings = m_store.open();
    try {
        return readInteger(*settings, PasswordsInFileKey) != 0;
    } catch (const TaskStoreReadError &) {
        return false;
    }
}

bool AppSettings::SaveKeepPasswordsInFile(bool keep) const
{
    return m_store.writeValues({{PasswordsInFileKey, keep ? QStringLiteral("1") : QStringLiteral("0")}});
}
