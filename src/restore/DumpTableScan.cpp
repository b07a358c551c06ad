#include "restore/DumpTableScan.h"

namespace {
// Enough for "CREATE TABLE IF NOT EXISTS " and a 64-character name in UTF-8.
constexpr qsizetype KeptBytes = 512;
}

void DumpTableScan::feed(const QByteArray &chunk)
{
    qsizetype from = 0;
    while (from < chunk.size()) {
        const qsizetype end = chunk.indexOf('\n', from);
        const qsizetype stop = end < 0 ? chunk.size() : end;
        if (!m_lineTooLong) {
            const qsizetype take = qMin(stop - from, KeptBytes - m_start.size());
            m_start.append(chunk.constData() + from, take);
            m_lineTooLong = m_start.size() >= KeptBytes;
        }
        if (end < 0)
            return;
        line(m_start);
        m_start.clear();
        m_lineTooLong = false;
        from = end + 1;
    }
}

void DumpTableScan::finish()
{
    if (!m_start.isEmpty())
        line(m_start);
    m_start.clear();
    m_lineTooLong = false;
}

bool DumpTableScan::identifierAt(const QByteArray &text, qsizetype at, QString &out)
{
    if (at >= text.size() || text.at(at) != '`')
        return false;
    QByteArray name;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        if (text.at(i) != '`') {
            name.append(text.at(i));
            continue;
        }
        if (i + 1 < text.size() && text.at(i + 1) == '`') {
            name.append('`');
            ++i;
            continue;
        }
        out = QString::fromUtf8(name);
        return !out.isEmpty();
    }
    return false;
}

void DumpTableScan::line(const QByteArray &start)
{
    static const QByteArray create("CREATE TABLE ");
    static const QByteArray ifNotExists("IF NOT EXISTS ");
    static const QByteArray use("USE ");
    QString name;
    if (start.startsWith(create)) {
        qsizetype at = create.size();
        if (start.mid(at).startsWith(ifNotExists))
            at += ifNotExists.size();
        if (identifierAt(start, at, name)) {
            const Table table{m_database, name};
            if (!m_tables.contains(table))
                m_tables.append(table);
        }
    } else if (start.startsWith(use) && identifierAt(start, use.size(), name)) {
        m_database = name;
    }
}

QString DumpTableScan::quoted(const QString &identifier)
{
    return QLatin1Char('`') + QString(identifier).replace(QLatin1Char('`'), QStringLiteral("``")) + QLatin1Char('`');
}
