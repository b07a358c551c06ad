#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "offsite/OffsiteTarget.h"
#include "tasks/BackupTask.h"

class ToolProcess;

// "Test destination": rclone writes a small file to the destination, reads
// it back and removes it; restic lists the repository's snapshots and names
// this task's last one. finished() follows exactly once unless cancelled.
class OffsiteProbe : public QObject {
    Q_OBJECT
public:
    OffsiteProbe(const BackupTask &task, bool german, QObject *parent = nullptr);
    ~OffsiteProbe() override;
    void start();
    void cancel();

signals:
    // ok: the destination took, gave back and removed the file, or the
    // repository answered. report: what was found, lines in the interface
    // language, for a message box.
    void finished(bool ok, const QString &report);

private:
    void step();
    void fail(const QString &why);

    BackupTask m_task;
    OffsiteTarget m_target;
    bool m_german;
    std::unique_ptr<ToolProcess> m_tool;
    QString m_probeFile;
    QString m_remoteName;
    QString m_report;
    int m_stage = 0;
    bool m_done = false;
};
