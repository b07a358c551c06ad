#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "storage/RetentionPolicy.h"
#include "storage/StoredDumpWriter.h"
#include "tasks/TargetPath.h"
#include "tasks/TaskStore.h"

class TestTaskStore : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QString m_ini;
    TaskStore store() const { return TaskStore(m_ini); }

    static BackupTask tricky(const QString &name)
    {
        BackupTask t = BackupTask::withDefaults(name);
        t.host = QStringLiteral("www.example.org");
        t.hostuser = QStringLiteral("  web user  ");
        t.hostpw = QStringLiteral("a,b,\"c\";d=e#f\\g");
        t.ftpdir = QStringLiteral("@htdocs");
        t.mysql = QStringLiteral("db1");
        t.database = QStringLiteral("shop, \"live\"");
        t.dbuser = QStringLiteral("@Variant(foo)");
        t.dbpw = QStringLiteral("pa ss;rm -rf ~ 'x'");
        t.backupfile = QStringLiteral("Sicherung-Größe.sql");
        t.remotedir = QStringLiteral("~/dumps/");
        t.localdir = QStringLiteral("C:\\backups\\");
        t.httpath = QStringLiteral("http://www.example.org/dumps/");
        t.backuptime = QStringLiteral("  :  ");
        t.run = 1;
        t.subdirectory = true;
        t.method = 1;
        t.ftptls = true;
        t.testrestore = true;
        return t;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // The user's store lands below XDG_CONFIG_HOME on this platform.
        qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toUtf8());
    }

    void init()
    {
        static int n = 0;
        m_ini = m_home.filePath(QStringLiteral("store%1.conf").arg(++n));
    }

    void userStoreLivesInTheConfigDirectory()
    {
        TaskStore user;
        QCOMPARE(user.fileName(), m_home.filePath(QStringLiteral("config/Korvane/Vaultwick.conf")));
        QVERIFY(user.SaveTask(QStringLiteral("T"), BackupTask::withDefaults(QStringLiteral("T"))));
        QVERIFY(QFile::exists(user.fileName()));
        QSettings raw(user.fileName(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("tasks/T/Options/backupfile")).toString(), QStringLiteral("backup.sql"));
        user.DeleteTask(QStringLiteral("T"));
    }

    void everyValueRoundTripsExactly()
    {
        const BackupTask t = tricky(QStringLiteral("Tricky"));
        QVERIFY(store().SaveTask(t.name, t));
        // Read a copy, so the values come from the file and not from a cache.
        const QString copy = m_ini + QStringLiteral(".copy");
        QVERIFY(QFile::copy(m_ini, copy));
        const BackupTask back = TaskStore(copy).LoadTask(t.name);
        QCOMPARE(back.hostpw, t.hostpw);
        QCOMPARE(back.hostuser, t.hostuser);
        QCOMPARE(back.ftpdir, t.ftpdir);
        QCOMPARE(back.dbuser, t.dbuser);
        QCOMPARE(back.database, t.database);
        QCOMPARE(back.backupfile, t.backupfile);
        QCOMPARE(back.localdir, t.localdir);
        QVERIFY(back == t);
    }

    void runRecordIsTheRunsOwnAndNeverRevivesADeletedTask()
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("Shop"));
        t.saved = QStringLiteral("2026-12-01T10:00:00+01:00");
        QVERIFY(store().SaveTask(t.name, t));
        QVERIFY(store().SaveRunRecord(QStringLiteral("shop"), {QStringLiteral("2026-12-07T12:00:03+01:00"), {}, {}}));
        QVERIFY(store().SaveRunRecord(t.name, {{}, QStringLiteral("2026-12-07T12:01:00+01:00"),
                                                QStringLiteral("Successful on 12/07/2026 12:01:00")}));
        // The editor's save of an older copy leaves the record alone.
        t.host = QStringLiteral("new.example.org");
        QVERIFY(store().SaveTask(t.name, t));
        const BackupTask back = store().LoadTask(t.name);
        QCOMPARE(back.lastattempt, QStringLiteral("2026-12-07T12:00:03+01:00"));
        QCOMPARE(back.lastsuccess, QStringLiteral("2026-12-07T12:01:00+01:00"));
        QCOMPARE(back.lastmessage, QStringLiteral("Successful on 12/07/2026 12:01:00"));
        QCOMPARE(back.saved, t.saved);
        QCOMPARE(back.host, t.host);

        store().DeleteTask(t.name);
        QVERIFY(!store().SaveRunRecord(t.name, {QStringLiteral("2026-12-08T12:00:00+01:00"), {}, {}}));
        QVERIFY(store().ListTaskNames().isEmpty());
    }

    void valuesAreWrittenAsText()
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("Plain"));
        t.run = 1;
        t.subdirectory = true;
        t.ftptls = true;
        QVERIFY(store().SaveTask(t.name, t));
        QFile f(m_ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("run=1"));
        QVERIFY(text.contains("subdirectory=1"));
        QVERIFY(text.contains("method=0"));
        QVERIFY(text.contains("ftptls=1"));
        QVERIFY(!text.contains("@Variant"));
    }

    void absentValuesTakeDefaultsPresentEmptyOnesStayEmpty()
    {
        const BackupTask missing = store().LoadTask(QStringLiteral("Nobody"));
        QCOMPARE(missing.name, QStringLiteral("Nobody"));
        QCOMPARE(missing.backupfile, QStringLiteral("backup.sql"));
        QCOMPARE(missing.backuptime, QStringLiteral("12:00"));
        QCOMPARE(missing.mysql, QStringLiteral("localhost"));
        QCOMPARE(missing.localdir, TaskDefaults::localdir());
        QCOMPARE(missing.run, 0);
        QCOMPARE(missing.subdirectory, false);
        QCOMPARE(missing.method, 0);
        QCOMPARE(missing.ftptls, false);  // a store from before FTPS keeps plain FTP
        QCOMPARE(missing.testrestore, false);  // nor does it start test restores
        QVERIFY(missing.host.isEmpty() && missing.remotedir.isEmpty() && missing.httpath.isEmpty());

        {
            QSettings raw(m_ini, QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/Sparse/Options/remotedir"), QString());
            raw.setValue(QStringLiteral("tasks/Sparse/Options/host"), QStringLiteral("h"));
        }
        const BackupTask sparse = store().LoadTask(QStringLiteral("Sparse"));
        QCOMPARE(sparse.remotedir, QString());
        QCOMPARE(sparse.backupfile, QStringLiteral("backup.sql"));
        QCOMPARE(sparse.host, QStringLiteral("h"));
    }

    void numbersAndFlagsParseLeniently_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QString>("subdirectory");
        QTest::addColumn<QString>("method");
        QTest::addColumn<int>("expRun");
        QTest::addColumn<bool>("expSub");
        QTest::addColumn<int>("expMethod");
        QTest::newRow("not a number") << "yes" << "" << "x" << 0 << false << 0;
        QTest::newRow("two and five") << "2" << "5" << "7" << 2 << true << 7;
        QTest::newRow("negative") << "-1" << "0" << "1" << -1 << false << 1;
    }

    void numbersAndFlagsParseLeniently()
    {
        QFETCH(QString, run);
        QFETCH(QString, subdirectory);
        QFETCH(QString, method);
        {
            QSettings raw(m_ini, QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/N/Options/run"), run);
            raw.setValue(QStringLiteral("tasks/N/Options/subdirectory"), subdirectory);
            raw.setValue(QStringLiteral("tasks/N/Options/method"), method);
        }
        const BackupTask t = store().LoadTask(QStringLiteral("N"));
        QTEST(t.run, "expRun");
        QTEST(t.subdirectory, "expSub");
        QTEST(t.method, "expMethod");
        QCOMPARE(t.isActive(), t.run == 1);
        QCOMPARE(store().ReadRow(QStringLiteral("N")).run, t.run);
    }

    void countsAndPortsAreBoundedToTheEditorsRanges()
    {
        {
            QSettings raw(m_ini, QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/N/Options/keepdaily"), QStringLiteral("2147483647"));
            raw.setValue(QStringLiteral("tasks/N/Options/keepweekly"), QStringLiteral("-3"));
            raw.setValue(QStringLiteral("tasks/N/Options/keepmonthly"), QStringLiteral("12"));
            raw.setValue(QStringLiteral("tasks/N/Options/sshport"), QStringLiteral("70000"));
        }
        BackupTask t = store().LoadTask(QStringLiteral("N"));
        QCOMPARE(t.keepdaily, MaxKeepCount);
        QCOMPARE(t.keepweekly, 0);
        QCOMPARE(t.keepmonthly, 12);
        QCOMPARE(t.sshport, 22);
        // A task from elsewhere still rotates no more copies than the editor allows.
        t.keepdaily = std::numeric_limits<int>::max();
        QCOMPARE(StoreOptions::ForTask(t).rotatedCopies, MaxKeepCount - 1);
    }

    void backupFileNamesThatLeaveTheDirectoryAreRefused()
    {
        for (const char *bad : {"../shop.sql", "a/b.sql", "a\\b.sql", "x..sql", "-rf.sql", "tab\t.sql", "esc\x1b.sql"})
            QVERIFY2(!BackupFileNameProblem(QString::fromLatin1(bad), false).isEmpty(), bad);
        for (const char *good : {"backup.sql", "shop-2027.sql", ".hidden.sql", "Größe.sql"})
            QVERIFY2(BackupFileNameProblem(QString::fromUtf8(good), true).isEmpty(), good);
        QVERIFY(BackupFileNameProblem(QStringLiteral("-x"), true).startsWith(QStringLiteral("Der Name")));
        QVERIFY(!LocalDirectoryProblem(QStringLiteral("/home/u/\nbackups"), false).isEmpty());
        QVERIFY(LocalDirectoryProblem(QStringLiteral("/home/u/backups"), false).isEmpty());
    }

    void namesCompareWithoutLetterCase()
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("Daily"));
        t.host = QStringLiteral("first");
        QVERIFY(store().SaveTask(QStringLiteral("Daily"), t));
        t.host = QStringLiteral("second");
        QVERIFY(store().SaveTask(QStringLiteral("DAILY"), t));
        QCOMPARE(store().ListTaskNames(), QStringList{QStringLiteral("Daily")});
        QCOMPARE(store().LoadTask(QStringLiteral("daily")).host, QStringLiteral("second"));
        store().DeleteTask(QStringLiteral("dAILY"));
        QVERIFY(store().ListTaskNames().isEmpty());
    }

    void listIsAscendingWithoutLetterCase()
    {
        for (const char *n : {"beta", "Alpha", "gamma", "Delta", "épée"})
            QVERIFY(store().SaveTask(QString::fromUtf8(n), BackupTask::withDefaults(QString::fromUtf8(n))));
        const QStringList names = store().ListTaskNames();
        QCOMPARE(names.mid(0, 4), (QStringList{"Alpha", "beta", "Delta", "gamma"}));
        QCOMPARE(names.size(), 5);
    }

    void namesThatWouldNestAreRefused()
    {
        for (const QString &bad : {QStringLiteral("a/b"), QStringLiteral("a\\b"), QString()}) {
            QVERIFY(!store().SaveTask(bad, BackupTask::withDefaults(bad)));
        }
        QVERIFY(store().ListTaskNames().isEmpty());
        QVERIFY(!QFile::exists(m_ini));
    }

    void deleteRemovesWholeTaskAndMissingIsNoError()
    {
        QVERIFY(store().SaveTask(QStringLiteral("One"), tricky(QStringLiteral("One"))));
        QVERIFY(store().SaveTask(QStringLiteral("Two"), tricky(QStringLiteral("Two"))));
        store().DeleteTask(QStringLiteral("One"));
        store().DeleteTask(QStringLiteral("Never"));
        QCOMPARE(store().ListTaskNames(), QStringList{QStringLiteral("Two")});
        QCOMPARE(store().LoadTask(QStringLiteral("One")).host, QString());
        // A store emptied by deleting every task is whole, not damaged.
        store().DeleteTask(QStringLiteral("Two"));
        TaskStore emptied = store();
        QCOMPARE(emptied.CheckAtStartup(), StoreFile::Health::Whole);
        QVERIFY(emptied.SaveTask(QStringLiteral("Three"), tricky(QStringLiteral("Three"))));
    }

    void aValueThatIsNotTextIsAReadError()
    {
        {
            QFile f(m_ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[tasks]\nBad\\Options\\host=h\nBad\\Options\\hostuser=a, b\nBad\\Options\\hostpw=p\n");
        }
        BackupTask t = BackupTask::withDefaults(QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(TaskStoreReadError, store().LoadTask(QStringLiteral("Bad"), t));
        // What was read before the bad value stays.
        QCOMPARE(t.host, QStringLiteral("h"));
        QCOMPARE(t.hostpw, QString());
    }

    void theListReadGivesWhatSingleReadsGive()
    {
        QVERIFY(store().SaveTask(QStringLiteral("beta"), tricky(QStringLiteral("beta"))));
        QVERIFY(store().SaveTask(QStringLiteral("Alpha"), BackupTask::withDefaults(QStringLiteral("Alpha"))));
        {
            QSettings raw(m_ini, QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/Gamma/Options/run"), QStringLiteral("2"));
            raw.setValue(QStringLiteral("tasks/Gamma/Options/backupfile"), QString());
            raw.setValue(QStringLiteral("tasks/Odd/Options/hostpw"), QStringList{QStringLiteral("a"), QStringLiteral("b")});
            raw.setValue(QStringLiteral("tasks/Odd/Options/host"), QStringLiteral("odd.example"));
        }
        const QList<TaskListEntry> list = store().ReadTaskList();
        QStringList names;
        for (const TaskListEntry &e : list)
            names << e.name;
        QCOMPARE(names, store().ListTaskNames());
        for (const TaskListEntry &e : list) {
            if (e.name == QLatin1String("Odd")) {
                QCOMPARE(e.unreadableKey, QStringLiteral("hostpw"));
                QCOMPARE(e.row.host, QStringLiteral("odd.example"));
                QVERIFY_THROWS_EXCEPTION(TaskStoreReadError, store().LoadTask(e.name));
                continue;
            }
            const TaskRowValues row = store().ReadRow(e.name);
            QCOMPARE(e.unreadableKey, QString());
            QCOMPARE(e.row.run, row.run);
            QCOMPARE(e.row.host, row.host);
            QCOMPARE(e.row.backupfile, row.backupfile);
            QCOMPARE(e.row.backuptime, row.backuptime);
            QCOMPARE(e.row.backupfile, store().ReadBackupFile(e.name));
            QCOMPARE(e.localdir, store().ReadLocalDir(e.name));
        }
    }

    void storeFileIsPrivateAndWriteFailureIsReported()
    {
        QVERIFY(store().SaveTask(QStringLiteral("P"), tricky(QStringLiteral("P"))));
        const auto perms = QFile::permissions(m_ini);
        QVERIFY(perms.testFlag(QFileDevice::ReadOwner) && perms.testFlag(QFileDevice::WriteOwner));
        const auto others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
        QCOMPARE(perms & others, QFileDevice::Permissions());

        // A store below a regular file cannot be created, not even by root.
        const QString blocker = m_home.filePath(QStringLiteral("blocker"));
        QFile b(blocker);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.close();
        TaskStore broken(blocker + QStringLiteral("/sub/store.conf"));
        QVERIFY(!broken.SaveTask(QStringLiteral("T"), BackupTask::withDefaults(QStringLiteral("T"))));
    }
};

QTEST_GUILESS_MAIN(TestTaskStore)
#include "tst_taskstore.moc"
