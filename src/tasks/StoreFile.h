#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QSettings;

// The settings file that holds every task, guarded so that no failed or cut
// short write costs what it held. A change is made on a copy beside the file,
// checked, and only then put in place by a rename; a copy of it is kept as
// "<file>.bak" to restore from should the file be damaged later.
class StoreFile {
public:
    enum class Health {
        Whole,     // absent (first start), or read whole
        Restored,  // was damaged; the backup copy took its place, the damaged
                   // file is kept as "<file>.damaged"
        Damaged,   // cannot be read whole and no sound backup copy: kept as it is
    };

    // How long a write waits for another program's write to the same file.
    static constexpr int DefaultLockTimeoutMs = 10000;
    // A lock older than this whose holder still seems alive is taken over
    // all the same: no write of the store takes that long.
    static constexpr int StaleLockMs = 60000;

    explicit StoreFile(const QString &path, int lockTimeoutMs = DefaultLockTimeoutMs)
        : m_path(path), m_lockTimeoutMs(lockTimeoutMs) {}

    // Applies change on a copy of the file as it is now. The tray program and
    // a command-line run write the same file: the whole read-modify-write
    // holds a lock beside the file ("<file>.lock"), works on a scratch copy
    // of its own, and reads the file afresh under that lock, so writes of
    // different keys from two processes all land. Nothing is written when
    // the change leaves the content as it was. false when the lock could not
    // be taken in time, the change or any write failed (errorString() says
    // which); the file is then as it was before.
    bool apply(const std::function<bool(QSettings &)> &change) const;
    QString errorString() const { return m_error; }

    // Looks at the file before the program uses it, and restores it from the
    // backup copy when it cannot be read whole.
    Health check() const;

    // Whether bytes are a whole settings file: every line a section, a key
    // and its value, or empty, and the last line ended. keyCount, when not
    // negative, is the number of key lines there must be.
    static bool IsWhole(const QByteArray &bytes, qsizetype keyCount = -1);
    // Writes bytes to path (owner-only), flushed to the disk and read back.
    static bool WriteDurably(const QString &path, const QByteArray &bytes);

    QString backupPath() const { return m_path + QStringLiteral(".bak"); }
    QString damagedPath() const { return m_path + QStringLiteral(".damaged"); }
    QString lockPath() const { return m_path + QStringLiteral(".lock"); }

private:
    // A scratch name no other process and no earlier write uses: a settings
    // object on it never sees a cached older content.
    static QString scratchFor(const QString &path);
    bool takeLock(class QLockFile &lock) const;

    QString m_path;
    int m_lockTimeoutMs;
    mutable QString m_error;
};
