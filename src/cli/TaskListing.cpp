#include "cli/TaskListing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <exception>

#include "tasks/TaskStore.h"

namespace {
QString transportWord(const BackupTask &t) { return t.usesSsh() ? QStringLiteral("ssh") : QStringLiteral("telnet"); }
QString methodWord(const BackupTask &t) { return t.usesHttp() ? QStringLiteral("http") : QStringLiteral("ftp"); }

QString field(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}
}

namespace TaskListing {

Listing read(const TaskStore &store)
{
    Listing listing;
    for (const QString &name : store.ListTaskNames()) {
        try {
            listing.tasks.append(store.LoadTask(name));
        } catch (const std::exception &) {
            listing.unreadable.append(name);
        }
    }
    return listing;
}

QString table(const QList<BackupTask> &tasks)
{
    QString out;
    for (const BackupTask &t : tasks) {
        const QStringList fields{field(t.name), t.isActive() ? QStringLiteral("active") : QStringLiteral("inactive"),
                                 field(t.backuptime), transportWord(t), methodWord(t), field(t.lastmessage)};
        out += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

QByteArray json(const QList<BackupTask> &tasks)
{
    QJsonArray array;
    for (const BackupTask &t : tasks) {
        array.append(QJsonObject{
            {QStringLiteral("name"), t.name},
            {QStringLiteral("active"), t.isActive()},
            {QStringLiteral("time"), t.backuptime},
            {QStringLiteral("transport"), transportWord(t)},
            {QStringLiteral("method"), methodWord(t)},
            {QStringLiteral("lastmessage"), t.lastmessage},
            {QStringLiteral("lastattempt"), t.lastattempt},
            {QStringLiteral("lastsuccess"), t.lastsuccess},
            {QStringLiteral("testrestore"), t.testrestore},
            {QStringLiteral("lastrestoretest"), t.lastrestoretest},
            {QStringLiteral("lastrestorecounts"), t.lastrestorecounts},
            {QStringLiteral("secrets"), t.secrets.isEmpty() ? QStringLiteral("file") : t.secrets},
            {QStringLiteral("offsite"), t.offsite},
            {QStringLiteral("lastoffsite"), t.lastoffsite},
            {QStringLiteral("lastoffsitetime"), t.lastoffsitetime},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

}
