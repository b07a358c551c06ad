// Stored backups: compressed and checksummed files that the usual tools
// accept, the previous backup kept on failure, rotation and retention.
#include <QtTest>

#include "RequirePeer.h"
#include "DumpSamples.h"
#include "StorageTools.h"
#include "retrieval/LocalTarget.h"
#include "storage/RetentionSweeper.h"
#include "storage/StoredDumpReader.h"
#include "storage/StoredDumpWriter.h"

namespace {

bool toolMissing(const QString &program)
{
    return QStandardPaths::findExecutable(program).isEmpty();
}

// Feeds a dump in uneven chunks, as a transfer would.
StoredDumpWriter::Failure store(const QString &target, const QByteArray &dump, Compression c, int copies = 0)
{
    StoredDumpWriter out;
    if (!out.open(target, c, copies))
        return out.failure();
    for (qsizetype at = 0, step = 1; at < dump.size(); at += step, step = step * 3 % 70001 + 1)
        if (!out.write(dump.constData() + at, qMin(step, dump.size() - at)))
            return out.failure();
    return out.commit(true);
}

QList<QDate> everyDay(const QDate &from, const QDate &to, int step = 1)
{
    QList<QDate> days;  // newest first, ending on `to`
    for (QDate d = to; d >= from; d = d.addDays(-step))
        days.append(d);
    return days;
}

} // namespace

class StoredBackupsTest : public QObject {
    Q_OBJECT

private slots:
    void compressedFilesPassTheirTools_data();
    void compressedFilesPassTheirTools();
    void incompleteDumpLeavesPreviousBackupAndChecksum();
    void packedStreamsStoreTheDumpInEveryFormat();
    void rotationWithoutSubdirectories();
    void retentionPolicyOverAYear_data();
    void retentionPolicyOverAYear();
    void sweeperRemovesOnlyWhatThePolicyNames();
};

void StoredBackupsTest::compressedFilesPassTheirTools_data()
{
    QTest::addColumn<int>("compress");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("tester");
    QTest::addColumn<QString>("unpacker");
    QTest::newRow("none") << 0 << "backup.sql" << "" << "cat";
    QTest::newRow("gzip") << 1 << "backup.sql.gz" << "gzip" << "zcat";
    QTest::newRow("zstd") << 2 << "backup.sql.zst" << "zstd" << "zstdcat";
}

void StoredBackupsTest::compressedFilesPassTheirTools()
{
    QFETCH(int, compress);
    QFETCH(QString, name);
    QFETCH(QString, tester);
    QFETCH(QString, unpacker);
    for (const QString &tool : {unpacker, QStringLiteral("sha256sum")})
        if (toolMissing(tool))
            VW_SKIP(qPrintable(tool + " is not installed"));
    QTemporaryDir dir;
    // Compressible text with random stretches; larger than one of zstd's
    // jobs, so its worker threads share the stream.
    QByteArray dump;
    for (int i = 0; dump.size() < 2'000'000; ++i)
        dump += "INSERT INTO t VALUES (" + QByteArray::number(i) + ",'" + MakeDump(i % 13, false, i) + "');\n";
    while (dump.size() < 16'000'000)
        dump += dump;
    dump += "-- Dump completed on 2027-03-05 23:59:01\n";

    QCOMPARE(store(dir.filePath("backup.sql"), dump, CompressionFromSetting(compress)),
             StoredDumpWriter::Failure::None);

    QCOMPARE(Entries(dir.path()), (QStringList{name, name + ".sha256"}));
    QCOMPARE(StoredFileName("backup.sql", compress), name);
    const QByteArray sum = ReadAll(dir.filePath(name + ".sha256"));
    QVERIFY2(QRegularExpression("^[0-9a-f]{64}  " + QRegularExpression::escape(name) + "\n$").match(sum).hasMatch(),
             sum.constData());
    QCOMPARE(RunTool(dir.path(), "sha256sum", {"-c", name + ".sha256"}), 0);
    if (!tester.isEmpty()) {
        QCOMPARE(RunTool(dir.path(), tester, {"-t", name}), 0);
        QVERIFY(QFileInfo(dir.filePath(name)).size() < dump.size() / 2);
    }
    QByteArray unpacked;
    QCOMPARE(RunTool(dir.path(), unpacker, {name}, &unpacked), 0);
    QVERIFY(unpacked == dump);
}

void StoredBackupsTest::incompleteDumpLeavesPreviousBackupAndChecksum()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("backup.sql");
    QCOMPARE(store(target, MakeDump(50000, true, 1), Compression::Zstd), StoredDumpWriter::Failure::None);
    const QByteArray previous = ReadAll(target + ".zst");
    const QByteArray previousSum = ReadAll(target + ".zst.sha256");

    QCOMPARE(store(target, MakeDump(80000, false, 2), Compression::Zstd), StoredDumpWriter::Failure::IncompleteDump);

    QCOMPARE(ReadAll(target + ".zst"), previous);
    QCOMPARE(ReadAll(target + ".zst.sha256"), previousSum);
    QCOMPARE(Entries(dir.path()), (QStringList{"backup.sql.zst", "backup.sql.zst.sha256"}));
}

// A stream the host packed (gzip or zstd) stored as each format: it unpacks
// to the dump; a packed stream cut short is no whole dump, even where the
// completion line made it through.
void StoredBackupsTest::packedStreamsStoreTheDumpInEveryFormat()
{
    const QByteArray dump = MakeDump(400000, true, 9);
    for (const Compression sent : {Compression::Gzip, Compression::Zstd}) {
        QByteArray packed;
        auto packer = StreamCompressor::create(sent);
        QVERIFY(packer->feed(dump.constData(), dump.size(), packed) && packer->finish(packed));
        for (const Compression kept : {Compression::None, Compression::Gzip, Compression::Zstd}) {
            for (const bool cut : {false, true}) {
                QTemporaryDir dir;
                StoredDumpWriter out;
                QVERIFY(out.open(dir.filePath("backup.sql"), kept));
                out.setIncoming(sent);
                const QByteArray stream = cut ? packed.left(packed.size() - 4) : packed;
                QVERIFY(out.write(stream.constData(), stream.size()));
                QCOMPARE(out.commit(true), cut ? StoredDumpWriter::Failure::IncompleteDump : StoredDumpWriter::Failure::None);
                if (cut)
                    continue;
                StoredDumpReader in;
                QVERIFY(in.open(out.storedPath()));
                QByteArray back;
                while (!in.atEnd())
                    back += in.read();
                QVERIFY(!in.failed() && back == dump);
                if (kept == sent)  // stored as it came
                    QCOMPARE(ReadAll(out.storedPath()), packed);
            }
        }
    }
}

void StoredBackupsTest::rotationWithoutSubdirectories()
{
    QTemporaryDir dir;
    const QString target = dir.filePath("backup.sql");
    // Keep three: the current file and two copies.
    for (int run = 1; run <= 4; ++run)
        QCOMPARE(store(target, MakeDump(3000, true, run), Compression::Gzip, 2), StoredDumpWriter::Failure::None);
    // A failed run rotates nothing.
    QCOMPARE(store(target, MakeDump(3000, false, 9), Compression::Gzip, 2), StoredDumpWriter::Failure::IncompleteDump);

    QCOMPARE(Entries(dir.path()), (QStringList{"backup.sql.gz", "backup.sql.gz.1", "backup.sql.gz.1.sha256",
                                               "backup.sql.gz.2", "backup.sql.gz.2.sha256", "backup.sql.gz.sha256"}));
    if (toolMissing("zcat") || toolMissing("sha256sum"))
        VW_SKIP("zcat or sha256sum is not installed");
    const QStringList names {"backup.sql.gz", "backup.sql.gz.1", "backup.sql.gz.2"};
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(RunTool(dir.path(), "sha256sum", {"-c", names[i] + ".sha256"}), 0);
        QByteArray unpacked;
        QCOMPARE(RunTool(dir.path(), "zcat", {"-f", names[i]}, &unpacked), 0);
        QVERIFY(unpacked == MakeDump(3000, true, 4 - i));
    }
}

void StoredBackupsTest::retentionPolicyOverAYear_data()
{
    QTest::addColumn<RetentionPolicy>("policy");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<QDate>>("kept");
    const auto d = [](int y, int m, int day) { return QDate(y, m, day); };
    // The year ends on Friday, 5 March 2027.
    QTest::newRow("7 daily, 4 weekly, 6 monthly")
        << RetentionPolicy {7, 4, 6} << 1
        << QList<QDate> {d(2027, 3, 5),   d(2027, 3, 4),   d(2027, 3, 3),   d(2027, 3, 2),   d(2027, 3, 1),
                         d(2027, 2, 28),  d(2027, 2, 27),  d(2027, 2, 21),  d(2027, 2, 14),  d(2027, 1, 31),
                         d(2026, 12, 31), d(2026, 11, 30), d(2026, 10, 31)};
    // Every tenth day: the rules count days that have a backup, not calendar days.
    QTest::newRow("gaps: 2 daily, 2 weekly, 3 monthly")
        << RetentionPolicy {2, 2, 3} << 10
        << QList<QDate> {d(2027, 3, 5), d(2027, 2, 23), d(2027, 1, 24)};
    QTest::newRow("only weekly") << RetentionPolicy {0, 3, 0} << 1
                                 << QList<QDate> {d(2027, 3, 5), d(2027, 2, 28), d(2027, 2, 21)};
}

void StoredBackupsTest::retentionPolicyOverAYear()
{
    QFETCH(RetentionPolicy, policy);
    QFETCH(int, step);
    QFETCH(QList<QDate>, kept);
    const QDate today(2027, 3, 5);
    const QList<QDate> days = everyDay(today.addDays(-364), today, step);

    const RetentionDecision decision = DecideRetention(days, policy, today);

    QCOMPARE(decision.keep, kept);
    QCOMPARE(decision.keep.size() + decision.remove.size(), days.size());
    // All zero keeps everything; a day after today (clock set back) is never removed.
    QCOMPARE(DecideRetention(days, RetentionPolicy {}, today).remove.size(), 0);
    QVERIFY(DecideRetention(days + QList<QDate> {today.addDays(3)}, policy, today).keep.contains(today.addDays(3)));
}

void StoredBackupsTest::sweeperRemovesOnlyWhatThePolicyNames()
{
    QTemporaryDir base;
    QTemporaryDir outside;
    const QDate today(2027, 3, 5);
    const QString name = "backup.sql.gz";
    const auto put = [&](const QString &dir, const QString &file) {
        QDir(base.path()).mkpath(dir);
        return WriteAll(base.filePath(dir + "/" + file), file.toUtf8());
    };
    const QList<QDate> days = everyDay(today.addDays(-364), today);
    for (const QDate &day : days) {
        QVERIFY(put(DailySubdirectoryName(day), name));
        QVERIFY(put(DailySubdirectoryName(day), name + ".sha256"));
    }
    // Not this task's, not named by a run, or a failed run's day: all left alone.
    QVERIFY(put("2026-6-10", "notes.txt"));
    QVERIFY(put("2026-7-1", "other.sql.gz"));
    QVERIFY(put("2026-05-05", name));
    QVERIFY(put("2027-3-6", "backup.sql.gz.part-x1"));
    QVERIFY(put(".", name));
    QVERIFY(WriteAll(outside.filePath(name), "outside"));
    QVERIFY(QFile::remove(base.filePath(DailySubdirectoryName(QDate(2026, 8, 2)))
                          + "/" + name));  // a sum without its backup is no backup
    const QString link = DailySubdirectoryName(QDate(2025, 1, 1));
    QVERIFY(QFile::link(outside.path(), base.filePath(link)));
    const RetentionPolicy policy {7, 4, 6};

    const int removed = SweepOldBackups(base.path(), name, policy, today,
                                        base.filePath(DailySubdirectoryName(today)) + "/" + name);

    const QList<QDate> kept = DecideRetention(days, policy, today).keep;
    QCOMPARE(kept.size(), 13);
    QCOMPARE(removed, days.size() - 1 - kept.size());
    QStringList expected;
    for (const QDate &day : kept)
        expected << DailySubdirectoryName(day);
    expected << "2026-05-05" << "2026-6-10" << "2026-7-1" << "2026-8-2" << "2027-3-6" << link << name;
    expected.sort();
    QCOMPARE(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name), expected);
    for (const QDate &day : kept)
        QCOMPARE(Entries(base.filePath(DailySubdirectoryName(day))), (QStringList{name, name + ".sha256"}));
    QCOMPARE(Entries(base.filePath("2026-6-10")), QStringList{"notes.txt"});
    QCOMPARE(Entries(base.filePath("2026-7-1")), QStringList{"other.sql.gz"});
    QCOMPARE(Entries(base.filePath("2026-8-2")), QStringList{name + ".sha256"});
    QCOMPARE(Entries(outside.path()), QStringList{name});
    QCOMPARE(ReadAll(base.filePath("2026-05-05/" + name)), name.toUtf8());
}

QTEST_GUILESS_MAIN(StoredBackupsTest)
#include "tst_storedbackups.moc"
