#include "restore/RestorePrograms.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

namespace {
QString executable(const QString &name, const QStringList &extraDirs)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, extraDirs);
    return path;
}

QString besideOrOnPath(const QString &server, const QStringList &names)
{
    const QString dir = QFileInfo(server).absolutePath();
    // A server in .../sbin has its client in .../bin.
    const QStringList dirs{dir, QDir(dir).filePath(QStringLiteral("../bin"))};
    for (const QString &name : names) {
        const QString found = QStandardPaths::findExecutable(name, dirs);
        if (!found.isEmpty())
            return found;
    }
    for (const QString &name : names) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}
} // namespace

RestorePrograms RestorePrograms::find(const QString &serverSetting)
{
    RestorePrograms p;
    const QStringList sbin{QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")};
    if (!serverSetting.isEmpty()) {
        const QFileInfo named(serverSetting);
        if (named.isFile() && named.isExecutable())
            p.server = named.absoluteFilePath();
    } else {
        p.server = executable(QStringLiteral("mariadbd"), sbin);
        if (p.server.isEmpty())
            p.server = executable(QStringLiteral("mysqld"), sbin);
    }
    if (p.server.isEmpty())
        return p;
    // Debian's mysqld is MariaDB's server under its old name: it comes with
    // mariadb-install-db. MySQL's own has no installer and initialises itself.
    p.installer = besideOrOnPath(p.server, {QStringLiteral("mariadb-install-db"), QStringLiteral("mysql_install_db")});
    p.mariadb = !p.installer.isEmpty();
    p.client = besideOrOnPath(p.server, {QStringLiteral("mariadb"), QStringLiteral("mysql")});
    return p;
}

QString RestorePrograms::findClient(const QString &serverSetting)
{
    const RestorePrograms p = find(serverSetting);
    if (!p.client.isEmpty())
        return p.client;
    const QStringList bin{QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin")};
    for (const QString &name : {QStringLiteral("mariadb"), QStringLiteral("mysql")}) {
        const QString found = executable(name, bin);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}
