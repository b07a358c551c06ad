#pragma once

#include <QElapsedTimer>
#include <QMetaType>
#include <QObject>
#include <QProcess>
#include <QTimer>
#include <memory>

#include "restore/ClientFeed.h"
#include "restore/DumpTableScan.h"
#include "restore/RestoreOptions.h"

class ThrowawayServer;

struct TestRestoreResult {
    enum class Status { Passed, Failed, NoServer, Cancelled };
    Status status = Status::Failed;
    int tables = 0;
    qint64 rows = 0;
    qint64 ms = 0;
    QString reason;  // Failed: the client's first error line, or what else went wrong
    bool passed() const { return status == Status::Passed; }
};
Q_DECLARE_METATYPE(TestRestoreResult)

// The protocol line that says how a test restore ended.
QString TestRestoreLine(const TestRestoreResult &result, bool german);

// Proves that a stored backup loads: a throwaway local server, the dump
// streamed into it through the client (unpacked on the way), then every
// table the dump creates counted. start() returns at once; finished()
// follows exactly once, after the server is gone and its folder removed.
class TestRestore : public QObject {
    Q_OBJECT
public:
    TestRestore(RestoreOptions options, bool german, QObject *parent = nullptr);
    ~TestRestore() override;

    void start(const QString &storedFile);
    // Breaks the test off; finished() says Cancelled.
    void cancel();

    // The database a dump without "USE" is loaded into.
    static const QString Database;

signals:
    // Unpacked bytes loaded, and how far into the stored file (of 1000).
    void progress(qint64 sent, int permille);
    void finished(const TestRestoreResult &result);

private:
    enum class Phase { Idle, Server, Create, Load, Count, Stopping };
    void serverReady();
    void runClient(const QStringList &arguments, const QByteArray &input);
    void clientFinished(int exitCode, QProcess::ExitStatus status);
    void loaded(bool ok, const QString &reason);
    void count();
    void counted(const QByteArray &output);
    void end(TestRestoreResult::Status status, const QString &reason = QString());

    RestoreOptions m_options;
    bool m_german;
    QString m_file;
    Phase m_phase = Phase::Idle;
    std::unique_ptr<ThrowawayServer> m_server;
    QProcess m_client;
    QByteArray m_stderr;
    ClientFeed m_feed;
    DumpTableScan m_scan;
    QTimer m_limit;
    QElapsedTimer m_clock;
    TestRestoreResult m_result;
};
