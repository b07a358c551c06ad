#pragma once

#include <atomic>
#include <mutex>

#include "ssh/SshDumpTypes.h"

class DumpSink;
class SshConnection;

// One remote command over SSH with its standard output streamed into a sink:
// connect, check the host key, log in, run the command on an exec channel,
// write the request's standard input and end it, then stream the output.
// The sink is committed only when the command exited with 0, the output
// ended in order and (for a dump) carries the completion line; otherwise it
// is aborted and the previous backup stays.
//
// run() blocks: call it on a worker thread. cancel() may come from any
// thread and makes run() return soon with SshFailure::Cancelled.
class SshDumpJob {
public:
    explicit SshDumpJob(SshDumpRequest request);
    ~SshDumpJob();
    SshDumpJob(const SshDumpJob &) = delete;
    SshDumpJob &operator=(const SshDumpJob &) = delete;

    SshDumpResult run(DumpSink &sink, SshDumpObserver *observer = nullptr);
    void cancel();
    bool isCancelled() const { return m_cancelled; }

private:
    void stream(SshConnection &connection, DumpSink &sink, SshDumpObserver &observer, SshDumpResult &result);

    SshDumpRequest m_request;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_mutex;
    SshConnection *m_connection = nullptr;  // while run() has one
};
