// The prompt test reads the host's last line; whatever the host sends, the
// line it gets is one bounded line, without line breaks, control sequences
// or trailing blanks, in lower case.
#include <QByteArray>
#include <QString>
#include <cstdlib>

#include "run/TelnetDialogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray chunk(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QString line = TelnetDialogue::PromptLine(chunk);
    if (line.size() > 4096)
        std::abort();
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if (u == '\n' || u == '\r' || u == 0 || u == 0x1b || (u >= 'A' && u <= 'Z') || u > 0xff)
            std::abort();
    }
    if (line.endsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char('\t')))
        std::abort();
    // The line is the prompt test's own reading: reading it again changes nothing.
    if (TelnetDialogue::PromptLine(line.toLatin1()) != line)
        std::abort();
    return 0;
}
