#include "storage/BackupRotation.h"

#include <QFile>
#include <QFileInfo>

#include "storage/DurableFile.h"
#include "storage/PlainFile.h"

namespace {

const QString SumSuffix = QStringLiteral(".sha256");

// Moves one copy with its checksum file; the checksum names the new copy.
bool moveCopy(const QString &from, const QString &to)
{
    if (!IsPlainFile(QFileInfo(from)))
        return true;
    QByteArray hash;
    QFile sum(from + SumSuffix);
    if (IsPlainFile(QFileInfo(sum.fileName())) && sum.open(QIODevice::ReadOnly))
        hash = sum.readLine().split(' ').value(0).trimmed();
    sum.close();
    if (!DurableFile::RenameReplacing(from, to))
        return false;
    QFile::remove(to + SumSuffix);
    if (hash.size() == 64)
        DurableFile::WriteWhole(to + SumSuffix, hash + "  " + QFileInfo(to).fileName().toUtf8() + '\n');
    QFile::remove(from + SumSuffix);
    return true;
}

} // namespace

QString RotatedCopyPath(const QString &storedPath, int n)
{
    return storedPath + QLatin1Char('.') + QString::number(n);
}

bool RotatePreviousCopies(const QString &storedPath, int copies)
{
    if (copies <= 0 || !IsPlainFile(QFileInfo(storedPath)))
        return true;
    for (int n = copies; n >= 1; --n) {
        const QString from = n == 1 ? storedPath : RotatedCopyPath(storedPath, n - 1);
        if (!moveCopy(from, RotatedCopyPath(storedPath, n)))
            return false;
    }
    return DurableFile::SyncDirectory(QFileInfo(storedPath).absolutePath());
}
