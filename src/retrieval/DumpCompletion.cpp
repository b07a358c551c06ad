#include "retrieval/DumpCompletion.h"

namespace {
// mysqldump's completion line is well under this; a longer last line is no
// completion line anyway.
constexpr qsizetype TailKept = 4096;
const QByteArray CompletionMark("-- Dump completed");
}

void DumpCompletionCheck::add(const char *data, qint64 size)
{
    if (size <= 0)
        return;
    if (size >= TailKept) {
        m_tail = QByteArray(data + size - TailKept, TailKept);
        return;
    }
    m_tail.append(data, qsizetype(size));
    if (m_tail.size() > 2 * TailKept)
        m_tail = m_tail.right(TailKept);
}

bool DumpCompletionCheck::EndsWithDumpCompletion(const QByteArray &text)
{
    qsizetype end = text.size();
    while (end > 0) {
        const char c = text.at(end - 1);
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
            break;
        --end;
    }
    if (end == 0)
        return false;
    const qsizetype lineStart = text.lastIndexOf('\n', end - 1) + 1;
    if (lineStart == 0 && text.size() >= TailKept)
        return false;  // the kept tail holds no line start: the line is too long
    return QByteArrayView(text).sliced(lineStart, end - lineStart).startsWith(CompletionMark);
}
