#include "restore/RestoreJob.h"

#include "restore/RestoreTexts.h"

void RestoreJob::conclude(bool restored, const QString &reason, const QString &target, bool german)
{
    if (m_concluded)
        return;
    m_concluded = true;
    emit protocolLine(restored ? RestoreTexts::restored(target, german) : RestoreTexts::restoreFailed(reason, german));
    emit finished(restored, reason);
}
