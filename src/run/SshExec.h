#pragma once

#include <memory>

#include "run/Transport.h"
#include "ssh/SshDumpTypes.h"
#include "tasks/BackupTask.h"

class Clock;
class MemorySink;
class LanguageTexts;
class SshJobRunner;

// The SSH transport of a run: the dump command runs on the host over one
// encrypted connection and its output streams straight into the task's
// stored backup (day subdirectory, compression, checksum, rotation), which
// replaces the previous one only when the dump is whole. Nothing is written
// on the host, so the run needs no retrieval. The connection, the host key
// check, the login and the stream run on a worker thread.
class SshExec final : public Transport {
    Q_OBJECT
public:
    SshExec(const LanguageTexts &texts, const Clock &clock, SshClientSettings settings = {}, QObject *parent = nullptr);
    ~SshExec() override;

    void start(const BackupTask &task) override;
    void cancel() override;
    void startListing(const BackupTask &task) override;

signals:
    void received(qint64 bytes);  // of the dump so far; its total is unknown

private:
    // A runner whose login steps become protocol lines.
    void makeRunner();
    void finish(const SshDumpResult &result);
    void end(TransportResult result);

    const LanguageTexts &m_texts;
    const Clock &m_clock;
    SshClientSettings m_settings;
    BackupTask m_task;
    std::unique_ptr<SshJobRunner> m_runner;
    QString m_storedFile;
    std::shared_ptr<MemorySink> m_listing;  // a listing's output; null for a dump
    bool m_connected = false;
    bool m_running = false;
};
