#pragma once

#include <QFile>
#include <QString>

// A file written beside its final place and moved there only when whole.
// Writes go straight to the file descriptor (no user-space buffer whose late
// flush could fail unnoticed), each one checked; finish() forces the data to
// the disk, replaceTarget() renames over the target and makes the rename
// durable. A DurableFile that is not placed removes its temporary file.
class DurableFile {
public:
    explicit DurableFile(QString target);
    ~DurableFile();
    DurableFile(const DurableFile &) = delete;
    DurableFile &operator=(const DurableFile &) = delete;

    // Mode of every file made here: read and write for the owner only.
    static constexpr QFileDevice::Permissions PrivateFileMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    // Name of the temporary files beside target: target + TemporaryInfix + a
    // random part.
    static inline const QString TemporaryInfix = QStringLiteral(".part-");

    // Creates the temporary file beside the target (never an existing one),
    // owner-only; a target already there with a stricter mode passes it on.
    bool open();
    // True only when every byte was written.
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &bytes) { return write(bytes.constData(), bytes.size()); }
    // Forces the written bytes to the disk and closes the temporary file.
    bool finish();
    // Renames the finished temporary file over the target, then syncs the
    // directory so the rename survives a power cut.
    bool replaceTarget();
    // Removes the temporary file; the target stays as it was.
    void discard();

    QString target() const { return m_target; }
    QString temporaryPath() const { return m_file.fileName(); }
    // The last failure was a full disk (or an exhausted quota).
    bool diskFull() const { return m_diskFull; }
    QString errorString() const { return m_error; }

    // Writes bytes to path durably and atomically in one go.
    static bool WriteWhole(const QString &path, const QByteArray &bytes, bool *diskFull = nullptr);
    // Renames from over to, replacing to when it exists.
    static bool RenameReplacing(const QString &from, const QString &to);
    // Makes the entries of a directory (renames, removals) durable.
    static bool SyncDirectory(const QString &directory);

private:
    bool fail(int error);

    QString m_target;
    QFile m_file;
    bool m_diskFull = false;
    bool m_placed = false;
    QString m_error;
};
