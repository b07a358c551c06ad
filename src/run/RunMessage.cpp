#include "run/RunMessage.h"

#include "engine/ProtocolLog.h"
#include "shell/LanguageTexts.h"

QString RunMessage(const LanguageTexts &texts, const ProtocolLog &log, bool success, const QString &addition)
{
    QString message = (success ? texts.SuccessfulOn : texts.NotSuccessfulOn) + log.Timestamp();
    if (!addition.isEmpty())
        message += QStringLiteral(" - ") + addition;
    return message;
}
