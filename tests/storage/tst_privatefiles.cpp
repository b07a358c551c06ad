// Files on this machine: owner-only whatever the umask, stricter modes kept,
// no symbolic link followed, temporary files of broken-off runs cleared.
#include <QtTest>
#include <sys/stat.h>

#include "FakeClock.h"
#include "engine/ProtocolLog.h"
#include "retrieval/LocalTarget.h"
#include "shell/LanguageTexts.h"
#include "storage/RetentionSweeper.h"
#include "storage/StoredDumpWriter.h"
#include "tasks/BackupTask.h"

namespace {

const QByteArray Dump = "CREATE TABLE t (x int);\n-- Dump completed on 2027-03-05  3:00:21\n";

int modeOf(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

bool store(const QString &target, int copies = 0)
{
    StoredDumpWriter out;
    return out.open(target, Compression::None, copies) && out.write(Dump.constData(), Dump.size())
           && out.commit(true) == StoredDumpWriter::Failure::None;
}

void touch(const QString &path, const QDateTime &time)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.write("x") == 1 && f.flush());
    QVERIFY(f.setFileTime(time, QFileDevice::FileModificationTime));
}

} // namespace

class PrivateFilesTest : public QObject {
    Q_OBJECT
private:
    mode_t m_umask = 0;

private slots:
    // The widest umask: whatever the files get is the program's own doing.
    void initTestCase() { m_umask = ::umask(0); }
    void cleanupTestCase() { ::umask(m_umask); }

    void backupsChecksumsCopiesDaysAndLogAreOwnerOnly()
    {
        QTemporaryDir dir;
        const QString day = MakeDailySubdirectory(dir.path(), QDate(2027, 3, 5));
        QCOMPARE(day, dir.filePath(QStringLiteral("2027-3-5")));
        QCOMPARE(modeOf(day), 0700);

        const QString target = dir.filePath(QStringLiteral("backup.sql"));
        QVERIFY(store(target, 2));
        QVERIFY(store(target, 2));
        for (const QString &file : {target, target + ".sha256", target + ".1", target + ".1.sha256"})
            QCOMPARE(modeOf(file), 0600);

        FakeClock clock;
        LanguageTexts texts;
        ProtocolLog log(texts, clock);
        log.setLogFilePath(dir.filePath(QStringLiteral("vaultwck.log")));
        log.AddSent(QStringLiteral("mysqldump -p..."));
        QVERIFY(log.Save());
        QCOMPARE(modeOf(log.logFilePath()), 0600);

        // A backup the user made stricter stays so, and a wider one does not widen the new file.
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
        QVERIFY(store(target));
        QCOMPARE(modeOf(target), 0400);
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0666) == 0);
        QVERIFY(store(target));
        QCOMPARE(modeOf(target), 0600);
    }

    void aLinkInTheDaysPlaceIsNotFollowed()
    {
        QTemporaryDir dir, elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), dir.filePath(QStringLiteral("2027-3-5"))));
        QCOMPARE(MakeDailySubdirectory(dir.path(), QDate(2027, 3, 5)), dir.path());
    }

    void staleTemporaryFilesOfTheTaskGoAndNothingElse()
    {
        QTemporaryDir dir, elsewhere;
        BackupTask task = BackupTask::withDefaults(QStringLiteral("Shop"));
        task.localdir = dir.path();
        task.backupfile = QStringLiteral("shop.sql");
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime old = now.addDays(-2);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("2027-3-5")));
        const QStringList stale = {"shop.sql.part-1x9", "shop.sql.gz.part-a0", "2027-3-5/shop.sql.sha256.part-zz"};
        const QStringList kept = {"shop.sql", "shop.sql.part-fresh", "shop.sqlx.part-1", "blog.sql.part-1",
                                  "shop.sql.part-1.keep", "notaday/shop.sql.part-1"};
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("notaday")));
        for (const QString &name : stale + kept)
            touch(dir.filePath(name), name == "shop.sql.part-fresh" ? now : old);
        // A day directory that is a link to somewhere else is not looked into.
        touch(elsewhere.filePath(QStringLiteral("shop.sql.part-1")), old);
        QVERIFY(QFile::link(elsewhere.path(), dir.filePath(QStringLiteral("2027-3-6"))));

        QCOMPARE(RemoveStaleTemporaryFiles(task, now), int(stale.size()));
        for (const QString &name : stale)
            QVERIFY2(!QFile::exists(dir.filePath(name)), qPrintable(name));
        for (const QString &name : kept)
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
        QVERIFY(QFile::exists(elsewhere.filePath(QStringLiteral("shop.sql.part-1"))));
    }
};

QTEST_GUILESS_MAIN(PrivateFilesTest)
#include "tst_privatefiles.moc"
