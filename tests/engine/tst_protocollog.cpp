#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "FakeClock.h"
#include "RecordingProtocolView.h"
#include "engine/ProtocolLog.h"
#include "shell/LanguageTexts.h"

class TestProtocolLog : public QObject {
    Q_OBJECT
private slots:
    void timestampFollowsTheLanguageAtEachLine()
    {
        LanguageTexts texts;
        FakeClock clock(QDateTime(QDate(2026, 12, 7), QTime(14, 5, 9)));
        RecordingProtocolView view;
        ProtocolLog log(texts, clock);
        log.setView(&view);

        log.AddStatus(QStringLiteral("Connection established"));
        texts.Language = 1;
        log.AddStatus(QStringLiteral("Sende Passwort"));
        texts.Language = 2;  // any other stored value reads as German
        QCOMPARE(log.Timestamp(), QStringLiteral("07.12.2026 14:05:09"));
        texts.Language = 0;
        clock.set(QDateTime(QDate(2027, 3, 5), QTime(9, 0, 0)));
        QCOMPARE(log.Timestamp(), QStringLiteral("03/05/2027 09:00:00"));

        QCOMPARE(view.lines, (QStringList{
            QStringLiteral("12/07/2026 14:05:09\tConnection established"),
            QStringLiteral("07.12.2026 14:05:09\tSende Passwort")}));
        QVERIFY(log.sentLines().isEmpty());  // status lines never reach the file
    }

    void clearEmptiesTheViewOnly()
    {
        LanguageTexts texts;
        FakeClock clock;
        RecordingProtocolView view;
        ProtocolLog log(texts, clock);
        log.setView(&view);
        log.AddStatus(QStringLiteral("a"));
        log.AddSent(QStringLiteral("user"));
        log.ClearView();
        QVERIFY(view.lines.isEmpty());
        QCOMPARE(log.sentLines().size(), 1);
        // What a failure mail quotes outlives the cleared view: the last
        // lines as shown, one per line of text.
        for (int i = 0; i < ProtocolLog::RecentLineCount; ++i)
            log.AddStatus(QStringLiteral("line %1").arg(i));
        log.AddStatus(QStringLiteral("two\nparts"));
        const QStringList recent = log.recentLines();
        QCOMPARE(recent.size(), ProtocolLog::RecentLineCount);
        QCOMPARE(recent.at(recent.size() - 2).section(QLatin1Char('\t'), 1), QStringLiteral("two"));
        QCOMPARE(recent.last(), QStringLiteral("parts"));
    }

    void saveReplacesTheFileWholeWithCrLfLines()
    {
        QTemporaryDir dir;
        LanguageTexts texts;
        FakeClock clock;
        ProtocolLog log(texts, clock);
        const QString path = dir.filePath(QStringLiteral("vaultwck.log"));
        log.setLogFilePath(path);

        QVERIFY(log.Save());  // an empty buffer still replaces the last run's file
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray());
        f.close();

        log.AddSent(QStringLiteral("webuser"));
        log.AddSent(QStringLiteral("exit"));
        QVERIFY(log.Save());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("12/07/2026 14:05:09\twebuser\r\n12/07/2026 14:05:09\texit\r\n"));
        f.close();
        // No temporary files are left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("vaultwck.log")});
    }

    void unwritableFileIsIgnoredAndBufferKept()
    {
        QTemporaryDir dir;
        LanguageTexts texts;
        FakeClock clock;
        ProtocolLog log(texts, clock);
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        log.setLogFilePath(dir.filePath(QStringLiteral("file/vaultwck.log")));
        log.AddSent(QStringLiteral("x"));
        QVERIFY(!log.Save());
        QCOMPARE(log.sentLines().size(), 1);
        log.setLogFilePath(dir.filePath(QStringLiteral("ok.log")));
        QVERIFY(log.Save());
    }
};

QTEST_GUILESS_MAIN(TestProtocolLog)
#include "tst_protocollog.moc"
