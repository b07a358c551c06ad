#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

class TaskStore;
struct RunOutcome;

// What a monitoring system scrapes of each task (node_exporter's textfile
// collector reads the file): when it last stored a backup, whether its last
// run did, and how large its newest stored backup is.
struct TaskMetrics {
    QString task;
    QDateTime lastSuccess;        // invalid: never
    bool ran = false;
    bool lastRunSucceeded = false;
    qint64 lastBackupBytes = -1;  // -1: none stored
};

namespace MetricsFile {

// Prometheus's text format, each metric with its HELP and TYPE.
QByteArray text(const QList<TaskMetrics> &tasks);

// Every task of the store as its record says; latest, a run that just
// ended, counts over its record, which the command line writes only after.
QList<TaskMetrics> collect(const TaskStore &store, const RunOutcome *latest, const QDateTime &now);

// Rewrites path whole and durably; readable by the collector (no secret is
// in it). false: the file is as it was.
bool write(const QString &path, const QList<TaskMetrics> &tasks);

} // namespace MetricsFile
