#pragma once

#include <QtGlobal>

#include "storage/StoredDumpWriter.h"

// The bytes of a download on their way into the stored file, with the
// bounds every download keeps: never more than the size the server listed
// (a file still being written on the host is no finished dump) and never
// more than the retrieval's limit. On the transfer's thread.
struct DumpIntake {
    StoredDumpWriter *out = nullptr;
    qint64 received = 0;
    qint64 listed = -1;  // the size the server announced, -1: none
    qint64 limit = 0;    // the most any download may bring
    bool writeFailed = false;
    bool grew = false;      // more than listed arrived
    bool tooLarge = false;  // more than the limit arrived

    // false: the transfer must stop (a short count makes libcurl abort it).
    bool take(const char *data, qint64 length)
    {
        if (listed >= 0 && received + length > listed) {
            grew = true;
            return false;
        }
        if (received + length > limit) {
            tooLarge = true;
            return false;
        }
        if (!out->write(data, length)) {
            writeFailed = true;
            return false;
        }
        received += length;
        return true;
    }
};
