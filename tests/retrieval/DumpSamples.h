#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

// Test dumps: arbitrary bytes (NULs, CR, LF, 0xFF included), ending with
// mysqldump's completion line when asked, of an exact total size.
inline QByteArray MakeDump(qint64 size, bool completed = true, quint32 seed = 7)
{
    const QByteArray trailer("\n-- Dump completed on 2026-12-07 14:05:09\n");
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator rng(seed);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(rng.bounded(256));
    if (completed && size >= trailer.size())
        bytes.replace(size - trailer.size(), trailer.size(), trailer);
    else if (!completed && size > 0)
        bytes[size - 1] = ';';  // a last statement, no completion comment
    return bytes;
}

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline bool WriteAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Everything in a directory, hidden files included: a left-over temporary
// download shows up here.
inline QStringList Entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}
