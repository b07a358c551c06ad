#pragma once

#include <QString>

// The local MariaDB or MySQL programs a test restore runs: the user's own
// installation, never anything the program brings.
struct RestorePrograms {
    QString server;     // mariadbd or mysqld
    QString installer;  // mariadb-install-db; empty: the server initialises itself (mysqld)
    QString client;     // mariadb or mysql
    bool mariadb = true;

    bool found() const { return !server.isEmpty() && !client.isEmpty(); }

    // serverSetting: a server program the user named; empty: mariadbd, then
    // mysqld, on PATH and in /usr/sbin and /usr/local/sbin. The client and
    // the installer are looked for beside the server first, then on PATH.
    static RestorePrograms find(const QString &serverSetting = QString());
    // The client alone, for loading into a server elsewhere: beside the
    // server the settings name, else mariadb, then mysql, on PATH.
    static QString findClient(const QString &serverSetting = QString());
};
