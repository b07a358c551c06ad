#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <thread>

#include "restore/RestoreOptions.h"
#include "restore/TestRestore.h"
#include "storage/StoredBackups.h"

// The check of one stored backup: its checksum (read on a thread of its
// own), then a test restore. Says each step as a protocol line; finished()
// follows exactly once. passed: the checksum did not contradict the file
// and the test restore passed.
class BackupCheck : public QObject {
    Q_OBJECT
public:
    BackupCheck(RestoreOptions options, bool german, QObject *parent = nullptr);
    ~BackupCheck() override;

    void start(const QString &storedFile);
    void cancel();

    ChecksumState checksum() const { return m_checksum; }
    const TestRestoreResult &restore() const { return m_restore; }

signals:
    void protocolLine(const QString &text);
    // Of the test restore's load: how far into the stored file (of 1000).
    void progress(int permille);
    void finished(bool passed);

private:
    void checksummed(ChecksumState state, const QString &detail);
    void restored(const TestRestoreResult &result);

    RestoreOptions m_options;
    bool m_german;
    QString m_file;
    std::thread m_worker;
    std::unique_ptr<TestRestore> m_test;
    ChecksumState m_checksum = ChecksumState::Missing;
    TestRestoreResult m_restore;
    bool m_cancelled = false;
};
