// The pure parts of retrieval: byte-count texts, the FTP block display, the
// HTTP bar scaling, the dump completion check and the local target.
#include <QTemporaryDir>
#include <thread>
#include <QtTest>

#include "DumpSamples.h"
#include "retrieval/ByteCount.h"
#include "retrieval/DumpCompletion.h"
#include "retrieval/DumpFreshness.h"
#include "retrieval/LocalTarget.h"
#include "retrieval/ProgressMailbox.h"
#include "RecordingRunEvents.h"
#include "retrieval/TransferProgress.h"
#include "tasks/BackupTask.h"

class RetrievalUnitsTest : public QObject {
    Q_OBJECT

private slots:
    void byteCountTexts_data();
    void byteCountTexts();
    void byteCountFollowsProcessSeparator();

    void tenThousandBytesShowFourStepsWhateverTheChunks_data();
    void tenThousandBytesShowFourStepsWhateverTheChunks();
    void exactBlockMultipleHasNoExtraStep();
    void zeroListedSizeShowsHundredAtTheEnd();
    void moreThanListedStaysAtHundred();
    void percentRoundsHalvesToEven_data();
    void percentRoundsHalvesToEven();
    void sixtyFourBitCounts();
    void largeFileRisesSteadily();
    void theWindowSeesTheLatestStateAndAlwaysTheLast();

    void barScaling_data();
    void barScaling();

    void completionLine_data();
    void completionLine();
    void completionAcrossChunks();
    void dumpAgeWithoutAServerTime();

    void dailySubdirectoryName_data();
    void dailySubdirectoryName();
    void dailySubdirectoryIsMadeOnce();
    void dailySubdirectoryFallsBackToBase();
    void localTargetFile();
};

void RetrievalUnitsTest::byteCountTexts_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << "0 bytes";
    QTest::newRow("999") << qint64(999) << "999 bytes";
    QTest::newRow("1000") << qint64(1000) << "1,00 Kb";
    QTest::newRow("1005 rounds up") << qint64(1005) << "1,01 Kb";
    QTest::newRow("1536") << qint64(1536) << "1,54 Kb";
    QTest::newRow("4096") << qint64(4096) << "4,10 Kb";
    QTest::newRow("8192") << qint64(8192) << "8,19 Kb";
    QTest::newRow("10000") << qint64(10000) << "10,00 Kb";
    QTest::newRow("999999") << qint64(999999) << "1000,00 Kb";
    QTest::newRow("1000000") << qint64(1000000) << "1,00 Mb";
    QTest::newRow("2048000") << qint64(2048000) << "2,05 Mb";
    QTest::newRow("2^32 does not wrap") << qint64(4294967296LL) << "4294,97 Mb";
    QTest::newRow("5 GiB") << qint64(5368709120LL) << "5368,71 Mb";
}

void RetrievalUnitsTest::byteCountTexts()
{
    QFETCH(qint64, count);
    QFETCH(QString, text);
    QCOMPARE(DecimalSeparator(), QChar(u','));
    QCOMPARE(FormatByteCount(count), text);
}

void RetrievalUnitsTest::byteCountFollowsProcessSeparator()
{
    SetDecimalSeparator(QChar(u'.'));
    const QString kb = FormatByteCount(1536);
    const QString caption = FtpProgressStep{8192, 10000, 82}.caption();
    SetDecimalSeparator(QChar(u','));
    QCOMPARE(kb, QStringLiteral("1.54 Kb"));
    QCOMPARE(caption, QStringLiteral("8.19 Kb of 10.00 Kb / 82 %"));
    QCOMPARE(FormatByteCount(1536), QStringLiteral("1,54 Kb"));
}

void RetrievalUnitsTest::tenThousandBytesShowFourStepsWhateverTheChunks_data()
{
    QTest::addColumn<QList<qint64>>("chunks");
    QTest::newRow("full blocks") << QList<qint64>{4096, 4096, 1808};
    QTest::newRow("all at once") << QList<qint64>{10000};
    QTest::newRow("odd chunks") << QList<qint64>{1, 4094, 3, 4000, 2, 1900};
    QTest::newRow("network sized") << QList<qint64>{1448, 1448, 1448, 1448, 1448, 1448, 1312};
}

void RetrievalUnitsTest::tenThousandBytesShowFourStepsWhateverTheChunks()
{
    QFETCH(QList<qint64>, chunks);
    FtpBlockProgress progress(10000);
    QList<FtpProgressStep> steps;
    for (qint64 c : chunks)
        steps += progress.add(c);
    steps += progress.finish();

    QStringList captions;
    for (const auto &s : steps)
        captions << s.caption();
    QCOMPARE(captions, (QStringList{"4,10 Kb of 10,00 Kb / 41 %", "8,19 Kb of 10,00 Kb / 82 %",
                                    "10,00 Kb of 10,00 Kb / 100 %", "10,00 Kb of 10,00 Kb / 100 %"}));
}

void RetrievalUnitsTest::exactBlockMultipleHasNoExtraStep()
{
    FtpBlockProgress progress(8192);
    QList<FtpProgressStep> steps = progress.add(8192);
    steps += progress.finish();
    QCOMPARE(steps, (QList<FtpProgressStep>{{4096, 8192, 50}, {8192, 8192, 100}, {8192, 8192, 100}}));
}

void RetrievalUnitsTest::zeroListedSizeShowsHundredAtTheEnd()
{
    FtpBlockProgress empty(0);
    const QList<FtpProgressStep> steps = empty.finish();
    QCOMPARE(steps, (QList<FtpProgressStep>{{0, 0, 100}}));
    QCOMPARE(steps.first().caption(), QStringLiteral("0 bytes of 0 bytes / 100 %"));

    // A listing without sizes: nothing to measure against until the end.
    FtpBlockProgress unlisted(0);
    QList<FtpProgressStep> more = unlisted.add(5000);
    more += unlisted.finish();
    QCOMPARE(more, (QList<FtpProgressStep>{{4096, 0, 0}, {5000, 0, 100}, {5000, 0, 100}}));
}

void RetrievalUnitsTest::moreThanListedStaysAtHundred()
{
    FtpBlockProgress progress(5000);
    QList<FtpProgressStep> steps = progress.add(20000);
    steps += progress.finish();
    QCOMPARE(steps.size(), 6);
    QCOMPARE(steps.at(0).percent, 82);
    for (qsizetype i = 1; i < steps.size(); ++i)
        QCOMPARE(steps.at(i).percent, 100);
}

void RetrievalUnitsTest::percentRoundsHalvesToEven_data()
{
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<int>("percent");
    QTest::newRow("0.5 -> 0") << qint64(1) << qint64(200) << 0;
    QTest::newRow("1.5 -> 2") << qint64(3) << qint64(200) << 2;
    QTest::newRow("2.5 -> 2") << qint64(5) << qint64(200) << 2;
    QTest::newRow("12.5 -> 12") << qint64(1) << qint64(8) << 12;
    QTest::newRow("37.5 -> 38") << qint64(3) << qint64(8) << 38;
    QTest::newRow("40.96 -> 41") << qint64(4096) << qint64(10000) << 41;
    QTest::newRow("just under half up") << qint64(2) << qint64(401) << 0;
    QTest::newRow("99.5 -> 100") << qint64(199) << qint64(200) << 100;
    QTest::newRow("98.5 -> 98") << qint64(197) << qint64(200) << 98;
}

void RetrievalUnitsTest::percentRoundsHalvesToEven()
{
    QFETCH(qint64, received);
    QFETCH(qint64, size);
    QFETCH(int, percent);
    QCOMPARE(FtpBlockProgress::percent(received, size, false), percent);
}

void RetrievalUnitsTest::sixtyFourBitCounts()
{
    const qint64 size = 5368709120LL;  // 5 GiB
    QCOMPARE(FtpBlockProgress::percent(4294967296LL, size, false), 80);  // 2^32 would wrap to 0
    QCOMPARE(FtpBlockProgress::percent(2684354560LL, size, false), 50);
    QCOMPARE(FtpBlockProgress::percent(size - 1, size, false), 100);
    QCOMPARE(FtpBlockProgress::percent(size / 200, size, false), 0);  // 0.5 % -> 0
    QCOMPARE(FtpBlockProgress::percent(qint64(1) << 62, (qint64(1) << 62) + (qint64(1) << 61), false), 67);
    QCOMPARE((FtpProgressStep{4294967296LL, size, 80}.caption()), QStringLiteral("4294,97 Mb of 5368,71 Mb / 80 %"));

    // Block steps across the 4 GiB mark keep counting.
    FtpBlockProgress progress(size);
    const QList<FtpProgressStep> steps = progress.add(4294967296LL + 4096);
    QCOMPARE(steps.size(), qsizetype(1048577));
    QCOMPARE(steps.last().received, 4294967296LL + 4096);
    QCOMPARE(steps.last().percent, 80);
}

void RetrievalUnitsTest::largeFileRisesSteadily()
{
    FtpBlockProgress progress(100000000);
    QList<FtpProgressStep> steps;
    for (int i = 0; i < 100000000 / 65536 + 1; ++i)
        steps += progress.add(qMin<qint64>(65536, 100000000 - progress.received()));
    steps += progress.finish();
    QCOMPARE(steps.first().percent, 0);
    QCOMPARE(steps.last().percent, 100);
    for (qsizetype i = 1; i < steps.size(); ++i) {
        QVERIFY(steps.at(i).percent >= steps.at(i - 1).percent);
        QVERIFY(steps.at(i).percent - steps.at(i - 1).percent <= 1);
    }
}

void RetrievalUnitsTest::barScaling_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("maximum");
    QTest::addColumn<int>("barPosition");
    QTest::addColumn<int>("barMaximum");
    QTest::newRow("small as is") << qint64(1234) << qint64(10000) << 1234 << 10000;
    QTest::newRow("total unknown") << qint64(500) << qint64(0) << 500 << 0;
    QTest::newRow("3 of 6 GB halves") << qint64(3000000000LL) << qint64(6000000000LL) << 750000000 << 1500000000;
    QTest::newRow("end of 5 GiB") << qint64(5368709120LL) << qint64(5368709120LL) << 1342177280 << 1342177280;
}

void RetrievalUnitsTest::barScaling()
{
    QFETCH(qint64, position);
    QFETCH(qint64, maximum);
    QFETCH(int, barPosition);
    QFETCH(int, barMaximum);
    QCOMPARE(ScaleForBar(position, maximum), (BarValues{barPosition, barMaximum}));
}

void RetrievalUnitsTest::completionLine_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("completed");
    QTest::newRow("mysqldump end") << QByteArray("INSERT 1;\n-- Dump completed on 2026-12-07 14:05:09\n") << true;
    QTest::newRow("windows line ends") << QByteArray("INSERT 1;\r\n-- Dump completed on 2026-12-07\r\n") << true;
    QTest::newRow("blank lines after") << QByteArray("x\n-- Dump completed\n\n  \n") << true;
    QTest::newRow("only the line") << QByteArray("-- Dump completed") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("cut in a statement") << QByteArray("-- MySQL dump\nINSERT INTO t VALUES (1,") << false;
    QTest::newRow("not last") << QByteArray("-- Dump completed on x\nINSERT 2;\n") << false;
    QTest::newRow("indented") << QByteArray("x\n  -- Dump completed\n") << false;
    QTest::newRow("other comment") << QByteArray("x\n-- Dump started\n") << false;
}

void RetrievalUnitsTest::completionLine()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, completed);
    QCOMPARE(DumpCompletionCheck::EndsWithDumpCompletion(text), completed);
    DumpCompletionCheck stream;
    stream.add(text.constData(), text.size());
    QCOMPARE(stream.completed(), completed);
}

void RetrievalUnitsTest::completionAcrossChunks()
{
    const QByteArray dump = MakeDump(300000);
    for (qint64 chunk : {qint64(1), qint64(7), qint64(4096), qint64(5000), qint64(300000)}) {
        DumpCompletionCheck check;
        for (qint64 at = 0; at < dump.size(); at += chunk)
            check.add(dump.constData() + at, qMin(chunk, dump.size() - at));
        QVERIFY2(check.completed(), qPrintable(QString::number(chunk)));
    }
    // A completion line early in the file does not count when more follows.
    DumpCompletionCheck check;
    const QByteArray early("-- Dump completed\n");
    check.add(early.constData(), early.size());
    const QByteArray rest = MakeDump(20000, false);
    check.add(rest.constData(), rest.size());
    QVERIFY(!check.completed());
    // A huge last line without line breaks is no completion line.
    DumpCompletionCheck longLine;
    const QByteArray huge = "-- Dump completed" + QByteArray(10000, 'x');
    for (qsizetype at = 0; at < huge.size(); at += 1000)
        longLine.add(huge.constData() + at, qMin<qsizetype>(1000, huge.size() - at));
    QVERIFY(!longLine.completed());
}

void RetrievalUnitsTest::dailySubdirectoryName_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("7 December 2026") << QDate(2026, 12, 7) << "2026-12-7";
    QTest::newRow("25 October 2026") << QDate(2026, 10, 25) << "2026-10-25";
    QTest::newRow("5 March 2027") << QDate(2027, 3, 5) << "2027-3-5";
}

void RetrievalUnitsTest::dailySubdirectoryName()
{
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(DailySubdirectoryName(date), name);
}

void RetrievalUnitsTest::dailySubdirectoryIsMadeOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.path();  // no closing separator
    const QString expected = base + QDir::separator() + QStringLiteral("2027-3-5");

    QCOMPARE(MakeDailySubdirectory(base, QDate(2027, 3, 5)), expected);
    QVERIFY(QFileInfo(expected).isDir());
    QVERIFY(WriteAll(expected + QStringLiteral("/keep"), "x"));
    // Again the same day, and with a closing separator: no doubling, no new directory.
    QCOMPARE(MakeDailySubdirectory(base + QLatin1Char('/'), QDate(2027, 3, 5)),
             base + QLatin1Char('/') + QStringLiteral("2027-3-5"));
    QCOMPARE(Entries(base), QStringList{"2027-3-5"});
    QCOMPARE(Entries(expected), QStringList{"keep"});
}

void RetrievalUnitsTest::dailySubdirectoryFallsBackToBase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Only one level is made: a missing base stays missing.
    const QString missing = dir.path() + QStringLiteral("/not-there");
    QCOMPARE(MakeDailySubdirectory(missing, QDate(2027, 3, 5)), missing);
    QVERIFY(!QFileInfo::exists(missing));
    // A file in the way.
    QVERIFY(WriteAll(dir.path() + QStringLiteral("/2027-3-5"), "file"));
    QCOMPARE(MakeDailySubdirectory(dir.path(), QDate(2027, 3, 5)), dir.path());
    QCOMPARE(ReadAll(dir.path() + QStringLiteral("/2027-3-5")), QByteArray("file"));
}

void RetrievalUnitsTest::localTargetFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BackupTask task = BackupTask::withDefaults(QStringLiteral("t"));
    task.localdir = dir.path();
    const QDate day(2027, 3, 5);
    const QString sep = QDir::separator();

    QCOMPARE(LocalTargetFile(task, day), dir.path() + sep + QStringLiteral("backup.sql"));
    task.localdir = dir.path() + QLatin1Char('/');
    QCOMPARE(LocalTargetFile(task, day), dir.path() + QStringLiteral("/backup.sql"));
    QVERIFY(Entries(dir.path()).isEmpty());  // no subdirectory asked for

    task.localdir = dir.path();
    task.subdirectory = true;
    QCOMPARE(LocalTargetFile(task, day), dir.path() + sep + QStringLiteral("2027-3-5") + sep + QStringLiteral("backup.sql"));
    QVERIFY(QFileInfo(dir.path() + QStringLiteral("/2027-3-5")).isDir());

    task.localdir = dir.path() + QStringLiteral("/missing");
    QCOMPARE(LocalTargetFile(task, day), dir.path() + QStringLiteral("/missing") + sep + QStringLiteral("backup.sql"));

    // No local directory: no target, rather than the root directory.
    task.localdir.clear();
    QCOMPARE(LocalTargetFile(task, day), QString());

#ifdef Q_OS_WIN
    QVERIFY(EndsWithSeparator(QStringLiteral("D:\\backups\\")));
    QCOMPARE(WithClosingSeparator(QStringLiteral("C:")), QStringLiteral("C:\\"));
#else
    // A backslash is an ordinary character here.
    QVERIFY(!EndsWithSeparator(QStringLiteral("backups\\")));
    QCOMPARE(WithClosingSeparator(QStringLiteral("backups\\")), QStringLiteral("backups\\/"));
#endif
}

// Without a file time from the server the completion line's date decides,
// with room for the host's unknown time zone; a dump without a date is taken.
void RetrievalUnitsTest::dumpAgeWithoutAServerTime()
{
    const QDateTime start(QDate(2026, 12, 8), QTime(3, 0));
    auto completed = [](const char *text) { return DumpFreshness::CompletionTime(QByteArray("INSERT ...;\n") + text); };
    QCOMPARE(completed("-- Dump completed on 2026-12-07 01:00:01\n"), QDateTime(QDate(2026, 12, 7), QTime(1, 0, 1)));
    QVERIFY(!DumpFreshness::IsStale(start, -1, completed("-- Dump completed on 2026-12-07 01:00:01\n")));
    QVERIFY(DumpFreshness::IsStale(start, -1, completed("-- Dump completed on 2026-12-07 00:59:59")));
    QVERIFY(DumpFreshness::IsStale(start, -1, completed("-- Dump completed on 2025-1-9  4:05:06\r\n")));
    QVERIFY(!completed("-- Dump completed\n").isValid());
    QVERIFY(!DumpFreshness::IsStale(start, -1, QDateTime()));
    // The server's time, when given, decides alone.
    const QDateTime old = completed("-- Dump completed on 2020-01-01 00:00:00");
    QVERIFY(!DumpFreshness::IsStale(start, start.toSecsSinceEpoch() - 900, old));
    QVERIFY(DumpFreshness::IsStale(start, start.toSecsSinceEpoch() - 901, QDateTime::currentDateTime()));
    QVERIFY(!DumpFreshness::IsStale(QDateTime(), 0, old));  // no run: nothing to compare with
}

QTEST_GUILESS_MAIN(RetrievalUnitsTest)
#include "tst_retrieval_units.moc"

void RetrievalUnitsTest::theWindowSeesTheLatestStateAndAlwaysTheLast()
{
    using Bar = RecordingRunEvents::Bar;
    RecordingRunEvents events;
    {
        ProgressMailbox box(events, 3600 * 1000);
        // Posted from a transfer thread: the first state shows at once.
        std::thread([&] { box.setBar(0, 100); }).join();
        QTRY_COMPARE(events.bars, QList<Bar>{(Bar{0, 100})});
        // Within the interval only the latest state waits; nothing shows.
        std::thread([&] {
            box.setFtpStep({4096, 10000, 41});
            box.setFtpStep({8192, 10000, 82});
            box.setBar(0, 100);
        }).join();
        QCoreApplication::processEvents();
        QCOMPARE(events.bars.size(), 1);
        // The end shows the last bar and the last caption, once.
        box.flush();
        box.flush();
        QCOMPARE(events.bars, (QList<Bar>{{0, 100}, {0, 100}}));
        QCOMPARE(events.captions, QStringList{"8,19 Kb of 10,00 Kb / 82 %"});
        box.setBar(5, 10);  // the mailbox goes away with this still waiting: nothing shows
    }
    QCoreApplication::processEvents();
    QCOMPARE(events.bars.size(), 2);
    QVERIFY(!events.calledFromOtherThread);

    // With no interval every wake-up shows.
    RecordingRunEvents quick;
    ProgressMailbox box(quick, 0);
    box.setBar(1, 10);
    QTRY_COMPARE(quick.bars.size(), 1);
    box.setBar(2, 10);
    QTRY_COMPARE(quick.bars.size(), 2);
}
