#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include "RequirePeer.h"
#include "FakeClock.h"
#include "RecordingProtocolView.h"
#include "SshServerFixture.h"
#include "engine/ProtocolLog.h"
#include "shell/LanguageTexts.h"
#include "FakeRetriever.h"
#include "RecordingRunEvents.h"
#include "run/BackupRun.h"
#include "run/SshExec.h"
#include "storage/StoreTexts.h"
#include "storage/StoredBackups.h"
#include "storage/StoredDumpReader.h"
#include "ssh/StoredDumpSink.h"
#include "ssh/KnownHosts.h"
#include "ssh/SshDumpCommand.h"
#include "ssh/SshDumpJob.h"
#include "ssh/SshTexts.h"
#include "retrieval/ByteCount.h"
#include "tasks/BackupTask.h"

namespace {

struct StepRecorder : SshDumpObserver {
    QStringList steps;
    std::atomic<qint64> bytes{0};
    void connected() override { steps << QStringLiteral("connected"); }
    void hostKeyVerified(const QString &fp) override { steps << QStringLiteral("hostkey ") + fp; }
    void authenticated(SshAuthMethod, const QString &) override { steps << QStringLiteral("authenticated"); }
    void commandStarted() override { steps << QStringLiteral("started"); }
    void received(qint64 total) override { bytes = total; }
};

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(content), content.size());
}

} // namespace

class TstSshDump : public QObject {
    Q_OBJECT

private:
    SshServerFixture m_server;
    QTemporaryDir m_local;
    BackupTask m_task;

    QString knownHosts() const { return m_local.filePath(QStringLiteral("known_hosts")); }
    QString target() const { return m_local.filePath(QStringLiteral("backup.sql")); }

    SshDumpRequest request(const QString &database)
    {
        SshDumpRequest r;
        r.host = m_server.host();
        r.port = m_server.port();
        r.user = m_server.user();
        r.keyFile = m_server.clientKey();
        r.knownHostsFile = knownHosts();
        r.sshDirectory = m_local.filePath(QStringLiteral("nokeys"));  // no default keys
        m_task.database = database;
        r.command = SshDumpCommand(m_task);
        r.standardInput = SshDumpOptionFile(m_task);
        r.limits.connectTimeoutMs = 5000;
        r.limits.replyTimeoutS = 10;
        return r;
    }
    // The fixture's task as a run over the test server logs in with it.
    BackupTask sshTask(const QString &database) const
    {
        BackupTask task = m_task;
        task.host = m_server.host();
        task.hostuser = m_server.user();
        task.transport = 1;
        task.sshport = m_server.port();
        task.sshkey = m_server.clientKey();
        task.database = database;
        return task;
    }
    QStringList leftovers() const
    {
        return QDir(m_local.path()).entryList({QStringLiteral("*.part-*")}, QDir::Files);
    }

private slots:
    void initTestCase()
    {
        qunsetenv("SSH_AUTH_SOCK");  // only the agent a test starts
        if (!m_server.start())
            VW_SKIP(qPrintable(QStringLiteral("no sshd here: ") + m_server.errorString()));
        putFile(knownHosts(), m_server.knownHostsLine() + '\n');
        m_task = BackupTask::withDefaults(QStringLiteral("shop"));
        m_task.mysql = QStringLiteral("db.internal");
        m_task.dbuser = QStringLiteral("shop user");
        m_task.dbpw = QStringLiteral(" se#cr\"et\\pw ");
    }

    void passwordTravelsOnlyInTheOptionFile()
    {
        BackupTask task = m_task;
        task.database = QStringLiteral("shop");
        QCOMPARE(SshDumpCommand(task),
                 QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h db.internal --user='shop user' shop"));
        QCOMPARE(SshDumpOptionFile(task), QByteArray("[client]\npassword=\" se#cr\\\"et\\\\pw \"\n"));
        task.dbuser.clear();
        QCOMPARE(SshDumpCommand(task), QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h db.internal shop"));
    }

    void dumpStreamsByteExactIntoTheTarget()
    {
        QByteArray dump = "-- MySQL dump 10.19\n";
        QRandomGenerator random(7);
        while (dump.size() < 3 * 1024 * 1024) {
            const quint32 word = random.generate();
            dump.append(reinterpret_cast<const char *>(&word), sizeof word);
        }
        dump += "\n-- Dump completed on 2026-12-08 10:00:00\n";
        m_server.setDump(dump);
        putFile(target(), "previous backup");

        SshDumpJob job(request(QStringLiteral("shop")));
        StoredDumpSink sink(target(), StoreOptions());
        StepRecorder steps;
        const SshDumpResult result = job.run(sink, &steps);

        QVERIFY2(result.succeeded(), qPrintable(result.detail + m_server.serverLog()));
        QVERIFY(fileContent(target()) == dump);
        QCOMPARE(result.bytes, dump.size());
        QVERIFY(result.exitStatusKnown && result.exitStatus == 0 && result.streamEnded && result.complete);
        QCOMPARE(result.authMethod, SshAuthMethod::KeyFile);
        QCOMPARE(result.fingerprint, m_server.hostKeyFingerprint());
        QCOMPARE(steps.steps, QStringList({QStringLiteral("connected"), QStringLiteral("hostkey ") + result.fingerprint,
                                           QStringLiteral("authenticated"), QStringLiteral("started")}));
        QCOMPARE(steps.bytes.load(), dump.size());
        QVERIFY(leftovers().isEmpty());

        // The password is on the command's standard input and nowhere else.
        const QStringList args = m_server.lastArguments();
        QCOMPARE(args, QStringList({QStringLiteral("--defaults-extra-file=/dev/stdin"), QStringLiteral("-h"),
                                    QStringLiteral("db.internal"), QStringLiteral("--user=shop user"),
                                    QStringLiteral("shop")}));
        QCOMPARE(m_server.lastStandardInput(), SshDumpOptionFile(m_task));
        QVERIFY(!m_server.lastEnvironment().contains("se#cr"));
    }

    void hostKeyMustBeKnownAndUnchanged()
    {
        const int calls = m_server.callCount();
        const QString fresh = m_local.filePath(QStringLiteral("ssh/known_hosts"));  // neither file nor directory yet
        SshDumpRequest r = request(QStringLiteral("--version"));
        r.knownHostsFile = fresh;
        r.expectDump = false;
        {
            SshDumpJob job(r);
            MemorySink sink;
            const SshDumpResult unknown = job.run(sink);
            QCOMPARE(unknown.failure, SshFailure::HostKeyUnknown);
            QCOMPARE(unknown.fingerprint, m_server.hostKeyFingerprint());
            QCOMPARE(unknown.knownHostsEntry, m_server.knownHostsLine());
            QCOMPARE(unknown.authMethod, SshAuthMethod::None);  // no secret offered to an unknown host
            QString error;
            QVERIFY2(AcceptHostKey(fresh, unknown.knownHostsEntry, &error), qPrintable(error));
        }
        {
            SshDumpJob job(r);
            MemorySink sink;
            const SshDumpResult accepted = job.run(sink);
            QVERIFY2(accepted.succeeded(), qPrintable(accepted.detail));
            QVERIFY(sink.data().startsWith("mysqldump  Ver"));
        }
        // Another key for the same host: refused, however often it is tried.
        putFile(fresh, m_server.knownHostsLine(true) + '\n');
        SshDumpJob job(r);
        MemorySink sink;
        const SshDumpResult changed = job.run(sink);
        QCOMPARE(changed.failure, SshFailure::HostKeyChanged);
        QCOMPARE(changed.fingerprint, m_server.hostKeyFingerprint());
        QCOMPARE(fileContent(fresh), m_server.knownHostsLine(true) + '\n');
        QCOMPARE(m_server.callCount(), calls + 1);
    }

    void eachAuthenticationMethod_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("expected");
        QTest::newRow("key file") << "keyfile" << int(SshAuthMethod::KeyFile);
        QTest::newRow("agent") << "agent" << int(SshAuthMethod::Agent);
        QTest::newRow("default key") << "default" << int(SshAuthMethod::DefaultKey);
        QTest::newRow("password") << "password" << int(SshAuthMethod::Password);
        QTest::newRow("keyboard-interactive") << "kbdint" << int(SshAuthMethod::KeyboardInteractive);
        QTest::newRow("wrong password") << "wrong" << int(SshAuthMethod::None);
    }
    void eachAuthenticationMethod()
    {
        QFETCH(QString, method);
        QFETCH(int, expected);
        SshDumpRequest r = request(QStringLiteral("--version"));
        r.expectDump = false;
        // A key the server does not know comes first wherever a key file is not the point.
        r.keyFile = method == QLatin1String("keyfile") ? m_server.clientKey() : m_server.unauthorizedKey();
        if (method == QLatin1String("agent")) {
            r.agentSocket = m_server.startAgent();
            QVERIFY(!r.agentSocket.isEmpty());
        } else if (method == QLatin1String("default")) {
            r.sshDirectory = m_local.filePath(QStringLiteral("defaultkeys"));
            QVERIFY(QDir().mkpath(r.sshDirectory));
            QFile::remove(r.sshDirectory + QStringLiteral("/id_ed25519"));
            QVERIFY(QFile::copy(m_server.clientKey(), r.sshDirectory + QStringLiteral("/id_ed25519")));
        } else if (method != QLatin1String("keyfile")) {
            if (!m_server.hasPasswordLogin())
                VW_SKIP("sshd runs without its own user database here (needs root and a mount namespace)");
            r.password = method == QLatin1String("wrong") ? QStringLiteral("not it") : m_server.password();
            if (method == QLatin1String("kbdint"))
                r.user = m_server.keyboardInteractiveUser();
        }
        SshDumpJob job(r);
        MemorySink sink;
        const SshDumpResult result = job.run(sink);
        QCOMPARE(int(result.authMethod), expected);
        if (expected == int(SshAuthMethod::None)) {
            QCOMPARE(result.failure, SshFailure::Authentication);
            QCOMPARE(SshTexts::failure(result, r.host, r.port, false),
                     QStringLiteral("SSH: login refused by 127.0.0.1:%1 (tried: key file, password, "
                                    "keyboard-interactive password)").arg(r.port));
        } else {
            QVERIFY2(result.succeeded(), qPrintable(result.detail + m_server.serverLog()));
            QVERIFY(sink.data().startsWith("mysqldump  Ver"));
        }
    }

    void failedDumpKeepsPreviousBackup_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<int>("failure");
        QTest::newRow("exit status 2") << "broken" << int(SshFailure::ExitStatus);
        QTest::newRow("escape sequences on stderr") << "escapes" << int(SshFailure::ExitStatus);
        QTest::newRow("a whole dump, but an error status") << "tablespaces" << int(SshFailure::ExitStatus);
        QTest::newRow("connection cut mid-stream") << "cutoff" << int(SshFailure::StreamCut);
        QTest::newRow("no completion line") << "nocompletion" << int(SshFailure::Incomplete);
        QTest::newRow("larger than the limit") << "toolarge" << int(SshFailure::TooLarge);
    }
    void failedDumpKeepsPreviousBackup()
    {
        QFETCH(QString, database);
        QFETCH(int, failure);
        m_server.setDump(QByteArray(200000, 'x') + "\n-- the end, but not mysqldump's\n");
        putFile(target(), "previous backup");
        SshDumpRequest r = request(database == QLatin1String("toolarge") ? QStringLiteral("shop") : database);
        if (database == QLatin1String("toolarge"))
            r.limits.maxBytes = 100000;
        SshDumpJob job(r);
        StoredDumpSink sink(target(), StoreOptions());
        const SshDumpResult result = job.run(sink);
        QCOMPARE(int(result.failure), failure);
        QCOMPARE(fileContent(target()), QByteArray("previous backup"));
        if (database == QLatin1String("toolarge"))
            QVERIFY(SshTexts::failure(result, QString(), 22, false).contains(FormatByteCount(100000)));
        QVERIFY(leftovers().isEmpty());
        if (database == QLatin1String("broken")) {
            QCOMPARE(result.exitStatus, 2);
            QVERIFY(result.lastStderrLine().startsWith(QStringLiteral("mysqldump: Got error: 1045")));
        }
        if (database == QLatin1String("cutoff"))
            QVERIFY(!result.streamEnded && result.bytes > 0);
        if (database == QLatin1String("tablespaces")) {
            // MySQL 8.0.21 and later on a shared host: the Message names the fix.
            QVERIFY(result.complete);
            const QString line = SshTexts::failure(result, m_server.host(), m_server.port(), false);
            QVERIFY2(line.endsWith(QStringLiteral("when trying to dump tablespaces - add --no-tablespaces to the dump options")),
                     qPrintable(line));
        }
        if (database == QLatin1String("escapes")) {
            // The protocol line keeps the words and none of the host's terminal control.
            const QString line = SshTexts::failure(result, m_server.host(), m_server.port(), false);
            QVERIFY2(line.endsWith(QStringLiteral(": mysqldump: Got error: 1045 Access denied")), qPrintable(line));
        }
    }

    void cancelEndsRunAndKeepsPreviousBackup()
    {
        putFile(target(), "previous backup");
        SshDumpJob job(request(QStringLiteral("endless")));
        StoredDumpSink sink(target(), StoreOptions());
        StepRecorder steps;
        SshDumpResult result;
        std::thread worker([&] { result = job.run(sink, &steps); });
        QTRY_VERIFY_WITH_TIMEOUT(steps.bytes > 1000, 10000);
        job.cancel();
        worker.join();
        QCOMPARE(result.failure, SshFailure::Cancelled);
        QCOMPARE(fileContent(target()), QByteArray("previous backup"));
        QVERIFY(leftovers().isEmpty());
    }

    // "*": the host's client lists the databases over the same login, its
    // password in the option file on its input; the server's own are left out.
    void listingNamesTheUsersDatabases()
    {
        LanguageTexts texts;
        texts.refill();
        FakeClock clock;
        const BackupTask task = sshTask(QStringLiteral("*"));
        SshClientSettings settings;
        settings.knownHostsFile = knownHosts();
        settings.sshDirectory = m_local.filePath(QStringLiteral("nokeys"));
        SshExec exec(texts, clock, settings);
        QSignalSpy finished(&exec, &Transport::finished);
        exec.startListing(task);
        QVERIFY(finished.wait(15000));
        const TransportResult r = finished.at(0).at(0).value<TransportResult>();
        QVERIFY2(r.dumpCompleted, qPrintable(r.reason));
        QCOMPARE(r.databases, QStringList({QStringLiteral("shop"), QStringLiteral("blog")}));
        QCOMPARE(m_server.lastClientInput(), SshDumpOptionFile(task));
    }

    // The host compresses (its zstd): whatever the task stores, the file
    // unpacks to the dump; a failing mysqldump or a cut stream keeps the
    // previous backup though the compressor ended well.
    void hostCompressedStreamsStoreTheDump_data()
    {
        QTest::addColumn<int>("compress");
        QTest::addColumn<QString>("database");
        QTest::newRow("stored plain") << 0 << "shop";
        QTest::newRow("stored gzip") << 1 << "shop";
        QTest::newRow("stored zstd, as it came") << 2 << "shop";
        QTest::newRow("mysqldump status 2") << 2 << "broken";
        QTest::newRow("cut mid-frame") << 2 << "cutoff";
    }
    void hostCompressedStreamsStoreTheDump()
    {
        QFETCH(int, compress);
        QFETCH(QString, database);
        if (QStandardPaths::findExecutable(QStringLiteral("zstd")).isEmpty())
            VW_SKIP("zstd is not installed");
        QByteArray dump = "-- MySQL dump\n";
        for (int i = 0; dump.size() < 1'500'000; ++i)
            dump += "INSERT INTO t VALUES (" + QByteArray::number(i) + ",'row " + QByteArray::number(i * 7919 % 10007) + "');\n";
        dump += "-- Dump completed on 2027-03-05  3:00:00\n";
        m_server.setDump(dump);
        LanguageTexts texts;
        texts.refill();
        FakeClock clock(QDateTime(QDate(2027, 3, 5), QTime(3, 0)));
        ProtocolLog log(texts, clock);
        RecordingProtocolView view;
        log.setView(&view);
        RecordingRunEvents events;
        FakeRetriever retriever;
        BackupTask task = sshTask(database);
        task.backupfile = QStringLiteral("packed.sql");
        task.localdir = m_local.filePath(QStringLiteral("packed"));
        task.compress = compress;
        task.hostcompress = QStringLiteral("auto");
        QVERIFY(QDir().mkpath(task.localdir));
        const QString stored = task.localdir + QStringLiteral("/packed.sql") + CompressionSuffix(CompressionFromSetting(compress));
        putFile(stored, "previous backup");
        SshClientSettings settings;
        settings.knownHostsFile = knownHosts();
        settings.sshDirectory = m_local.filePath(QStringLiteral("nokeys"));
        BackupRun run(task, std::make_unique<SshExec>(texts, clock, settings), retriever, log, texts, events);
        QSignalSpy finished(&run, &BackupRun::finished);
        run.start();
        QVERIFY(finished.wait(15000));
        const RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        if (database != QLatin1String("shop")) {
            QVERIFY(!outcome.success);
            QCOMPARE(fileContent(stored), QByteArray("previous backup"));
            return;
        }
        QVERIFY2(outcome.success, qPrintable(outcome.reason));
        StoredDumpReader in;
        QVERIFY(in.open(stored));
        QByteArray unpacked;
        while (!in.atEnd())
            unpacked += in.read();
        QVERIFY(!in.failed());
        QVERIFY(unpacked == dump);
        QCOMPARE(VerifyChecksum(stored), ChecksumState::Matches);
        // What crossed the wire was the packed stream, a fraction of the dump.
        const QString received = view.messages().filter(QStringLiteral("dump finished")).value(0);
        QVERIFY2(!received.isEmpty() && !received.contains(FormatByteCount(dump.size())), qPrintable(received));
    }

    void taskRunStoresIntoTheDaySubdirectoryAndReportsEachStep_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<bool>("knownHost");
        QTest::newRow("stored") << "shop" << true;
        QTest::newRow("exit status 2") << "broken" << true;
        QTest::newRow("no completion line") << "nocompletion" << true;
        QTest::newRow("unknown host key") << "shop" << false;
        QTest::newRow("cancelled") << "endless" << true;
    }
    void taskRunStoresIntoTheDaySubdirectoryAndReportsEachStep()
    {
        QFETCH(QString, database);
        QFETCH(bool, knownHost);
        const QByteArray dump = "-- MySQL dump\nINSERT INTO t VALUES (1);\n-- Dump completed on 2027-03-05  3:00:00\n";
        m_server.setDump(database == QLatin1String("nocompletion") ? dump.first(dump.indexOf("-- Dump")) : dump);
        LanguageTexts texts;
        texts.Language = 1;
        texts.refill();
        FakeClock clock(QDateTime(QDate(2027, 3, 5), QTime(3, 0)));
        ProtocolLog log(texts, clock);
        RecordingProtocolView view;
        log.setView(&view);
        RecordingRunEvents events;
        FakeRetriever retriever;
        BackupTask task = sshTask(database);
        task.backupfile = QStringLiteral("shop.sql");
        task.localdir = m_local.filePath(QStringLiteral("daily"));
        task.subdirectory = true;
        QVERIFY(QDir().mkpath(task.localdir + QStringLiteral("/2027-3-5")));
        const QString stored = task.localdir + QStringLiteral("/2027-3-5/shop.sql");
        putFile(stored, "previous backup");
        SshClientSettings settings;
        settings.knownHostsFile = knownHost ? knownHosts() : m_local.filePath(QStringLiteral("empty_known_hosts"));
        settings.sshDirectory = m_local.filePath(QStringLiteral("nokeys"));

        auto exec = std::make_unique<SshExec>(texts, clock, settings);
        QSignalSpy received(exec.get(), &SshExec::received);
        BackupRun run(task, std::move(exec), retriever, log, texts, events);
        QSignalSpy finished(&run, &BackupRun::finished);
        run.start();
        if (database == QLatin1String("endless")) {
            QVERIFY(received.wait(10000));
            run.cancelSession();  // "Cancel Telnet-Session"
        }
        QVERIFY(finished.wait(15000));
        const RunOutcome outcome = finished.at(0).at(0).value<RunOutcome>();
        const QStringList lines = view.messages();
        const QString message = outcome.message;
        QVERIFY(retriever.calls.isEmpty());  // nothing to fetch: the dump came home
        QCOMPARE(events.progress.last(), 0);
        for (const QString &line : lines + log.sentLines() + QStringList(message))
            QVERIFY2(!line.contains(QStringLiteral("se#cr")), qPrintable(line));
        if (database == QLatin1String("shop") && knownHost) {
            QVERIFY(outcome.success);
            QCOMPARE(outcome.storedFile, stored);
            QCOMPARE(fileContent(stored), dump);
            QVERIFY(QFile::exists(stored + QStringLiteral(".sha256")));
            QCOMPARE(events.progress, QList<int>({10, 25, 35, 40, 60, 0}));
            QCOMPARE(lines, QStringList({
                QStringLiteral("SSH: Verbinde mit 127.0.0.1 Port %1").arg(m_server.port()),
                QStringLiteral("Connection established"),
                QStringLiteral("SSH: Host-Schlüssel bestätigt (%1)").arg(m_server.hostKeyFingerprint()),
                QStringLiteral("SSH: Angemeldet als %1 mit Schlüsseldatei").arg(m_server.user()),
                QStringLiteral("SSH: Dump gestartet"),
                QStringLiteral("SSH: Dump beendet, %1 empfangen").arg(FormatByteCount(dump.size())),
                QStringLiteral("shop.sql erfolgreich gespeichert")}));
            QCOMPARE(log.sentLines().last().section(QLatin1Char('\t'), 1), SshDumpCommand(task));
            QVERIFY(message.startsWith(texts.SuccessfulOn));
            return;
        }
        QVERIFY(!outcome.success);
        QCOMPARE(fileContent(stored), QByteArray("previous backup"));
        QCOMPARE(lines.last(), outcome.reason);
        QVERIFY(message.startsWith(texts.NotSuccessfulOn));
        QVERIFY2(message.endsWith(QStringLiteral(" - ") + outcome.reason), qPrintable(message));
        if (database == QLatin1String("endless"))
            QCOMPARE(outcome.reason, QStringLiteral("SSH: Vom Benutzer abgebrochen"));
        else if (database == QLatin1String("nocompletion"))
            // Worded by the store's table, as for a download.
            QCOMPARE(outcome.reason, QStringLiteral("SSH: ") + StoreTexts::incompleteDump(QStringLiteral("shop.sql"), true));
        else if (knownHost)
            QVERIFY2(outcome.reason.startsWith(QStringLiteral("SSH: mysqldump endete mit Status 2: mysqldump: Got error: 1045")),
                     qPrintable(outcome.reason));
        else
            QVERIFY2(outcome.reason.contains(m_server.hostKeyFingerprint()), qPrintable(outcome.reason));
    }
};

QTEST_GUILESS_MAIN(TstSshDump)
#include "tst_sshdump.moc"
