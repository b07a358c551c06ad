#include "shell/AutostartEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace {
#ifdef Q_OS_WIN
const QString kRunKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
const QString kRunValue = QStringLiteral("Vaultwick");
#else
QString autostartFile()
{
    // GenericConfigLocation is $XDG_CONFIG_HOME, or ~/.config without it.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/vaultwick.desktop");
}

// An Exec value: the path quoted as the desktop entry format asks, then
// escaped once more as a string value.
QString execQuoted(const QString &path)
{
    QString quoted;
    for (QChar c : path) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
#endif
}

AutostartEntry::AutostartEntry(QString program)
    : m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(program))
{
}

QString AutostartEntry::desktopEntryText(const QString &program)
{
#ifdef Q_OS_WIN
    Q_UNUSED(program);
    return QString();
#else
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Vaultwick\n"
                          "Comment=Daily backups of MySQL databases on a web host\n"
                          "Comment[de]=Tägliche Sicherung von MySQL-Datenbanken auf einem Webhost\n"
                          "Exec=%1\n"
                          "Icon=vaultwick\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execQuoted(program));
#endif
}

QString AutostartEntry::location() const
{
#ifdef Q_OS_WIN
    return kRunKey + QLatin1Char('\\') + kRunValue;
#else
    return autostartFile();
#endif
}

bool AutostartEntry::exists() const
{
#ifdef Q_OS_WIN
    return QSettings(kRunKey, QSettings::NativeFormat).contains(kRunValue);
#else
    return QFileInfo::exists(autostartFile());
#endif
}

bool AutostartEntry::setEnabled(bool enabled)
{
#ifdef Q_OS_WIN
    QSettings run(kRunKey, QSettings::NativeFormat);
    if (enabled)
        run.setValue(kRunValue, QLatin1Char('"') + QDir::toNativeSeparators(m_program) + QLatin1Char('"'));
    else
        run.remove(kRunValue);
    run.sync();
    return run.status() == QSettings::NoError && run.contains(kRunValue) == enabled;
#else
    const QString path = autostartFile();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = desktopEntryText(m_program).toUtf8();
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
#endif
}
