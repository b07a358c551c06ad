#include "offsite/OffsiteTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "offsite/OffsiteTexts.h"
#include "retrieval/LocalTarget.h"
#include "storage/StoredBackups.h"
#include "tasks/BackupTask.h"

OffsiteTarget OffsiteTarget::of(const BackupTask &task)
{
    OffsiteTarget t;
    const QString value = task.offsite.trimmed();
    t.config = task.offsiteconfig.trimmed();
    if (value.isEmpty())
        return t;
    if (value.startsWith(QLatin1String("restic:"))) {
        t.kind = Kind::Restic;
        t.destination = value.mid(7).trimmed();
    } else {
        t.kind = Kind::Rclone;
        t.destination = value;
    }
    return t;
}

QString OffsiteTarget::masked(QString text)
{
    static const QRegularExpression password(QStringLiteral("(://[^/@\\s]*?:)[^/@\\s]*@"));
    text.replace(password, QStringLiteral("\\1***@"));
    return text;
}

QString OffsiteTarget::programName() const
{
    return isRestic() ? QStringLiteral("restic") : QStringLiteral("rclone");
}

QString OffsiteTarget::problem(bool german, Field *field) const
{
    Field at = Field::Destination;
    QString why;
    if (isNone())
        return {};
    if (destination.isEmpty()) {
        why = OffsiteTexts::noRepository(german);
    } else if (destination.startsWith(QLatin1Char('-'))) {
        // A leading dash would be taken for an option of the tool.
        why = OffsiteTexts::badDestination(destination, german);
    } else if (isRestic() && config.isEmpty()) {
        at = Field::Config;
        why = OffsiteTexts::noPasswordFile(german);
    } else if (!config.isEmpty()) {
        const QFileInfo file(config);
        at = Field::Config;
        if (!file.isFile() || !file.isReadable())
            why = OffsiteTexts::unreadableConfig(config, german);
    }
    if (field && !why.isEmpty())
        *field = at;
    return why;
}

RetentionPolicy OffsitePolicy(const BackupTask &task)
{
    const RetentionPolicy local{task.keepdaily, task.keepweekly, task.keepmonthly};
    const QString value = task.offsitekeep.trimmed();
    if (value.isEmpty() || value == QLatin1String("same"))
        return local;
    const QStringList counts = value.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (counts.size() != 3)
        return local;
    int n[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        n[i] = counts.at(i).toInt(&ok);
        if (!ok)
            return local;
    }
    return {BoundedKeepCount(n[0]), BoundedKeepCount(n[1]), BoundedKeepCount(n[2])};
}

QString OffsiteKeepValue(bool same, const RetentionPolicy &own)
{
    if (same)
        return QStringLiteral("same");
    return QStringLiteral("%1 %2 %3")
        .arg(BoundedKeepCount(own.daily))
        .arg(BoundedKeepCount(own.weekly))
        .arg(BoundedKeepCount(own.monthly));
}

OffsiteBackup OffsiteNameOf(const StoredBackup &local, OffsiteTarget::Kind kind)
{
    const QFileInfo info(local.path);
    OffsiteBackup b;
    b.name = info.fileName();
    // The rotated copies NAME.1, NAME.2 ... are the same file of another day.
    static const QRegularExpression rotation(QStringLiteral("\\.[0-9]+$"));
    b.name.remove(rotation);
    if (kind == OffsiteTarget::Kind::Restic) {
        if (b.name.endsWith(QLatin1String(".gz")))
            b.name.chop(3);
        else if (b.name.endsWith(QLatin1String(".zst")))
            b.name.chop(4);
    }
    b.day = DayOfSubdirectory(info.dir().dirName());
    if (!b.day.isValid())
        b.day = local.modified.date();
    b.time = local.modified;
    b.size = local.size;
    b.key = DailySubdirectoryName(b.day) + QLatin1Char('/') + b.name;
    return b;
}

bool IsOnDestination(const StoredBackup &local, const QList<OffsiteBackup> &remote, OffsiteTarget::Kind kind)
{
    const OffsiteBackup wanted = OffsiteNameOf(local, kind);
    for (const OffsiteBackup &r : remote) {
        if (kind == OffsiteTarget::Kind::Restic) {
            if (r.name == wanted.name && r.day == wanted.day)
                return true;
        } else if (r.key == wanted.key && (r.size < 0 || r.size == wanted.size)) {
            return true;
        }
    }
    return false;
}

#include "tasks/DatabaseList.h"

bool IsTaskFileName(const BackupTask &task, const QString &name)
{
    auto isOf = [&name](const QString &backupfile) {
        return name == backupfile || name == backupfile + QStringLiteral(".gz")
            || name == backupfile + QStringLiteral(".zst");
    };
    if (!DatabaseList::isSeveral(task.database))
        return isOf(task.backupfile);
    if (DatabaseList::isAll(task.database)) {
        const auto [before, after] = DatabaseList::fileNameParts(task.backupfile);
        const QRegularExpression ours(QStringLiteral("^%1[\\w-]+%2(\\.gz|\\.zst)?$")
                                          .arg(QRegularExpression::escape(before), QRegularExpression::escape(after)),
                                      QRegularExpression::UseUnicodePropertiesOption);
        return ours.match(name).hasMatch();
    }
    for (const QString &database : DatabaseList::names(task.database)) {
        if (isOf(DatabaseList::fileFor(task.backupfile, database)))
            return true;
    }
    return false;
}

QString RcloneJoin(const QString &destination, const QString &relative)
{
    if (destination.endsWith(QLatin1Char(':')) || destination.endsWith(QLatin1Char('/')))
        return destination + relative;
    return destination + QLatin1Char('/') + relative;
}
