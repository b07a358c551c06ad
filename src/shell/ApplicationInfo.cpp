#include "shell/ApplicationInfo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>

#include "shell/ProgramFormats.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace {
const QString OsPrefix = QStringLiteral("Betriebssystem: ");
const QString DatePrefix = QStringLiteral("Programmstand: ");
constexpr int MaxLanguageNameLength = 50;

#ifdef Q_OS_WIN
// GetVersionEx reports 6.2 to programs without a compatibility manifest;
// RtlGetVersion tells the truth and has the same layout.
bool queryWindowsVersion(OSVERSIONINFOW &info)
{
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
        auto fn = reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")));
        if (fn && fn(&info) == 0)
            return true;
    }
    return false;
}
#endif
}

namespace ApplicationInfo {

QString WindowsSystemLine(unsigned platformId, unsigned major, unsigned minor, const QString &servicePack)
{
    QString name;
    switch (platformId) {
    case 0:
        name = QStringLiteral("Windows 3.1");
        break;
    case 1:
        name = QStringLiteral("Windows 9x");
        break;
    case 2:
        if (major == 5 && minor == 0)
            name = QStringLiteral("Windows 2000");
        else if (major == 5 && minor == 1)
            name = QStringLiteral("Windows XP");
        else
            name = QStringLiteral("Windows NT");
        break;
    default:
        return QString();
    }
    return name + QLatin1Char(' ') + QString::number(major) + QLatin1Char('.') + QString::number(minor)
           + QLatin1Char(' ') + servicePack.left(128);
}

QString OtherSystemLine(const QString &productName, const QString &kernelVersion)
{
    return productName + QLatin1Char(' ') + kernelVersion;
}

QString OperatingSystemText()
{
#ifdef Q_OS_WIN
    OSVERSIONINFOW info;
    if (!queryWindowsVersion(info))
        return QString();
    return OsPrefix + WindowsSystemLine(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                                        QString::fromWCharArray(info.szCSDVersion));
#else
    const QString product = QSysInfo::prettyProductName();
    const QString kernel = QSysInfo::kernelVersion();
    if (product.isEmpty() && kernel.isEmpty())
        return QString();
    return OsPrefix + OtherSystemLine(product, kernel);
#endif
}

QString ProgramDateText(const QString &filePath)
{
    if (filePath.isEmpty())
        return QString();
    const QFileInfo info(filePath);
    if (!info.exists())
        return QString();
    const QDateTime written = info.lastModified();
    if (!written.isValid())
        return QString();
    return DatePrefix + ProgramFormats::formatShortDate(written.date());
}

QString ProgramDateText()
{
    return ProgramDateText(QCoreApplication::applicationFilePath());
}

QString SystemLanguageName()
{
    const QLocale system = QLocale::system();
    QString name;
    if (system.language() == QLocale::C) {
        name = QStringLiteral("C");
    } else {
        QString language = system.nativeLanguageName();
        if (language.isEmpty())
            language = QLocale::languageToString(system.language());
        QString territory = system.nativeTerritoryName();
        if (territory.isEmpty() && system.territory() != QLocale::AnyTerritory)
            territory = QLocale::territoryToString(system.territory());
        name = territory.isEmpty() ? language : language + QStringLiteral(" (") + territory + QLatin1Char(')');
    }
    return name.left(MaxLanguageNameLength);
}

QString LoggedOnUserName()
{
#ifdef Q_OS_WIN
    wchar_t buffer[256];
    DWORD size = 255;
    if (GetUserNameW(buffer, &size) && size > 0)
        return QString::fromWCharArray(buffer, int(size) - 1);
    return QString();
#else
    if (const passwd *pw = getpwuid(geteuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME"));
#endif
}

}
