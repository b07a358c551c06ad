#include <QProcess>
#include <QtTest>

#include "TaskBuilder.h"
#include "run/HostValueCheck.h"
#include "run/TelnetDialogue.h"
#include "engine/ShellQuote.h"

namespace {
BackupTask task()
{
    return TaskBuilder(QStringLiteral("T"))
        .mysql(QStringLiteral("db.example.org"), QStringLiteral("web_7"), QStringLiteral("S3cr3t"))
        .database(QStringLiteral("shop"))
        .remoteDir(QStringLiteral("/home/web/dumps/"))
        .file(QStringLiteral("backup.sql"));
}

// What a POSIX shell makes of the words after "mysqldump", one per line, and
// where it would redirect to.
QStringList shellWords(const QString &command)
{
    QString cmd = command;
    cmd.replace(QStringLiteral("mysqldump "), QStringLiteral("printf '%s\\n' "));
    const int redirect = cmd.lastIndexOf(QStringLiteral(" > "));
    cmd = cmd.left(redirect) + QStringLiteral("; printf 'TARGET %s\\n' ") + cmd.mid(redirect + 3);
    QProcess sh;
    sh.setProgram(QStringLiteral("/bin/sh"));
    sh.setArguments({QStringLiteral("-c"), cmd});
    sh.setEnvironment({QStringLiteral("HOME=/home/web"), QStringLiteral("PATH=/usr/bin:/bin")});
    sh.start();
    sh.waitForFinished(5000);
    return QString::fromUtf8(sh.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
}

class TestDumpCommand : public QObject {
    Q_OBJECT
private slots:
    void ordinaryTasksGiveThePlainCommandLine()
    {
        BackupTask t = task();
        QCOMPARE(TelnetDialogue::BuildDumpCommand(t),
                 QStringLiteral("mysqldump -h db.example.org --user=web_7 --password=S3cr3t shop > /home/web/dumps/backup.sql"));
        t.dbuser.clear();
        QCOMPARE(TelnetDialogue::BuildDumpCommand(t),
                 QStringLiteral("mysqldump -h db.example.org --password=S3cr3t shop > /home/web/dumps/backup.sql"));
        t.dbpw.clear();
        QCOMPARE(TelnetDialogue::BuildDumpCommand(t),
                 QStringLiteral("mysqldump -h db.example.org --password= shop > /home/web/dumps/backup.sql"));
        t.remotedir = QStringLiteral("~/dumps/");
        t.dbpw = QStringLiteral("a@b%c+d=e:f,g.h/i~j-k_l");
        QCOMPARE(TelnetDialogue::BuildDumpCommand(t),
                 QStringLiteral("mysqldump -h db.example.org --password=a@b%c+d=e:f,g.h/i~j-k_l shop > ~/dumps/backup.sql"));
    }

    void maskedCommandHidesOnlyThePassword()
    {
        QCOMPARE(TelnetDialogue::BuildDumpCommand(task(), true),
                 QStringLiteral("mysqldump -h db.example.org --user=web_7 --password=******** shop > /home/web/dumps/backup.sql"));
    }

    void quoting_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("quoted");
        QTest::newRow("plain") << "abc_XYZ-09" << "abc_XYZ-09";
        QTest::newRow("blank") << "pa ss" << "'pa ss'";
        QTest::newRow("quote") << "it's" << "'it'\\''s'";
        QTest::newRow("dollar") << "$HOME" << "'$HOME'";
        QTest::newRow("leading tilde") << "~root" << "'~root'";
        QTest::newRow("umlaut") << "Größe" << "'Größe'";
        QTest::newRow("empty") << "" << "";
    }

    void quoting()
    {
        QFETCH(QString, value);
        QTEST(ShellQuote(value), "quoted");
    }

    void hostileValuesArriveAsOneArgumentAndRunNothing()
    {
        BackupTask t = task();
        t.dbpw = QStringLiteral("pa ss;rm -rf ~");
        t.dbuser = QStringLiteral("o'neil `id`");
        t.database = QStringLiteral("$(touch /tmp/vw-pwned) shop");
        t.remotedir = QStringLiteral("~/my dumps/");
        t.backupfile = QStringLiteral("b;ls.sql");
        const QStringList words = shellWords(TelnetDialogue::BuildDumpCommand(t));
        QCOMPARE(words, (QStringList{
            QStringLiteral("-h"), QStringLiteral("db.example.org"),
            QStringLiteral("--user=o'neil `id`"),
            QStringLiteral("--password=pa ss;rm -rf ~"),
            QStringLiteral("$(touch /tmp/vw-pwned) shop"),
            QStringLiteral("TARGET /home/web/my dumps/b;ls.sql")}));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/vw-pwned")));
    }

    // Typed into the host's terminal these would act as keys; named by key,
    // never shown, and an option-like database name goes nowhere either.
    void valuesTheTerminalWouldActOnAreRefused()
    {
        QVERIFY(TelnetValueRefusal(task(), false).isEmpty());
        for (const char c : {'\x03', '\x15', '\x17', '\t', '\r', '\n', '\x1b', '\x7f'}) {
            BackupTask t = task();
            t.dbpw = QStringLiteral("se") + QLatin1Char(c) + QStringLiteral("cret");
            const QString why = TelnetValueRefusal(t, false);
            QVERIFY2(why.contains(QStringLiteral("dbpw")), qPrintable(QString::number(int(c))));
            QVERIFY(!why.contains(QStringLiteral("cret")));
        }
        BackupTask t = task();
        // A UTF-8 terminal takes U+009B as the start of a control sequence.
        t.hostuser = QStringLiteral("web") + QChar(0x9b) + QStringLiteral("2J");
        QVERIFY(TelnetValueRefusal(t, false).contains(QStringLiteral("hostuser")));
        t = task();
        t.remotedir = QStringLiteral("/dumps/\n");
        QVERIFY(TelnetValueRefusal(t, true).contains(QStringLiteral("remotedir")));
        t = task();
        t.database = QStringLiteral("--all-databases");
        QVERIFY(TelnetValueRefusal(t, false).startsWith(QStringLiteral("Refused: the database name")));
        QVERIFY(DatabaseNameRefusal(t.database, true).startsWith(QStringLiteral("Abgewiesen: der Datenbankname")));
        QVERIFY(DatabaseNameRefusal(QStringLiteral("shop-2"), false).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDumpCommand)
#include "tst_dumpcommand.moc"
