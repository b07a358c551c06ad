#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"

#include "TaskBuilder.h"
#include "run/HostValueCheck.h"
#include "run/TelnetDialogue.h"
#include "ssh/SshDumpCommand.h"
#include "engine/ClientOptionValue.h"
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
                 QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h db.example.org --user=web_7 shop > /home/web/dumps/backup.sql"));
        t.dbuser.clear();
        t.remotedir = QStringLiteral("~/dumps/");
        QCOMPARE(TelnetDialogue::BuildDumpCommand(t),
                 QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h db.example.org shop > ~/dumps/backup.sql"));
    }

    // The session line as dash, bash and busybox run it: the host asks for
    // the password, reads it as one line, and mysqldump gets it only in its
    // option file on standard input.
    void sessionCommandGivesThePasswordOnlyOnStandardInput()
    {
        BackupTask t = task();
        t.dbpw = QStringLiteral("pa ss;\"$(id)'\\ ");
        const QStringList shells[] = {{QStringLiteral("/bin/sh")}, {QStringLiteral("/bin/bash")},
                                      {QStringLiteral("/bin/busybox"), QStringLiteral("sh")}};
        for (const QStringList &shell : shells) {
            if (!QFile::exists(shell.first()))
                continue;
            QTemporaryDir dir;
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
            QFile fake(dir.filePath(QStringLiteral("bin/mysqldump")));
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"; cat > \"$0.input\"; echo '-- Dump completed'\n");
            fake.close();
            QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
            t.remotedir = dir.path() + QLatin1Char('/');
            QProcess sh;
            sh.setEnvironment({QStringLiteral("PATH=") + dir.filePath(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin")});
            sh.start(shell.first(), shell.mid(1) + QStringList{QStringLiteral("-c"), TelnetDialogue::SessionCommand(t, QStringLiteral("backup.sql"))});
            sh.write(ClientOptionValue(t.dbpw) + '\n');
            sh.closeWriteChannel();
            QVERIFY(sh.waitForFinished(10000));
            QCOMPARE(sh.readAllStandardOutput(), QByteArray("mysql-password:\n"));
            QFile input(fake.fileName() + QStringLiteral(".input")), args(fake.fileName() + QStringLiteral(".args"));
            QVERIFY(input.open(QIODevice::ReadOnly) && args.open(QIODevice::ReadOnly));
            QCOMPARE(input.readAll(), "[client]\npassword=" + ClientOptionValue(t.dbpw) + "\n");
            QCOMPARE(args.readAll(), QByteArray("--defaults-extra-file=/dev/stdin\n-h\ndb.example.org\n--user=web_7\nshop\n"));
            QFile dump(dir.filePath(QStringLiteral("backup.sql")));
            QVERIFY(dump.open(QIODevice::ReadOnly));
            QCOMPARE(dump.readAll(), QByteArray("-- Dump completed\n"));
        }
        QVERIFY(!TelnetDialogue::SessionCommand(t, QStringLiteral("backup.sql")).contains(QStringLiteral("pa ss")));

        // "auto" runs mariadb-dump where the host has it, mysqldump where not.
        t.dumpprogram = QStringLiteral("auto");
        for (const bool mariadb : {false, true}) {
            QTemporaryDir dir;
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
            for (const QString &name : mariadb ? QStringList{"mysqldump", "mariadb-dump"} : QStringList{"mysqldump"}) {
                QFile fake(dir.filePath(QStringLiteral("bin/") + name));
                QVERIFY(fake.open(QIODevice::WriteOnly));
                // Builtins only: the PATH holds nothing but these two.
                fake.write("#!/bin/sh\nwhile read -r l; do :; done; echo " + name.toUtf8() + "\n");
                fake.close();
                QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
            }
            QVERIFY(QFile::link(QStringLiteral("/bin/sh"), dir.filePath(QStringLiteral("bin/sh"))));
            t.remotedir = dir.path() + QLatin1Char('/');
            QProcess sh;
            sh.setEnvironment({QStringLiteral("PATH=") + dir.filePath(QStringLiteral("bin"))});
            sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), TelnetDialogue::SessionCommand(t, QStringLiteral("backup.sql"))});
            sh.write("x\n");
            sh.closeWriteChannel();
            QVERIFY(sh.waitForFinished(10000));
            QFile dump(dir.filePath(QStringLiteral("backup.sql")));
            QVERIFY(dump.open(QIODevice::ReadOnly));
            QCOMPARE(dump.readAll(), mariadb ? QByteArray("mariadb-dump\n") : QByteArray("mysqldump\n"));
        }
    }

    // "*": the host's client lists the databases; its password too comes
    // only on standard input, and a refusal is no list.
    void listingCommandReadsTheNamesTheClientPrints()
    {
        BackupTask t = task();
        t.dbpw = QStringLiteral("pa ss;$(id)");
        for (const bool refused : {false, true}) {
            for (const QStringList &shell : {QStringList{QStringLiteral("/bin/sh")}, QStringList{QStringLiteral("/bin/bash")},
                                             QStringList{QStringLiteral("/bin/busybox"), QStringLiteral("sh")}}) {
                if (!QFile::exists(shell.first()))
                    continue;
                QTemporaryDir dir;
                QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
                QFile fake(dir.filePath(QStringLiteral("bin/mysql")));
                QVERIFY(fake.open(QIODevice::WriteOnly));
                fake.write(refused ? "#!/bin/sh\necho 'ERROR 1045 (28000): Access denied for user' >&2; exit 1\n"
                                   : "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"; cat > \"$0.input\"; "
                                     "printf 'information_schema\\nshop\\nmysql\\nblog\\n'\n");
                fake.close();
                QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
                QProcess sh;
                sh.setProcessChannelMode(QProcess::MergedChannels);
                sh.setEnvironment({QStringLiteral("PATH=") + dir.filePath(QStringLiteral("bin")) + QStringLiteral(":/usr/bin:/bin")});
                sh.start(shell.first(), shell.mid(1) + QStringList{QStringLiteral("-c"), TelnetDialogue::ListingCommand(t)});
                sh.write(ClientOptionValue(t.dbpw) + '\n');
                sh.closeWriteChannel();
                QVERIFY(sh.waitForFinished(10000));
                bool whole = false;
                const QStringList names = TelnetDialogue::ListedNames(sh.readAll(), &whole);
                QCOMPARE(whole, !refused);
                if (refused)
                    continue;
                QCOMPARE(names, QStringList({QStringLiteral("shop"), QStringLiteral("blog")}));
                QFile input(fake.fileName() + QStringLiteral(".input")), args(fake.fileName() + QStringLiteral(".args"));
                QVERIFY(input.open(QIODevice::ReadOnly) && args.open(QIODevice::ReadOnly));
                QCOMPARE(input.readAll(), "[client]\npassword=" + ClientOptionValue(t.dbpw) + "\n");
                QCOMPARE(args.readAll(), QByteArray("--defaults-extra-file=/dev/stdin\n-h\ndb.example.org\n--user=web_7\n"
                                                    "-N\n-B\n-e\nSHOW DATABASES\n"));
            }
        }
    }

    // Compressed on the host: zstd where it is, else gzip, else as it is;
    // the status is mysqldump's own, though the compressor ends well.
    void hostCompressionKeepsTheDumpsStatus()
    {
        BackupTask t = task();
        t.hostcompress = QStringLiteral("auto");
        struct Case { QStringList tools; bool fails; QByteArray magic; };
        const Case cases[] = {{{}, false, "-- "}, {{"gzip"}, false, "\x1f\x8b"}, {{"gzip", "zstd"}, false, "\x28\xb5\x2f\xfd"},
                              {{"gzip"}, true, "\x1f\x8b"}};
        for (const Case &c : cases) {
            QTemporaryDir dir;
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
            QFile fake(dir.filePath(QStringLiteral("bin/mysqldump")));
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write(c.fails ? "#!/bin/sh\nprintf -- '-- part\\n'; exit 2\n" : "#!/bin/sh\nprintf -- '-- Dump completed\\n'\n");
            fake.close();
            QVERIFY(fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner));
            for (const QString &tool : c.tools + QStringList{QStringLiteral("sh")}) {
                const QString real = QStandardPaths::findExecutable(tool);
                if (real.isEmpty())
                    VW_SKIP(qPrintable(tool + QStringLiteral(" is not installed")));
                QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("bin/") + tool)));
            }
            QProcess sh;
            sh.setEnvironment({QStringLiteral("PATH=") + dir.filePath(QStringLiteral("bin"))});
            // The command as the SSH channel runs it: words for the login shell.
            sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), SshDumpCommand(t)});
            sh.closeWriteChannel();
            QVERIFY(sh.waitForFinished(10000));
            QCOMPARE(sh.exitCode(), c.fails ? 2 : 0);
            QVERIFY2(sh.readAllStandardOutput().startsWith(c.magic), qPrintable(c.tools.join(QLatin1Char(' '))));
        }
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
            QStringLiteral("--defaults-extra-file=/dev/stdin"), QStringLiteral("-h"), QStringLiteral("db.example.org"),
            QStringLiteral("--user=o'neil `id`"),
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
