#include "engine/ProtocolLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "engine/Clock.h"
#include "shell/LanguageTexts.h"
#include "storage/DurableFile.h"

ProtocolLog::ProtocolLog(const LanguageTexts &language, const Clock &clock)
    : m_language(language), m_clock(clock)
{
}

QString ProtocolLog::Timestamp() const
{
    const QDateTime now = m_clock.now();
    return now.toString(m_language.englishChecked() ? QStringLiteral("MM/dd/yyyy HH:mm:ss")
                                                    : QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString ProtocolLog::line(const QString &text) const
{
    return Timestamp() + QLatin1Char('\t') + text;
}

void ProtocolLog::AddStatus(const QString &message)
{
    const QString shown = line(message);
    if (m_view)
        m_view->appendProtocolLine(shown);
    // As the view shows it: one entry per line of text.
    for (const QString &part : shown.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        m_recent.append(part);
    if (m_recent.size() > RecentLineCount)
        m_recent.remove(0, m_recent.size() - RecentLineCount);
}

void ProtocolLog::AddSent(const QString &text)
{
    m_sent.append(line(text));
}

bool ProtocolLog::Save() const
{
    if (m_logFilePath.isEmpty())
        return false;
    QByteArray bytes;
    for (const QString &l : m_sent) {
        bytes += l.toUtf8();
        bytes += "\r\n";
    }
    bool diskFull = false;
    const bool saved = DurableFile::WriteWhole(m_logFilePath, bytes, &diskFull);
    // Said once when the disk fills, not at every later try.
    if (diskFull && !m_saveFailedOnFullDisk && m_view)
        m_view->appendProtocolLine(line(m_language.pick(QStringLiteral("Log file not saved: disk full"),
                                                        QStringLiteral("Protokolldatei nicht gespeichert: Datenträger voll"))));
    m_saveFailedOnFullDisk = diskFull;
    return saved;
}

void ProtocolLog::ClearView()
{
    if (m_view)
        m_view->clearProtocol();
}

QString ProtocolLog::defaultLogFilePath()
{
    const QString name = QStringLiteral("vaultwck.log");
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QFileInfo dirInfo(exeDir);
    if (!exeDir.isEmpty() && dirInfo.isDir() && dirInfo.isWritable())
        return QDir(exeDir).filePath(name);
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(dataDir);
    return QDir(dataDir).filePath(name);
}
