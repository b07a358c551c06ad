#pragma once

#include <QString>

// What retrieval shows on the main window; the window implements it.
class RetrievalHost {
public:
    virtual ~RetrievalHost() = default;
    // ProgressBar1: range 0..maximum, then the position.
    virtual void setDownloadProgress(int position, int maximum) = 0;
    // Caption of the status frame GroupBox1 (FTP progress text).
    virtual void setStatusCaption(const QString &caption) = 0;
    // FTP error dialog number kind (1 session, 2 host, 3 directory, 4 file).
    // Must not block: it is shown without a nested modal loop, and the caller
    // goes on at once. A dialog of that kind still on screen takes the new
    // text instead of a second one opening.
    virtual void showRetrievalError(int kind, const QString &text) = 0;
};
