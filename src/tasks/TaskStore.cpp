#include "tasks/TaskStore.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <algorithm>

#include "storage/RetentionPolicy.h"

namespace {
const QString kTasks = QStringLiteral("tasks");
const QString kOptions = QStringLiteral("Options");

QString valuePath(const QString &group, const QString &key)
{
    return kTasks + QLatin1Char('/') + group + QLatin1Char('/') + kOptions + QLatin1Char('/') + key;
}

int parseInt(const QString &text, int fallback)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : fallback;
}

// The settings file holds passwords: create it private before Qt writes it,
// and keep it so (QSaveFile keeps the mode of the file it replaces).
void makePrivate(const QString &path)
{
    if (path.isEmpty())
        return;
    QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    if (!info.exists()) {
        QFile f(path);
        f.open(QIODevice::WriteOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
}

TaskStore::TaskStore() = default;

TaskStore::TaskStore(const QString &iniFile) : m_iniFile(iniFile) {}

std::unique_ptr<QSettings> TaskStore::open() const
{
    if (!m_iniFile.isEmpty())
        return std::make_unique<QSettings>(m_iniFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Korvane"), QStringLiteral("Vaultwick"));
}

QString TaskStore::fileName() const
{
#ifdef Q_OS_WIN
    if (m_iniFile.isEmpty())
        return QString();
#endif
    return open()->fileName();
}

bool TaskStore::finishWrite(QSettings &settings)
{
#ifdef Q_OS_WIN
    if (settings.format() != QSettings::NativeFormat)
#endif
        makePrivate(settings.fileName());
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool TaskStore::setIfChanged(QSettings &settings, const QString &key, const QString &value)
{
    // Rewriting an unchanged value would rewrite the whole file for nothing.
    const QVariant stored = settings.value(key);
    if (stored.isValid() && stored.typeId() == QMetaType::QString && stored.toString() == value)
        return false;
    settings.setValue(key, value);
    return true;
}

bool TaskStore::write(const std::function<bool(QSettings &)> &change) const
{
    m_writeError.clear();
    if (m_keptDamaged) {
        m_writeError = QStringLiteral("the store was kept as damaged");
        return false;
    }
    const QString file = fileName();
    if (file.isEmpty()) {  // the Windows registry writes value by value
        auto settings = open();
        const bool ok = change(*settings);
        return finishWrite(*settings) && ok;
    }
    QDir().mkpath(QFileInfo(file).absolutePath());
    const StoreFile store(file, m_lockTimeoutMs);
    const bool ok = store.apply([&](QSettings &settings) { return change(settings); });
    m_writeError = store.errorString();
    return ok;
}

bool TaskStore::writeValues(const QList<std::pair<QString, QString>> &values, const QStringList &removed) const
{
    {
        auto reader = open();
        const bool held = std::all_of(values.begin(), values.end(), [&](const auto &kv) {
            const QVariant v = reader->value(kv.first);
            return v.isValid() && v.typeId() == QMetaType::QString && v.toString() == kv.second;
        });
        const bool gone = std::none_of(removed.begin(), removed.end(),
                                       [&](const QString &key) { return reader->contains(key); });
        if (held && gone)
            return true;
    }
    return write([&](QSettings &settings) {
        for (const auto &[key, value] : values)
            setIfChanged(settings, key, value);
        for (const QString &key : removed)
            settings.remove(key);
        return true;
    });
}

StoreFile::Health TaskStore::CheckAtStartup()
{
    const QString file = fileName();
    if (file.isEmpty())
        return StoreFile::Health::Whole;
    const StoreFile::Health health = StoreFile(file, m_lockTimeoutMs).check();
    m_keptDamaged = health == StoreFile::Health::Damaged;
    return health;
}

bool TaskStore::isValidName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

QString TaskStore::storedName(QSettings &settings, const QString &name) const
{
    // The spelling as stored is the usual case (names come from the list);
    // finding it directly keeps large stores fast, where listing all tasks
    // for every read would make a rebuild grow with the square of the tasks.
    if (!name.isEmpty()) {
        settings.beginGroup(kTasks + QLatin1Char('/') + name);
        const bool exact = !settings.childGroups().isEmpty() || !settings.childKeys().isEmpty();
        settings.endGroup();
        if (exact)
            return name;
    }
    settings.beginGroup(kTasks);
    const QStringList groups = settings.childGroups();
    settings.endGroup();
    for (const QString &g : groups) {
        if (g.compare(name, Qt::CaseInsensitive) == 0)
            return g;
    }
    return name;
}

QString TaskStore::readText(QSettings &settings, const QString &group, const QString &key,
                            const QString &fallback) const
{
    const QVariant v = settings.value(valuePath(group, key));
    if (!v.isValid())
        return fallback;
    if (v.typeId() != QMetaType::QString) {
        TaskStoreReadError error(QStringLiteral("Value %1 of task %2 is not text").arg(key, group).toStdString());
        error.key = key;
        throw error;
    }
    return v.toString();
}

void TaskStore::LoadTask(const QString &name, BackupTask &task) const
{
    auto settings = open();
    task.name = name;
    loadFrom(*settings, storedName(*settings, name), task);
}

void TaskStore::loadFrom(QSettings &settings, const QString &group, BackupTask &task) const
{
    task.host = readText(settings, group, QStringLiteral("host"), QString());
    task.hostuser = readText(settings, group, QStringLiteral("hostuser"), QString());
    task.hostpw = readText(settings, group, QStringLiteral("hostpw"), QString());
    task.ftpdir = readText(settings, group, QStringLiteral("ftpdir"), QString());
    task.mysql = readText(settings, group, QStringLiteral("mysql"), QString::fromLatin1(TaskDefaults::mysql));
    task.database = readText(settings, group, QStringLiteral("database"), QString());
    task.dbuser = readText(settings, group, QStringLiteral("dbuser"), QString());
    task.dbpw = readText(settings, group, QStringLiteral("dbpw"), QString());
    task.backupfile = readText(settings, group, QStringLiteral("backupfile"),
                               QString::fromLatin1(TaskDefaults::backupfile));
    task.remotedir = readText(settings, group, QStringLiteral("remotedir"), QString());
    task.localdir = readText(settings, group, QStringLiteral("localdir"), TaskDefaults::localdir());
    task.httpath = readText(settings, group, QStringLiteral("httpath"), QString());
    task.backuptime = readText(settings, group, QStringLiteral("backuptime"),
                               QString::fromLatin1(TaskDefaults::backuptime));
    task.run = parseInt(readText(settings, group, QStringLiteral("run"), QString()), 0);
    task.subdirectory = parseInt(readText(settings, group, QStringLiteral("subdirectory"), QString()), 0) != 0;
    task.method = parseInt(readText(settings, group, QStringLiteral("method"), QString()), 0);
    task.transport = parseInt(readText(settings, group, QStringLiteral("transport"), QString()), 0);
    task.sshport = parseInt(readText(settings, group, QStringLiteral("sshport"), QString()), 22);
    // A port the editor could not have saved is the default one, as a run takes it.
    if (task.sshport < 1 || task.sshport > 65535)
        task.sshport = 22;
    task.sshkey = readText(settings, group, QStringLiteral("sshkey"), QString());
    task.lastattempt = readText(settings, group, QStringLiteral("lastattempt"), QString());
    task.lastsuccess = readText(settings, group, QStringLiteral("lastsuccess"), QString());
    task.lastmessage = readText(settings, group, QStringLiteral("lastmessage"), QString());
    task.lastrestoretest = readText(settings, group, QStringLiteral("lastrestoretest"), QString());
    task.lastrestorecounts = readText(settings, group, QStringLiteral("lastrestorecounts"), QString());
    task.saved = readText(settings, group, QStringLiteral("saved"), QString());
    task.compress = parseInt(readText(settings, group, QStringLiteral("compress"), QString()), 0);
    task.keepdaily = BoundedKeepCount(parseInt(readText(settings, group, QStringLiteral("keepdaily"), QString()), 0));
    task.keepweekly = BoundedKeepCount(parseInt(readText(settings, group, QStringLiteral("keepweekly"), QString()), 0));
    task.keepmonthly = BoundedKeepCount(parseInt(readText(settings, group, QStringLiteral("keepmonthly"), QString()), 0));
    task.ftptls = parseInt(readText(settings, group, QStringLiteral("ftptls"), QString()), 0) != 0;
    task.testrestore = parseInt(readText(settings, group, QStringLiteral("testrestore"), QString()), 0) != 0;
    task.dumpoptions = readText(settings, group, QStringLiteral("dumpoptions"), QString());
    task.dumpprogram = readText(settings, group, QStringLiteral("dumpprogram"), QStringLiteral("mysqldump"));
    task.pingurl = readText(settings, group, QStringLiteral("pingurl"), QString());
    task.hostcompress = readText(settings, group, QStringLiteral("hostcompress"), QStringLiteral("off"));
    task.secrets = readText(settings, group, QStringLiteral("secrets"), QString());
    task.offsite = readText(settings, group, QStringLiteral("offsite"), QString());
    task.offsiteconfig = readText(settings, group, QStringLiteral("offsiteconfig"), QString());
    task.offsitekeep = readText(settings, group, QStringLiteral("offsitekeep"), QStringLiteral("same"));
    task.lastoffsite = readText(settings, group, QStringLiteral("lastoffsite"), QString());
    task.lastoffsitetime = readText(settings, group, QStringLiteral("lastoffsitetime"), QString());
    task.lastoffsitecheck = readText(settings, group, QStringLiteral("lastoffsitecheck"), QString());
}

BackupTask TaskStore::LoadTask(const QString &name) const
{
    BackupTask task = BackupTask::withDefaults(name);
    LoadTask(name, task);
    return task;
}

bool TaskStore::SaveTask(const QString &name, const BackupTask &task) const
{
    if (!isValidName(name))
        return false;
    std::unique_ptr<QSettings> reader = open();
    const QString group = storedName(*reader, name);
    reader.reset();
    const std::pair<const char *, QString> fields[] = {
        {"host", task.host},
        {"hostuser", task.hostuser},
        {"hostpw", task.hostpw},
        {"ftpdir", task.ftpdir},
        {"mysql", task.mysql},
        {"database", task.database},
        {"dbuser", task.dbuser},
        {"dbpw", task.dbpw},
        {"backupfile", task.backupfile},
        {"remotedir", task.remotedir},
        {"localdir", task.localdir},
        {"httpath", task.httpath},
        {"backuptime", task.backuptime},
        {"run", QString::number(task.run == 1 ? 1 : 0)},
        {"subdirectory", task.subdirectory ? QStringLiteral("1") : QStringLiteral("0")},
        {"method", QString::number(task.method != 0 ? 1 : 0)},
        // Added values, after the sixteen. The run's own record (last attempt,
        // success, message) is written by the run, not here, so an editor
        // open during a run cannot put back an older record.
        {"transport", QString::number(task.transport == 1 ? 1 : 0)},
        {"sshport", QString::number(task.sshport)},
        {"sshkey", task.sshkey},
        {"saved", task.saved},
        {"compress", QString::number(task.compress)},
        {"keepdaily", QString::number(task.keepdaily)},
        {"keepweekly", QString::number(task.keepweekly)},
        {"keepmonthly", QString::number(task.keepmonthly)},
        {"ftptls", task.ftptls ? QStringLiteral("1") : QStringLiteral("0")},
        {"testrestore", task.testrestore ? QStringLiteral("1") : QStringLiteral("0")},
        {"dumpoptions", task.dumpoptions},
        {"dumpprogram", task.dumpprogram},
        {"pingurl", task.pingurl},
        {"hostcompress", task.hostcompress},
        {"secrets", task.secrets},
        {"offsite", task.offsite},
        {"offsiteconfig", task.offsiteconfig},
        {"offsitekeep", task.offsitekeep},
    };
    // A task whose passwords are in the keyring keeps none in the file.
    const bool inKeyring = task.secrets == QLatin1String("keyring");
    QList<std::pair<QString, QString>> values;
    QStringList removed;
    for (const auto &[key, value] : fields) {
        const QString path = valuePath(group, QString::fromLatin1(key));
        if (inKeyring && (qstrcmp(key, "hostpw") == 0 || qstrcmp(key, "dbpw") == 0))
            removed.append(path);
        else
            values.append({path, value});
    }
    return writeValues(values, removed);
}

bool TaskStore::SaveRunRecord(const QString &name, const RunRecord &record) const
{
    if (!isValidName(name))
        return false;
    QString group;
    {
        auto settings = open();
        group = storedName(*settings, name);
        settings->beginGroup(kTasks + QLatin1Char('/') + group);
        const bool exists = !settings->childGroups().isEmpty() || !settings->childKeys().isEmpty();
        settings->endGroup();
        if (!exists)
            return false;
    }
    const std::pair<const char *, const std::optional<QString> &> fields[] = {
        {"lastattempt", record.lastattempt},
        {"lastsuccess", record.lastsuccess},
        {"lastmessage", record.lastmessage},
        {"lastrestoretest", record.lastrestoretest},
        {"lastrestorecounts", record.lastrestorecounts},
        {"lastoffsite", record.lastoffsite},
        {"lastoffsitetime", record.lastoffsitetime},
        {"lastoffsitecheck", record.lastoffsitecheck},
    };
    QList<std::pair<QString, QString>> values;
    for (const auto &[key, value] : fields) {
        if (value)
            values.append({valuePath(group, QString::fromLatin1(key)), *value});
    }
    return writeValues(values);
}

bool TaskStore::MoveSecretsToKeyring(const QString &name, const QString &hostpw, const QString &dbpw) const
{
    const QString group = storedName(*open(), name);
    if (!isValidName(group))
        return false;
    return write([&](QSettings &settings) {
        const QString host = valuePath(group, QStringLiteral("hostpw"));
        const QString database = valuePath(group, QStringLiteral("dbpw"));
        if (settings.value(host).toString() != hostpw || settings.value(database).toString() != dbpw)
            return false;
        settings.remove(host);
        settings.remove(database);
        settings.setValue(valuePath(group, QStringLiteral("secrets")), QStringLiteral("keyring"));
        return true;
    });
}

void TaskStore::DeleteTask(const QString &name) const
{
    const QString group = storedName(*open(), name);
    if (!isValidName(group))
        return;
    write([&](QSettings &settings) {
        settings.remove(kTasks + QLatin1Char('/') + group);
        return true;
    });
}

QStringList TaskStore::sortedNames(QSettings &settings)
{
    settings.beginGroup(kTasks);
    QStringList names = settings.childGroups();
    settings.endGroup();
    std::stable_sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QStringList TaskStore::ListTaskNames() const
{
    return sortedNames(*open());
}

QList<TaskListEntry> TaskStore::ReadTaskList() const
{
    auto settings = open();
    const QStringList names = sortedNames(*settings);
    QList<TaskListEntry> entries;
    entries.reserve(names.size());
    for (const QString &name : names) {
        TaskListEntry e;
        e.name = name;
        // The whole task, as a run would load it: a value the list does not
        // show still decides whether the task can run.
        BackupTask t = BackupTask::withDefaults(name);
        try {
            loadFrom(*settings, name, t);
        } catch (const TaskStoreReadError &error) {
            e.unreadableKey = error.key;
            // Each shown value on its own, so the others still show.
            auto text = [&](const QString &key, const QString &fallback) {
                try {
                    return readText(*settings, name, key, fallback);
                } catch (const TaskStoreReadError &) {
                    return fallback;
                }
            };
            t.run = parseInt(text(QStringLiteral("run"), QString()), 0);
            t.host = text(QStringLiteral("host"), QString());
            t.backupfile = text(QStringLiteral("backupfile"), QString::fromLatin1(TaskDefaults::backupfile));
            t.backuptime = text(QStringLiteral("backuptime"), QString::fromLatin1(TaskDefaults::backuptime));
            t.localdir = text(QStringLiteral("localdir"), TaskDefaults::localdir());
            t.lastattempt = text(QStringLiteral("lastattempt"), QString());
            t.lastsuccess = text(QStringLiteral("lastsuccess"), QString());
            t.lastmessage = text(QStringLiteral("lastmessage"), QString());
            t.saved = text(QStringLiteral("saved"), QString());
        }
        e.row = {t.run, t.host, t.backupfile, t.backuptime};
        e.localdir = t.localdir;
        e.compress = t.compress;
        e.record = {name, t.lastattempt, t.lastsuccess, t.lastmessage, t.saved};
        entries.append(e);
    }
    return entries;
}

TaskRowValues TaskStore::ReadRow(const QString &name) const
{
    auto settings = open();
    const QString group = storedName(*settings, name);
    TaskRowValues row;
    row.run = parseInt(readText(*settings, group, QStringLiteral("run"), QString()), 0);
    row.host = readText(*settings, group, QStringLiteral("host"), QString());
    row.backupfile = readText(*settings, group, QStringLiteral("backupfile"),
                              QString::fromLatin1(TaskDefaults::backupfile));
    row.backuptime = readText(*settings, group, QStringLiteral("backuptime"),
                              QString::fromLatin1(TaskDefaults::backuptime));
    return row;
}

QString TaskStore::ReadBackupFile(const QString &name) const
{
    auto settings = open();
    return readText(*settings, storedName(*settings, name), QStringLiteral("backupfile"),
                    QString::fromLatin1(TaskDefaults::backupfile));
}

QString TaskStore::ReadLocalDir(const QString &name) const
{
    auto settings = open();
    return readText(*settings, storedName(*settings, name), QStringLiteral("localdir"),
                    TaskDefaults::localdir());
}
