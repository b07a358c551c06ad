#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "cli/CommandLine.h"
#include "engine/TaskRunLock.h"
#include "restore/RestorePrograms.h"
#include "tasks/TaskStore.h"

// The real program from a shell: no display, the user's store found through
// XDG_CONFIG_HOME as the desktop sets it.
class TestCommandLine : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;

    QString storeFile() const { return m_home.filePath(QStringLiteral("config/Korvane/Vaultwick.conf")); }

    struct Result {
        int status = -1;
        QString out;
        QString err;
    };
    Result run(const QStringList &arguments)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("HOME"), m_home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        QDir().mkpath(m_home.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("TMPDIR"), m_home.filePath(QStringLiteral("tmp")));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(VW_BINARY), arguments);
        if (!p.waitForFinished(20000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void windowOptionsStayWithTheWindowProgram_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("platform") << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} << false;
        QTest::newRow("session") << QStringList{QStringLiteral("--session=abc")} << false;
        QTest::newRow("list") << QStringList{QStringLiteral("--list")} << true;
        QTest::newRow("single dash") << QStringList{QStringLiteral("-version")} << true;
        QTest::newRow("run=") << QStringList{QStringLiteral("--run=Shop")} << true;
        QTest::newRow("unknown") << QStringList{QStringLiteral("--lsit")} << true;
    }
    void windowOptionsStayWithTheWindowProgram()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, commandLine);
        QCOMPARE(CommandLine::wanted(QStringList{QStringLiteral("vaultwick")} + arguments), commandLine);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown") << QStringList{QStringLiteral("--lsit")};
        QTest::newRow("json alone") << QStringList{QStringLiteral("--json")};
        QTest::newRow("run without name") << QStringList{QStringLiteral("--run")};
        QTest::newRow("two actions") << QStringList{QStringLiteral("--list"), QStringLiteral("--run-due")};
        QTest::newRow("positional") << QStringList{QStringLiteral("--list"), QStringLiteral("Shop")};
        QTest::newRow("backup without verify") << QStringList{QStringLiteral("--run"), QStringLiteral("Shop"),
                                                              QStringLiteral("--backup"), QStringLiteral("x.sql")};
        QTest::newRow("verify and run") << QStringList{QStringLiteral("--verify"), QStringLiteral("Shop"),
                                                       QStringLiteral("--run-due")};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const CommandLineRequest r = CommandLine::parse(QStringList{QStringLiteral("vaultwick")} + arguments, false);
        QCOMPARE(r.mode, CommandLineRequest::UsageError);
        QVERIFY(!r.error.isEmpty());
    }

    void versionAndHelpWithoutADisplay()
    {
        const Result v = run({QStringLiteral("--version")});
        QCOMPARE(v.status, 0);
        const QStringList lines = v.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith(QStringLiteral("Vaultwick ")));
        QCOMPARE(lines[1], QStringLiteral("Qt ") + QString::fromLatin1(qVersion()));
        QVERIFY(lines[2].startsWith(QStringLiteral("libcurl 7.")) || lines[2].startsWith(QStringLiteral("libcurl 8.")));

        const Result bad = run({QStringLiteral("--lsit")});
        QCOMPARE(bad.status, 2);
        QVERIFY(bad.out.isEmpty());
        QVERIFY(bad.err.contains(QStringLiteral("lsit")));

        // The stored interface language speaks on the command line too.
        QSettings(storeFile(), QSettings::IniFormat).setValue(QStringLiteral("Options/language"), QStringLiteral("1"));
        const Result help = run({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        QVERIFY2(help.out.contains(QStringLiteral("--run-due")) && help.out.contains(QStringLiteral("Führt die Aufgabe")),
                 qPrintable(help.out));
        QFile::remove(storeFile());
    }

    void listAndJsonFromTheStore()
    {
        TaskStore store(storeFile());
        QCOMPARE(run({QStringLiteral("--list")}).out, QString());  // no tasks, no lines

        BackupTask shop = BackupTask::withDefaults(QStringLiteral("Shop"));
        shop.run = 1;
        shop.backuptime = QStringLiteral("03:15");
        shop.lastmessage = QStringLiteral("Successful on 12/07/2026 03:15:09");
        BackupTask blog = BackupTask::withDefaults(QStringLiteral("blog db"));
        blog.transport = 1;
        blog.method = 1;
        blog.lastmessage = QStringLiteral("!!! Not Successful\ton 12/07/2026");
        QVERIFY(store.SaveTask(shop.name, shop));
        QVERIFY(store.SaveTask(blog.name, blog));
        {
            // What the program writes after runs lives in the same group.
            QSettings raw(storeFile(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/Shop/Options/lastmessage"), shop.lastmessage);
            raw.setValue(QStringLiteral("tasks/Shop/Options/lastsuccess"), QStringLiteral("2026-12-07T03:15:09+01:00"));
            raw.setValue(QStringLiteral("tasks/blog db/Options/lastmessage"), blog.lastmessage);
            raw.setValue(QStringLiteral("tasks/Shop/Options/lastrestoretest"), QStringLiteral("passed"));
            raw.setValue(QStringLiteral("tasks/Shop/Options/lastrestorecounts"), QStringLiteral("12 48213"));
        }

        const Result list = run({QStringLiteral("--list")});
        QCOMPARE(list.status, 0);
        QCOMPARE(list.out, QStringLiteral("blog db\tinactive\t12:00\tssh\thttp\t!!! Not Successful on 12/07/2026\n"
                                          "Shop\tactive\t03:15\ttelnet\tftp\tSuccessful on 12/07/2026 03:15:09\n"));

        const Result json = run({QStringLiteral("--list"), QStringLiteral("--json")});
        QCOMPARE(json.status, 0);
        const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(array.size(), 2);
        const QJsonObject second = array.at(1).toObject();
        QCOMPARE(second.value(QStringLiteral("name")).toString(), QStringLiteral("Shop"));
        QCOMPARE(second.value(QStringLiteral("active")).toBool(), true);
        QCOMPARE(second.value(QStringLiteral("lastsuccess")).toString(), QStringLiteral("2026-12-07T03:15:09+01:00"));
        QCOMPARE(array.at(0).toObject().value(QStringLiteral("lastmessage")).toString(), blog.lastmessage);
        QCOMPARE(second.value(QStringLiteral("lastrestoretest")).toString(), QStringLiteral("passed"));
        QCOMPARE(second.value(QStringLiteral("lastrestorecounts")).toString(), QStringLiteral("12 48213"));
        QFile::remove(storeFile());
    }

    // --verify takes the newest stored backup by the program's naming, or
    // the one named: a changed byte fails on its checksum before any server
    // starts; a sound one loads into a throwaway server that is gone after.
    void verifyChecksAndTestRestoresABackup()
    {
        if (!RestorePrograms::find().found())
            VW_SKIP("no mariadbd or mysqld with its client");
        const QString local = m_home.filePath(QStringLiteral("backups"));
        BackupTask shop = BackupTask::withDefaults(QStringLiteral("Shop"));
        shop.localdir = local;
        shop.subdirectory = true;
        QVERIFY(TaskStore(storeFile()).SaveTask(shop.name, shop));
        const QByteArray dump = "CREATE TABLE `t` (a INT);\nINSERT INTO `t` VALUES (1),(2);\n-- Dump completed on 2027-03-05\n";
        auto store = [&](const QString &day, QByteArray content, const QDateTime &time) {
            const QString file = local + QLatin1Char('/') + day + QStringLiteral("/backup.sql");
            QVERIFY(QDir().mkpath(QFileInfo(file).path()));
            QFile f(file), sum(file + QStringLiteral(".sha256"));
            QVERIFY(sum.open(QIODevice::WriteOnly));
            sum.write(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex() + "  backup.sql\n");
            QVERIFY(f.open(QIODevice::WriteOnly));
            content.replace("(2)", "(3)");  // what the disk did to it, for the newest
            f.write(day == QLatin1String("2027-3-5") ? content : dump);
            f.close();
            QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(time, QFileDevice::FileModificationTime));
        };
        store(QStringLiteral("2027-3-4"), dump, QDateTime(QDate(2027, 3, 4), QTime(3, 0)));
        store(QStringLiteral("2027-3-5"), dump, QDateTime(QDate(2027, 3, 5), QTime(3, 0)));

        const Result damaged = run({QStringLiteral("--verify"), QStringLiteral("shop")});
        QCOMPARE(damaged.status, 1);
        QVERIFY2(damaged.out.contains(QStringLiteral("Checksum MISMATCH: backup.sql")), qPrintable(damaged.out));
        QVERIFY(damaged.out.contains(QStringLiteral("2027-3-5/backup.sql")));

        const Result sound = run({QStringLiteral("--verify"), QStringLiteral("Shop"), QStringLiteral("--backup"),
                                  local + QStringLiteral("/2027-3-4/backup.sql")});
        QVERIFY2(sound.status == 0, qPrintable(sound.out + sound.err));
        QVERIFY2(sound.out.contains(QStringLiteral("Checksum matches: backup.sql\n")), qPrintable(sound.out));
        QVERIFY(sound.out.contains(QStringLiteral("Test restore passed: 1 table, 2 rows (")));
        QCOMPARE(QDir(m_home.filePath(QStringLiteral("tmp"))).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList());

        QCOMPARE(run({QStringLiteral("--verify"), QStringLiteral("nobody")}).status, 2);

        // A restore holds the task's run lock: not while a run of it dumps the database.
        shop.transport = 1;
        shop.host = QStringLiteral("www.shop.example");
        QVERIFY(TaskStore(storeFile()).SaveTask(shop.name, shop));
        TaskRunLock running(shop.name, m_home.filePath(QStringLiteral("data/Korvane/Vaultwick/locks")));
        QVERIFY(running.tryLock());
        const Result busy = run({QStringLiteral("--restore"), QStringLiteral("Shop"), QStringLiteral("--yes")});
        QCOMPARE(busy.status, 1);
        QVERIFY2(busy.out.contains(QStringLiteral("Restore failed: the task Shop is running")), qPrintable(busy.out + busy.err));
        QFile::remove(storeFile());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
