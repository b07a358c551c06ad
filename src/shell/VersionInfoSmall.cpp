#include "shell/VersionInfoSmall.h"

#include <QStringList>

#ifndef VW_FILE_VERSION
#define VW_FILE_VERSION ""
#endif

namespace VersionInfoSmall {

FileVersion parseFileVersion(const QString &text)
{
    FileVersion v;
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    if (text.trimmed().isEmpty() || parts.size() > 4)
        return v;
    quint32 n[4] = {0, 0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        const uint value = parts[i].toUInt(&ok);
        if (!ok || value > 0xFFFF)
            return v;
        n[i] = value;
    }
    v.available = true;
    v.mostSignificant = n[0] << 16 | n[1];
    v.leastSignificant = n[2] << 16 | n[3];
    return v;
}

const FileVersion &programVersion()
{
    static const FileVersion version = parseFileVersion(QStringLiteral(VW_FILE_VERSION));
    return version;
}

QString FileVersionText(const FileVersion &version, int mode)
{
    if (!version.available)
        return QString();
    const QString head = QString::number(version.mostSignificant >> 16) + QLatin1Char('.')
                         + QString::number(version.mostSignificant & 0xFFFF);
    if (mode == 0)
        return head;
    return head + QLatin1Char('.') + QString::number(version.leastSignificant >> 16) + QLatin1Char('.')
           + QString::number(version.leastSignificant & 0xFFFF);
}

QString FileVersionText(int mode)
{
    return FileVersionText(programVersion(), mode);
}

}
