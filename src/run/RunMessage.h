#pragma once

#include <QString>

class LanguageTexts;
class ProtocolLog;

// The Message a run leaves in its task's row and record: the mark, the
// log's time and, where there is one, what to add after " - ".
QString RunMessage(const LanguageTexts &texts, const ProtocolLog &log, bool success,
                   const QString &addition = QString());
