#include "restore/TestRestore.h"

#include <QFileInfo>

#include "restore/RestoreTexts.h"
#include "restore/ThrowawayServer.h"

QString TestRestoreLine(const TestRestoreResult &result, bool german)
{
    switch (result.status) {
    case TestRestoreResult::Status::Passed:
        return RestoreTexts::passed(result.tables, result.rows, result.ms, german);
    case TestRestoreResult::Status::NoServer:
        return RestoreTexts::noServer(german);
    case TestRestoreResult::Status::Failed:
    case TestRestoreResult::Status::Cancelled:
        break;
    }
    return RestoreTexts::failed(result.reason, german);
}

const QString TestRestore::Database = QStringLiteral("restore_test");

TestRestore::TestRestore(RestoreOptions options, bool german, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_german(german), m_feed(german)
{
    m_feed.setObserver([this](const QByteArray &chunk) { m_scan.feed(chunk); });
    connect(&m_feed, &ClientFeed::progress, this, &TestRestore::progress);
    connect(&m_feed, &ClientFeed::finished, this, &TestRestore::loaded);
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        end(TestRestoreResult::Status::Failed, RestoreTexts::timeLimit(m_options.limitMs, m_german));
    });
    connect(&m_client, &QProcess::finished, this, &TestRestore::clientFinished);
    ClientFeed::watch(m_client, this, m_stderr,
                      [this](const QString &why) { end(TestRestoreResult::Status::Failed, why); });
}

TestRestore::~TestRestore()
{
    disconnect(&m_client, nullptr, this, nullptr);
    if (m_client.state() != QProcess::NotRunning) {
        m_client.kill();
        m_client.waitForFinished(5000);
    }
    // The server's own end removes its folder.
    m_server.reset();
}

void TestRestore::start(const QString &storedFile)
{
    m_file = storedFile;
    m_result = {};
    m_clock.start();
    const RestorePrograms programs = RestorePrograms::find(m_options.serverProgram);
    if (!programs.found()) {
        m_phase = Phase::Stopping;
        m_result.status = TestRestoreResult::Status::NoServer;
        QTimer::singleShot(0, this, [this] {
            m_phase = Phase::Idle;
            emit finished(m_result);
        });
        return;
    }
    // Before a server is started for it.
    StoredDumpReader probe;
    if (!probe.open(storedFile)) {
        m_phase = Phase::Server;  // so end() winds down as from any phase
        const QString reason = RestoreTexts::cannotRead(storedFile, probe.errorString(), m_german);
        QTimer::singleShot(0, this, [this, reason] { end(TestRestoreResult::Status::Failed, reason); });
        return;
    }
    m_phase = Phase::Server;
    m_limit.start(m_options.limitMs);
    m_server = std::make_unique<ThrowawayServer>(programs, m_options, m_german);
    connect(m_server.get(), &ThrowawayServer::ready, this, &TestRestore::serverReady);
    connect(m_server.get(), &ThrowawayServer::failed, this,
            [this](const QString &reason) { end(TestRestoreResult::Status::Failed, reason); });
    connect(m_server.get(), &ThrowawayServer::stopped, this, [this] {
        m_phase = Phase::Idle;
        emit finished(m_result);
    });
    m_server->start();
}

void TestRestore::cancel()
{
    end(TestRestoreResult::Status::Cancelled, RestoreTexts::cancelled(m_german));
}

void TestRestore::serverReady()
{
    m_phase = Phase::Create;
    runClient(m_server->clientArguments(), "CREATE DATABASE " + DumpTableScan::quoted(Database).toUtf8() + ";\n");
}

void TestRestore::runClient(const QStringList &arguments, const QByteArray &input)
{
    m_stderr.clear();
    m_client.start(m_server->programs().client, arguments);
    m_client.write(input);
    m_client.closeWriteChannel();
}

void TestRestore::clientFinished(int exitCode, QProcess::ExitStatus status)
{
    m_stderr += m_client.readAllStandardError();
    const bool ok = status == QProcess::NormalExit && exitCode == 0;
    switch (m_phase) {
    case Phase::Create:
        if (!ok) {
            end(TestRestoreResult::Status::Failed, ClientFeed::firstErrorLine(m_stderr, exitCode, m_german));
            return;
        }
        m_phase = Phase::Load;
        m_feed.start(m_server->programs().client, m_server->clientArguments(Database), m_file);
        return;
    case Phase::Count:
        if (!ok && m_stderr.isEmpty()) {
            end(TestRestoreResult::Status::Failed, ClientFeed::firstErrorLine(m_stderr, exitCode, m_german));
            return;
        }
        counted(m_client.readAllStandardOutput());
        return;
    default:
        return;
    }
}

void TestRestore::loaded(bool ok, const QString &reason)
{
    if (m_phase != Phase::Load)
        return;
    if (!ok) {
        end(TestRestoreResult::Status::Failed, reason);
        return;
    }
    m_scan.finish();
    count();
}

void TestRestore::count()
{
    m_phase = Phase::Count;
    // By number, not name: a name may hold what the client's batch output escapes.
    QByteArray statements;
    const QList<DumpTableScan::Table> &tables = m_scan.tables();
    for (qsizetype i = 0; i < tables.size(); ++i) {
        const QString db = tables[i].database.isEmpty() ? Database : tables[i].database;
        statements += QStringLiteral("SELECT %1, COUNT(*) FROM %2.%3;\n")
                          .arg(i)
                          .arg(DumpTableScan::quoted(db), DumpTableScan::quoted(tables[i].name))
                          .toUtf8();
    }
    if (statements.isEmpty())
        statements = "SELECT 1 FROM DUAL WHERE 0;\n";
    runClient(m_server->clientArguments() + QStringList{QStringLiteral("--batch"), QStringLiteral("--skip-column-names"),
                                                        QStringLiteral("--force")},
              statements);
}

void TestRestore::counted(const QByteArray &output)
{
    const QList<DumpTableScan::Table> &tables = m_scan.tables();
    QList<bool> seen(tables.size(), false);
    qint64 rows = 0;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        bool okIndex = false, okCount = false;
        if (fields.size() != 2)
            continue;
        const int i = fields[0].toInt(&okIndex);
        const qint64 n = fields[1].trimmed().toLongLong(&okCount);
        if (okIndex && okCount && i >= 0 && i < tables.size()) {
            seen[i] = true;
            rows += n;
        }
    }
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (!seen[i]) {
            const QString name = tables[i].database.isEmpty()
                ? tables[i].name
                : tables[i].database + QLatin1Char('.') + tables[i].name;
            end(TestRestoreResult::Status::Failed, RestoreTexts::missingTable(name, m_german));
            return;
        }
    }
    m_result.tables = int(tables.size());
    m_result.rows = rows;
    end(TestRestoreResult::Status::Passed);
}

void TestRestore::end(TestRestoreResult::Status status, const QString &reason)
{
    if (m_phase == Phase::Idle || m_phase == Phase::Stopping)
        return;
    m_phase = Phase::Stopping;
    m_limit.stop();
    m_result.status = status;
    m_result.reason = status == TestRestoreResult::Status::Passed ? QString() : reason;
    m_result.ms = m_clock.elapsed();
    m_feed.cancel();
    if (m_client.state() != QProcess::NotRunning) {
        m_client.kill();
        m_client.waitForFinished(5000);
    }
    if (!m_server) {
        QTimer::singleShot(0, this, [this] {
            m_phase = Phase::Idle;
            emit finished(m_result);
        });
        return;
    }
    m_server->stop();
}
