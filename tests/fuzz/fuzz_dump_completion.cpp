// The completion check is what tells a whole dump from one cut short. Fed in
// any chunks, it never takes a stream for complete whose last line is not
// the completion comment, and it finds every one whose last line it can hold.
#include <QByteArray>
#include <cstdlib>

#include "retrieval/DumpCompletion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes choose the chunk size, up to beyond the kept tail.
    const qsizetype step = (qsizetype(bytes[0]) << 8 | bytes[1]) % 5000 + 1;
    const QByteArray stream(reinterpret_cast<const char *>(bytes + 2), qsizetype(size - 2));

    DumpCompletionCheck check;
    for (qsizetype at = 0; at < stream.size(); at += step) {
        const QByteArray piece = stream.mid(at, step);
        check.add(piece.constData(), piece.size());
    }
    if (check.tail().size() > 2 * 4096)
        std::abort();
    const bool whole = DumpCompletionCheck::EndsWithDumpCompletion(stream);
    if (check.completed() && !whole)
        std::abort();

    // The last line and what follows it fit in the kept tail: it must be found.
    qsizetype end = stream.size();
    while (end > 0) {
        const char c = stream.at(end - 1);
        if (c != '\n' && c != '\r' && c != ' ' && c != '\t')
            break;
        --end;
    }
    const qsizetype lineStart = end > 0 ? stream.lastIndexOf('\n', end - 1) + 1 : 0;
    if (whole && stream.size() - lineStart < 4096 && !check.completed())
        std::abort();
    return 0;
}
