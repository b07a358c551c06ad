#pragma once

#include <QString>
#include <QTemporaryDir>

// A small real filesystem (tmpfs) for full-disk tests. Mounting needs a
// private mount namespace: RunInPrivateMountNamespace, called first in a
// test's main(), runs the test once more inside one (as root, or as the
// mapped root of a new user namespace) and returns its exit code; it
// returns -1 in the re-run process or where no namespace can be had.
class TinyDisk {
public:
    static int RunInPrivateMountNamespace(int argc, char **argv);
    // Why full-disk tests cannot run here; empty when they can.
    static QString unavailableReason();

    ~TinyDisk();
    // Mounts a tmpfs of sizeBytes; false with errorString() when it cannot.
    bool mount(qint64 sizeBytes);
    QString path() const { return m_dir.path(); }
    qint64 freeBytes() const;
    // Fills the disk until exactly `left` bytes (rounded down to whole
    // blocks) stay free.
    bool leaveFree(qint64 left);
    QString errorString() const { return m_error; }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    int m_fillers = 0;
    QString m_error;
};
