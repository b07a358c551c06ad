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
    // An FTP error dialog. Must not block: it is shown without a nested
    // modal loop, and the caller goes on at once.
    virtual void showRetrievalError(const QString &text) = 0;
};
