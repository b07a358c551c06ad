#include "offsite/OffsiteDestination.h"

#include "offsite/RcloneDestination.h"
#include "offsite/ResticRepository.h"

std::unique_ptr<OffsiteDestination> MakeOffsiteDestination(const BackupTask &task, const QString &program, bool german)
{
    if (OffsiteTarget::of(task).isRestic())
        return std::make_unique<ResticRepository>(task, program, german);
    return std::make_unique<RcloneDestination>(task, program, german);
}
