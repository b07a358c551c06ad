#pragma once

#include <QString>
#include <QtGlobal>

// The program's file version: four numbers, major.minor.release.build, as the
// build stamps them into the program (the counterpart of a version resource).
// Filled once; without version information every query returns "".
namespace VersionInfoSmall {

struct FileVersion {
    bool available = false;
    quint32 mostSignificant = 0;   // major << 16 | minor
    quint32 leastSignificant = 0;  // release << 16 | build
};

// The version the program was built with.
const FileVersion &programVersion();

// Mode 1: all four numbers joined by "."; mode 0: only the first two.
QString FileVersionText(int mode);
QString FileVersionText(const FileVersion &version, int mode);

// Parses "a.b.c.d" (missing trailing numbers count as 0, each 0..65535).
FileVersion parseFileVersion(const QString &text);

}
