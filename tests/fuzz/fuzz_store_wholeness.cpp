// The store's wholeness check decides whether a written task store is put in
// place. Every file the settings write for names and values a user may type
// must pass it with its key count, or such a task could never be saved; and
// no file cut short inside a line passes, whatever its bytes.
#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdlib>

#include "tasks/StoreFile.h"

namespace {

void checkBytes(const QByteArray &bytes)
{
    const bool whole = StoreFile::IsWhole(bytes);
    if (bytes.isEmpty())
        return;
    if (StoreFile::IsWhole(bytes, uchar(bytes[0]) % 8) && !whole)
        std::abort();
    if (!whole)
        return;
    if (!StoreFile::IsWhole(bytes + "key=value\n"))
        std::abort();
    // A file cut short inside a line, as a full disk leaves it, never passes.
    const QByteArray cut = bytes.left(bytes.size() - 1 - uchar(bytes[0]) % bytes.size());
    if (!cut.isEmpty() && !cut.endsWith('\n') && StoreFile::IsWhole(cut))
        std::abort();
}

// A task as the store writes it: a group under "tasks" named by the user,
// text values in it. The input gives the name and the values, split at NUL.
void checkWritten(const QByteArray &input)
{
    static QTemporaryDir dir;
    if (!dir.isValid())
        std::abort();
    const QList<QByteArray> parts = input.split('\0');
    const QString name = QString::fromUtf8(parts.first());
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return;  // names the store refuses
    static const char *const keys[] = {"host", "hostpw", "backupfile", "remotedir", "lastmessage"};
    const QString path = dir.filePath(QStringLiteral("store.ini"));
    QFile::remove(path);
    qsizetype keyCount = 0;
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("tasks/") + name);
        for (qsizetype i = 1; i < parts.size() && i <= qsizetype(std::size(keys)); ++i)
            settings.setValue(QLatin1String(keys[i - 1]), QString::fromUtf8(parts[i]));
        settings.setValue(QStringLiteral("run"), 1);
        settings.endGroup();
        keyCount = settings.allKeys().size();
        settings.sync();
        if (settings.status() != QSettings::NoError)
            std::abort();
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    if (!StoreFile::IsWhole(f.readAll(), keyCount))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    checkBytes(input);
    checkWritten(input);
    return 0;
}
