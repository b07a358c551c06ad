#include "offsite/OffsiteTools.h"

#include <QStandardPaths>
#include <atomic>
#include <mutex>

#include "offsite/OffsiteTexts.h"

namespace {
std::mutex searchLock;
QStringList searchPath;
std::atomic<int> limit{0};
}

namespace OffsiteTools {

QString find(OffsiteTarget::Kind kind)
{
    if (kind == OffsiteTarget::Kind::None)
        return {};
    const QString name = kind == OffsiteTarget::Kind::Restic ? QStringLiteral("restic") : QStringLiteral("rclone");
    std::lock_guard guard(searchLock);
    return QStandardPaths::findExecutable(name, searchPath);
}

QString problemWith(const OffsiteTarget &target, bool german, QString *program)
{
    if (target.isNone())
        return OffsiteTexts::noRepository(german);
    const QString problem = target.problem(german);
    if (!problem.isEmpty())
        return problem;
    *program = find(target.kind);
    return program->isEmpty() ? missingText(target.kind, german) : QString();
}

void setSearchPath(const QStringList &folders)
{
    std::lock_guard guard(searchLock);
    searchPath = folders;
}

QString missingText(OffsiteTarget::Kind kind, bool german)
{
    return OffsiteTexts::toolMissing(kind == OffsiteTarget::Kind::Restic ? QStringLiteral("restic")
                                                                         : QStringLiteral("rclone"),
                                     german);
}

void setUploadLimit(int kibPerSecond)
{
    limit = kibPerSecond > 0 ? kibPerSecond : 0;
}

int uploadLimit()
{
    return limit;
}

}
