#pragma once

#include <QObject>
#include <cstdio>

#include "cli/CommandLine.h"

class TaskStore;

// Exit statuses of the command line.
namespace ExitStatus {
constexpr int Stored = 0;   // done; for a run: the backup was stored
constexpr int Failed = 1;   // a run failed, or the output could not be written
constexpr int Usage = 2;    // usage error or unknown task
constexpr int Busy = 3;     // the task was running elsewhere and did not finish in time
}

// The program as started from a shell or a timer: answers one request on
// standard output and ends with an exit status. Needs a QCoreApplication,
// never a display.
class CommandLineProgram : public QObject {
    Q_OBJECT
public:
    CommandLineProgram(CommandLineRequest request, TaskStore &store, bool german,
                       FILE *out = stdout, FILE *err = stderr, QObject *parent = nullptr);

    // The exit status of a request answered at once; -1 when it goes on in
    // the event loop and ends with finished().
    int start();

signals:
    void finished(int exitStatus);

private:
    int list();
    bool write(FILE *stream, const QString &text);
    QString pick(const char *english, const char *german) const;

    CommandLineRequest m_request;
    TaskStore &m_store;
    bool m_german;
    FILE *m_out;
    FILE *m_err;
};
