// Test restores against the real MariaDB server and client programs: a dump
// made by the real mariadb-dump from a throwaway source server.
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "restore/DumpTableScan.h"
#include "restore/RestoreTexts.h"
#include "restore/TestRestore.h"
#include "restore/ThrowawayServer.h"
#include "storage/StreamCompressor.h"

namespace {
QByteArray client(const ThrowawayServer &server, const QByteArray &sql)
{
    QProcess p;
    p.start(server.programs().client, server.clientArguments());
    p.write(sql);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? QByteArray() : p.readAllStandardError();
}

void writeFile(const QString &path, const QByteArray &data, Compression compression)
{
    QByteArray out = data;
    if (auto c = StreamCompressor::create(compression)) {
        out.clear();
        QVERIFY(c->feed(data.constData(), data.size(), out));
        QVERIFY(c->finish(out));
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(out), out.size());
}

// Our throwaway folders under root, and server processes that use one.
QStringList leftovers(const QString &root)
{
    QStringList found = QDir(root).entryList({QStringLiteral("vaultwick-restore-*")}, QDir::Dirs);
    QDirIterator procs(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (procs.hasNext()) {
        QFile cmd(procs.next() + QStringLiteral("/cmdline"));
        if (cmd.open(QIODevice::ReadOnly) && cmd.readAll().contains(root.toUtf8() + "/vaultwick-restore-"))
            found << QStringLiteral("process ") + procs.fileName();
    }
    return found;
}
} // namespace

class TstTestRestore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_tmp;  // where the servers' folders go
    QByteArray m_dump;
    RestoreOptions m_options;

    TestRestoreResult run(const QString &file, bool cancelOnProgress = false)
    {
        TestRestore test(m_options, false);
        QSignalSpy finished(&test, &TestRestore::finished);
        if (cancelOnProgress)
            connect(&test, &TestRestore::progress, &test, &TestRestore::cancel, Qt::QueuedConnection);
        test.start(file);
        if (!finished.wait(120000))
            return {};
        return finished.at(0).at(0).value<TestRestoreResult>();
    }

private slots:
    void initTestCase()
    {
        if (!RestorePrograms::find().found())
            VW_SKIP("no mariadbd or mysqld with its client");
        const QString dumpProgram = QStandardPaths::findExecutable(QStringLiteral("mariadb-dump"));
        if (dumpProgram.isEmpty())
            VW_SKIP("no mariadb-dump");
        m_tmp = m_dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(m_tmp));
        m_options.tempRoot = m_tmp;
        // The source: a server like the host's, filled and dumped by the real programs.
        ThrowawayServer source(RestorePrograms::find(), m_options, false);
        QSignalSpy ready(&source, &ThrowawayServer::ready);
        source.start();
        QVERIFY(ready.wait(120000));
        QCOMPARE(client(source, "CREATE DATABASE shop; USE shop;"
                                "CREATE TABLE orders (id INT PRIMARY KEY, note VARCHAR(40));"
                                "INSERT INTO orders SELECT seq, CONCAT('order ', seq) FROM seq_1_to_1000;"
                                "CREATE TABLE `odd``name` (a INT) ENGINE=MyISAM; INSERT INTO `odd``name` VALUES (1),(2),(3);"
                                "CREATE TABLE empty (a INT);"
                                "CREATE VIEW big_orders AS SELECT id FROM orders WHERE id > 900;"),
                 QByteArray());
        QProcess dump;
        dump.start(dumpProgram, {QStringLiteral("--no-defaults"), QStringLiteral("--socket=") + source.socketPath(),
                                 QStringLiteral("--user=root"), QStringLiteral("shop")});
        QVERIFY(dump.waitForFinished(60000));
        QCOMPARE(dump.exitCode(), 0);
        m_dump = dump.readAllStandardOutput();
        QVERIFY(m_dump.contains("-- Dump completed"));
        // A source without grant tables has no user to name; a host's dump names its own.
        m_dump.replace("DEFINER=``", "DEFINER=`shop`@`%`");
        QSignalSpy stopped(&source, &ThrowawayServer::stopped);
        source.stop();
        QVERIFY(stopped.wait(60000));
        QCOMPARE(leftovers(m_tmp), QStringList());
    }

    void storedBackupLoadsWithEveryTableCounted_data()
    {
        QTest::addColumn<int>("compression");
        QTest::newRow("plain") << int(Compression::None);
        QTest::newRow("gzip") << int(Compression::Gzip);
        QTest::newRow("zstd") << int(Compression::Zstd);
    }
    void storedBackupLoadsWithEveryTableCounted()
    {
        QFETCH(int, compression);
        const QString file = m_dir.filePath(QStringLiteral("shop.sql") + CompressionSuffix(Compression(compression)));
        writeFile(file, m_dump, Compression(compression));
        const TestRestoreResult result = run(file);
        QVERIFY2(result.passed(), qPrintable(result.reason));
        // The view's stand-in is no table; the odd name is one.
        QCOMPARE(result.tables, 3);
        QCOMPARE(result.rows, 1003);
        QCOMPARE(leftovers(m_tmp), QStringList());
        const QString line = RestoreTexts::passed(result.tables, result.rows, 3200, true);
        QCOMPARE(line, QStringLiteral("Testwiederherstellung bestanden: 3 Tabellen, 1 003 Zeilen (3,2 s)"));
    }

    void brokenOrDamagedBackupFailsAndLeavesNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("reason");
        QTest::newRow("broken statement") << "statement" << "ERROR 1064";
        QTest::newRow("cut-off gzip") << "cut" << "shop.sql.gz cannot be read: the compressed file is cut off";
        QTest::newRow("a table dropped") << "missing" << "table empty is missing after the restore";
        QTest::newRow("cancelled") << "cancel" << "cancelled";
    }
    void brokenOrDamagedBackupFailsAndLeavesNothing()
    {
        QFETCH(QString, damage);
        QFETCH(QString, reason);
        QByteArray dump = m_dump;
        Compression compression = Compression::None;
        if (damage == QLatin1String("statement")) {
            const qsizetype middle = dump.indexOf("INSERT INTO `orders`");
            dump.insert(middle, "INSERT INTO orders VALUES (1;\n");
        } else if (damage == QLatin1String("missing")) {
            dump.insert(dump.indexOf("-- Dump completed"), "DROP TABLE `empty`;\n");
        }
        QString file = m_dir.filePath(QStringLiteral("shop.sql"));
        if (damage == QLatin1String("cut")) {
            compression = Compression::Gzip;
            file += QStringLiteral(".gz");
        }
        writeFile(file, dump, compression);
        if (damage == QLatin1String("cut"))
            QVERIFY(QFile::resize(file, QFileInfo(file).size() - 20));
        const TestRestoreResult result = run(file, damage == QLatin1String("cancel"));
        QCOMPARE(int(result.status), int(damage == QLatin1String("cancel") ? TestRestoreResult::Status::Cancelled
                                                                             : TestRestoreResult::Status::Failed));
        QVERIFY2(result.reason.contains(reason), qPrintable(result.reason));
        if (damage == QLatin1String("statement"))
            QVERIFY2(result.reason.contains(QLatin1String(" at line ")), qPrintable(result.reason));
        QCOMPARE(leftovers(m_tmp), QStringList());
    }

    // The program ends in mid-test: the installer's own bootstrap server and
    // the folder go with it, at once.
    void endingTheProgramMidTestLeavesNothing()
    {
        const QString file = m_dir.filePath(QStringLiteral("shop.sql"));
        writeFile(file, m_dump, Compression::None);
        auto test = std::make_unique<TestRestore>(m_options, false);
        test->start(file);
        QTRY_VERIFY_WITH_TIMEOUT(leftovers(m_tmp).size() >= 2, 20000);  // its folder and a process in it
        test.reset();
        QCOMPARE(leftovers(m_tmp), QStringList());
    }

    void noServerProgramIsSaidAsSuch()
    {
        RestoreOptions options = m_options;
        options.serverProgram = m_dir.filePath(QStringLiteral("no-such-mariadbd"));
        TestRestore test(options, true);
        QSignalSpy finished(&test, &TestRestore::finished);
        test.start(m_dir.filePath(QStringLiteral("shop.sql")));
        QVERIFY(finished.wait(5000));
        QCOMPARE(int(finished.at(0).at(0).value<TestRestoreResult>().status), int(TestRestoreResult::Status::NoServer));
    }

    void tableScanFollowsUseAndKeepsOnlyLineStarts()
    {
        DumpTableScan scan;
        const QByteArray text = "CREATE TABLE `a` (\n/*!50001 CREATE TABLE `view_stand_in` */;\nUSE `other``db`;\n"
                                "INSERT INTO x VALUES " + QByteArray(100000, '1') + ");\nCREATE TABLE IF NOT EXISTS `b` (";
        // In pieces that cut names and lines anywhere.
        for (qsizetype at = 0; at < text.size(); at += 7)
            scan.feed(text.mid(at, 7));
        scan.finish();
        QCOMPARE(scan.tables(), (QList<DumpTableScan::Table>{{QString(), QStringLiteral("a")},
                                                             {QStringLiteral("other`db"), QStringLiteral("b")}}));
    }
};

QTEST_GUILESS_MAIN(TstTestRestore)
#include "tst_testrestore.moc"
