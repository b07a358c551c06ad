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

    explicit StoreFile(const QString &path) : m_path(path) {}

    // Applies change on a copy of the file. Nothing is written when the change
    // leaves the content as it was. false when the change or any write failed;
    // the file is then as it was before.
    bool apply(const std::function<bool(QSettings &)> &change) const;

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

private:
    QString m_path;
};
