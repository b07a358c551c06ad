#include "storage/DumpExport.h"

#include "storage/DurableFile.h"
#include "storage/StoredDumpReader.h"

bool ExportDump(const QString &storedFile, const QString &target, QString *error)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    StoredDumpReader in;
    if (!in.open(storedFile))
        return fail(in.errorString());
    DurableFile out(target);
    if (!out.open())
        return fail(out.errorString());
    while (!in.atEnd()) {
        const QByteArray chunk = in.read();
        if (in.failed())
            return fail(in.errorString());
        if (!out.write(chunk))
            return fail(out.errorString());
    }
    if (!out.finish() || !out.replaceTarget())
        return fail(out.errorString());
    return true;
}
