#include "engine/ProtocolLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include "engine/Clock.h"
#include "shell/LanguageTexts.h"

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
    if (m_view)
        m_view->appendProtocolLine(line(message));
}

void ProtocolLog::AddSent(const QString &text)
{
    m_sent.append(line(text));
}

bool ProtocolLog::Save() const
{
    if (m_logFilePath.isEmpty())
        return false;
    QSaveFile file(m_logFilePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes;
    for (const QString &l : m_sent) {
        bytes += l.toUtf8();
        bytes += "\r\n";
    }
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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
