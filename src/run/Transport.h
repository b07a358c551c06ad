#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct BackupTask;

// How a transport's part of a run ended.
struct TransportResult {
    // A session with the host was reached; its end was handled (protocol
    // line) and the run goes on to its outcome.
    bool sessionOpened = false;
    // The host finished the dump: retrieval may fetch it.
    bool dumpCompleted = false;
    // Set by a transport that brought the dump home itself: the file that
    // holds it, so the run skips retrieval.
    QString storedFile;
    // Why the run failed, for the outcome; empty on success.
    QString reason;
    // Said after the failure mark in the task's Message; empty: the mark and
    // the time alone, as for telnet.
    QString message;
    // The dump's file on the host (in remotedir) when the transport left one
    // there; it is removed once fetched. Empty: nothing left on the host.
    QString remoteFile;
    // A listing's end: the user's databases on the host, system schemas left out.
    QStringList databases;
};
Q_DECLARE_METATYPE(TransportResult)

// The stage of a run that has the host make the dump. start() returns at
// once; everything after it comes as signals, finished() exactly once per
// start (possibly before start() returns, when there is nothing to do).
class Transport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start(const BackupTask &task) = 0;
    // Ends the session from any phase; finished() follows.
    virtual void cancel() = 0;
    // After the dump was fetched: removes file (a result's remoteFile) from
    // the host. finished() follows; its dumpCompleted tells that the host
    // confirmed the removal. false: this transport cannot, nothing follows.
    virtual bool startRemoval(const BackupTask &, const QString &) { return false; }
    // Before the dumps of a task for "*": lists the databases the task's
    // database login may see, through the host's client. finished() follows;
    // dumpCompleted tells that the list is whole, databases holds it.
    virtual void startListing(const BackupTask &task) = 0;

signals:
    void protocolLine(const QString &text);       // a status line of the run
    void lineSent(const QString &logText);         // for the log file, passwords masked
    void progress(int position);                   // run steps, 0..100
    void negotiation(const QString &text);         // telnet option exchange, for the status bar
    void finished(const TransportResult &result);
};

// Makes the transport for a run of a task.
using TransportFactory = std::function<std::unique_ptr<Transport>(const BackupTask &)>;
