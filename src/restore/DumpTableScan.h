#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The tables a dump creates, read from the dump as it streams past: every
// "CREATE TABLE `name`" line, in the database of the "USE `db`;" before it
// (empty: the database the dump is loaded into). A view's stand-in
// (inside a version comment) is no table. Only a line's start is kept, so
// an extended INSERT of any length costs nothing.
class DumpTableScan {
public:
    struct Table {
        QString database;  // empty: the one loaded into
        QString name;
        bool operator==(const Table &) const = default;
    };

    void feed(const QByteArray &chunk);
    // Takes a last line without its newline into account.
    void finish();
    const QList<Table> &tables() const { return m_tables; }

    // `name` with backquotes doubled, as a statement may use it.
    static QString quoted(const QString &identifier);

private:
    void line(const QByteArray &start);
    static bool identifierAt(const QByteArray &text, qsizetype at, QString &out);

    QByteArray m_start;  // the current line's first bytes
    bool m_lineTooLong = false;
    QString m_database;
    QList<Table> m_tables;
};
