#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "ResticServerFixture.h"
#include "SshServerFixture.h"
#include "offsite/OffsiteCopy.h"
#include "offsite/OffsiteTools.h"
#include "retrieval/LocalTarget.h"
#include "storage/Sha256.h"

namespace {
const QDate Day7(2026, 12, 7), Day8(2026, 12, 8), Day9(2026, 12, 9);

QByteArray dumpOf(const QDate &day)
{
    QByteArray d = "-- MySQL dump\nCREATE TABLE t (x INT);\n";
    for (int i = 0; i < 2000; ++i)
        d += "INSERT INTO t VALUES (" + QByteArray::number(i) + "); -- " + day.toString(Qt::ISODate).toUtf8() + "\n";
    return d + "-- Dump completed on " + day.toString(Qt::ISODate).toUtf8() + " 12:00:00\n";
}

QByteArray fileContent(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Copied {
    OffsiteResult result;
    QStringList lines;
    bool has(const QString &part) const { return lines.join(QLatin1Char('\n')).contains(part); }
};
}

class OffsiteCopyTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_tasks = 0;

    BackupTask task(const QString &offsite, const QString &config = QString())
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("shop, main"));
        t.localdir = QDir(m_dir.path()).filePath(QStringLiteral("local-%1").arg(++m_tasks));
        QDir().mkpath(t.localdir);
        t.subdirectory = true;
        t.offsite = offsite;
        t.offsiteconfig = config;
        return t;
    }

    // A stored backup as a run leaves it: its day's folder, gzip, the checksum file.
    QString store(const BackupTask &t, const QDate &day, const QByteArray &dump, qint64 size = -1)
    {
        const QString dir = QDir(t.localdir).filePath(DailySubdirectoryName(day));
        QDir().mkpath(dir);
        const QString path = QDir(dir).filePath(t.backupfile + QStringLiteral(".gz"));
        QProcess gzip;
        gzip.setStandardOutputFile(path);
        gzip.start(QStringLiteral("gzip"), {QStringLiteral("-n"), QStringLiteral("-c")});
        gzip.write(dump);
        if (size > 0) {
            // Incompressible bytes after the dump: a file that takes a while to send.
            QByteArray noise(size, Qt::Uninitialized);
            for (qint64 i = 0; i < size; ++i)
                noise[i] = char(QRandomGenerator::global()->generate());
            gzip.write(noise);
        }
        gzip.closeWriteChannel();
        gzip.waitForFinished();
        Sha256 hash;
        hash.addData(fileContent(path));
        QFile sum(path + QStringLiteral(".sha256"));
        sum.open(QIODevice::WriteOnly);
        sum.write(hash.hexResult() + "  " + QFileInfo(path).fileName().toUtf8() + "\n");
        sum.close();
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime(day, QTime(12, 0)), QFileDevice::FileModificationTime);
        return path;
    }

    Copied copy(const BackupTask &t, const QString &justStored, const QDate &today, OffsiteCopy **running = nullptr,
                const std::function<void(OffsiteCopy &)> &meanwhile = nullptr)
    {
        Copied c;
        OffsiteCopy stage(t, false);
        connect(&stage, &OffsiteCopy::protocolLine, this, [&c](const QString &l) { c.lines.append(l); });
        QSignalSpy done(&stage, &OffsiteCopy::finished);
        stage.start(justStored, today);
        if (running)
            *running = &stage;
        if (meanwhile) {
            meanwhile(stage);
            return c;
        }
        if (!done.wait(120000))
            c.lines.append(QStringLiteral("(no end)"));
        else
            c.result = done.first().first().value<OffsiteResult>();
        return c;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<OffsiteResult>();
        const QString missing = ResticServerFixture::missingTools();
        if (!missing.isEmpty())
            VW_SKIP(missing.toUtf8());
    }

    void rcloneCopiesVerifiesCatchesUpAndKeeps()
    {
        const QString dest = QDir(m_dir.path()).filePath(QStringLiteral("remote-local"));
        BackupTask t = task(dest);
        t.keepdaily = 2;
        store(t, Day7, dumpOf(Day7));
        const QString day8 = store(t, Day8, dumpOf(Day8));
        // One stored backup: the stage copies it and proves the copy by SHA-256.
        Copied first = copy(t, day8, Day8);
        QVERIFY2(first.result.ok, qPrintable(first.lines.join('\n')));
        QVERIFY(first.has(QStringLiteral("Off-site copy verified: SHA-256")));
        QCOMPARE(first.result.copied, 2);
        const QString remote8 = QDir(dest).filePath(QStringLiteral("2026-12-8/backup.sql.gz"));
        QCOMPARE(fileContent(remote8), fileContent(day8));
        QCOMPARE(fileContent(remote8 + QStringLiteral(".sha256")), fileContent(day8 + QStringLiteral(".sha256")));
        // Nothing of another task's naming is touched by its retention.
        QFile other(QDir(dest).filePath(QStringLiteral("2026-12-7/other.sql")));
        other.open(QIODevice::WriteOnly);
        other.write("x");
        other.close();
        // The next day: the new backup goes, day 7 falls out of the two kept days.
        const QString day9 = store(t, Day9, dumpOf(Day9));
        Copied second = copy(t, day9, Day9);
        QVERIFY2(second.result.ok, qPrintable(second.lines.join('\n')));
        QCOMPARE(second.result.copied, 1);
        QCOMPARE(second.result.removed, 1);
        QVERIFY(second.has(QStringLiteral("1 old off-site copy removed")));
        QVERIFY(!QFileInfo::exists(QDir(dest).filePath(QStringLiteral("2026-12-7/backup.sql.gz"))));
        QVERIFY(other.exists());
        QVERIFY(QFileInfo::exists(remote8));
        // Nothing new: nothing sent.
        Copied third = copy(t, QString(), Day9);
        QVERIFY(third.result.ok);
        QCOMPARE(third.result.copied, 0);
        QVERIFY(third.has(QStringLiteral("Every stored backup is on the off-site destination")));
    }

    void rcloneCryptHoldsNoDumpButGivesItBack()
    {
        QProcess obscure;
        obscure.start(QStringLiteral("rclone"), {QStringLiteral("obscure"), QStringLiteral("test secret")});
        obscure.waitForFinished();
        const QString under = QDir(m_dir.path()).filePath(QStringLiteral("crypt-under"));
        const QString config = QDir(m_dir.path()).filePath(QStringLiteral("crypt.conf"));
        QFile conf(config);
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[secret]\ntype = crypt\nremote = " + under.toUtf8() + "\npassword = "
                   + obscure.readAllStandardOutput().trimmed() + "\n");
        conf.close();
        BackupTask t = task(QStringLiteral("secret:vaultwick"), config);
        const QString stored = store(t, Day9, dumpOf(Day9));
        Copied c = copy(t, stored, Day9);
        QVERIFY2(c.result.ok, qPrintable(c.lines.join('\n')));
        // A crypt remote keeps no hash of the plain file: the copy is read back.
        QVERIFY(c.has(QStringLiteral("read back and verified")));
        const QByteArray plain = fileContent(stored);
        QDirIterator it(under, QDir::Files, QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            ++files;
            QVERIFY(!fileContent(it.next()).contains(plain.left(64)));
        }
        QCOMPARE(files, 2);
        QProcess cat;
        cat.start(QStringLiteral("rclone"), {QStringLiteral("--config"), config, QStringLiteral("cat"),
                                             QStringLiteral("secret:vaultwick/2026-12-9/backup.sql.gz")});
        QVERIFY(cat.waitForFinished(60000));
        QCOMPARE(cat.readAllStandardOutput(), plain);
    }

    void rcloneOverSftp()
    {
        SshServerFixture sshd;
        if (!sshd.start())
            VW_SKIP(("sshd: " + sshd.errorString()).toUtf8());
        const QString remoteDir = QDir(m_dir.path()).filePath(QStringLiteral("sftp-remote"));
        const QString config = QDir(m_dir.path()).filePath(QStringLiteral("sftp.conf"));
        QFile conf(config);
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[host]\ntype = sftp\nhost = 127.0.0.1\nport = " + QByteArray::number(sshd.port()) + "\nuser = "
                   + sshd.user().toUtf8() + "\nkey_file = " + sshd.clientKey().toUtf8() + "\n");
        conf.close();
        BackupTask t = task(QStringLiteral("host:") + remoteDir, config);
        const QString stored = store(t, Day9, dumpOf(Day9));
        Copied c = copy(t, stored, Day9);
        QVERIFY2(c.result.ok, qPrintable(c.lines.join('\n')));
        QVERIFY(c.has(QStringLiteral("verified")));
        QCOMPARE(fileContent(QDir(remoteDir).filePath(QStringLiteral("2026-12-9/backup.sql.gz"))), fileContent(stored));
    }

    void stoppedMidUploadLeavesNoFinalNameAndCatchesUp()
    {
        const QString dest = QDir(m_dir.path()).filePath(QStringLiteral("remote-stopped"));
        BackupTask t = task(dest);
        const QString stored = store(t, Day9, dumpOf(Day9), 3 * 1024 * 1024);
        OffsiteTools::setUploadLimit(256);
        {
            OffsiteCopy stage(t, false);
            QSignalSpy caption(&stage, &OffsiteCopy::caption);
            QSignalSpy done(&stage, &OffsiteCopy::finished);
            stage.start(stored, Day9);
            // Stopped as the program ends, while rclone is sending.
            QTRY_VERIFY_WITH_TIMEOUT(!caption.isEmpty() && !caption.last().first().toString().isEmpty(), 60000);
            stage.stopNow();
            QVERIFY(done.isEmpty());
        }
        OffsiteTools::setUploadLimit(0);
        const QString final = QDir(dest).filePath(QStringLiteral("2026-12-9/backup.sql.gz"));
        QVERIFY(!QFileInfo::exists(final));
        // The next run sends what is missing, and the leftover goes.
        Copied next = copy(t, QString(), Day9);
        QVERIFY2(next.result.ok, qPrintable(next.lines.join('\n')));
        QCOMPARE(next.result.copied, 1);
        QVERIFY(next.has(QStringLiteral("1 stored backup is not yet on the off-site destination")));
        QCOMPARE(fileContent(final), fileContent(stored));
        QCOMPARE(QDir(QDir(dest).filePath(QStringLiteral("2026-12-9"))).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void refusedOrMissingIsAFailureAndTheBackupStays()
    {
        // A destination that cannot be written: a file stands where its folder would be.
        const QString blocker = QDir(m_dir.path()).filePath(QStringLiteral("blocker"));
        QFile b(blocker);
        QVERIFY(b.open(QIODevice::WriteOnly));
        b.close();
        BackupTask t = task(blocker + QStringLiteral("/dest"));
        const QString stored = store(t, Day9, dumpOf(Day9));
        const QByteArray before = fileContent(stored);
        Copied refused = copy(t, stored, Day9);
        QVERIFY(!refused.result.ok);
        QVERIFY(!refused.result.reason.isEmpty());
        QVERIFY(refused.has(QStringLiteral("The off-site copy failed: ")));
        QCOMPARE(fileContent(stored), before);
        // No rclone on this machine: said, every run.
        QTemporaryDir empty;
        OffsiteTools::setSearchPath({empty.path()});
        Copied missing = copy(task(QDir(m_dir.path()).filePath(QStringLiteral("never"))), stored, Day9);
        OffsiteTools::setSearchPath({});
        QVERIFY(!missing.result.ok);
        QCOMPARE(missing.result.reason, QStringLiteral("rclone is not installed (Debian package rclone)"));
    }

    void resticSnapshotsRestoreAndForgetKeepsThePolicy()
    {
        ResticServerFixture restic;
        const QString repo = QDir(m_dir.path()).filePath(QStringLiteral("repo"));
        QVERIFY2(restic.init(repo), qPrintable(restic.errorString()));
        BackupTask t = task(QStringLiteral("restic:") + repo, restic.passwordFile());
        t.keepdaily = 2;
        store(t, Day7, dumpOf(Day7));
        const QString day8 = store(t, Day8, dumpOf(Day8));
        Copied first = copy(t, day8, Day8);
        QVERIFY2(first.result.ok, qPrintable(first.lines.join('\n')));
        QCOMPARE(first.result.copied, 2);
        QVERIFY(first.result.checked);
        QVERIFY(first.has(QStringLiteral("Off-site repository checked, no errors")));
        // The snapshot holds the dump itself, unpacked, byte for byte.
        QCOMPARE(restic.restic(repo, {QStringLiteral("dump"), QStringLiteral("--host"), t.name, QStringLiteral("latest"),
                                      QStringLiteral("/backup.sql")}),
                 dumpOf(Day8));
        t.lastoffsitecheck = Day8.toString(Qt::ISODate);
        const QString day9 = store(t, Day9, dumpOf(Day9));
        Copied second = copy(t, day9, Day9);
        QVERIFY2(second.result.ok, qPrintable(second.lines.join('\n')));
        QCOMPARE(second.result.copied, 1);
        QCOMPARE(second.result.removed, 1);
        QVERIFY(!second.result.checked);  // checked a day ago
        const QJsonArray left = QJsonDocument::fromJson(restic.restic(repo, {QStringLiteral("snapshots"), QStringLiteral("--json")})).array();
        QStringList days;
        for (const QJsonValue &s : left)
            days.append(s.toObject().value(QStringLiteral("time")).toString().left(10));
        days.sort();
        QCOMPARE(days, (QStringList{QStringLiteral("2026-12-08"), QStringLiteral("2026-12-09")}));
        // The wrong password says so, and nothing is sent.
        QTemporaryDir other;
        QFile wrong(QDir(other.path()).filePath(QStringLiteral("pw")));
        QVERIFY(wrong.open(QIODevice::WriteOnly));
        wrong.write("not it\n");
        wrong.close();
        t.offsiteconfig = wrong.fileName();
        Copied refused = copy(t, day9, Day9);
        QVERIFY(!refused.result.ok);
        QVERIFY2(refused.result.reason.contains(QStringLiteral("wrong password")), qPrintable(refused.result.reason));
    }

    void resticRestServer()
    {
        ResticServerFixture restic;
        if (!restic.start())
            VW_SKIP(("rclone serve restic: " + restic.errorString()).toUtf8());
        QVERIFY2(restic.init(restic.url()), qPrintable(restic.errorString()));
        BackupTask t = task(QStringLiteral("restic:") + restic.url(), restic.passwordFile());
        const QString stored = store(t, Day9, dumpOf(Day9));
        Copied c = copy(t, stored, Day9);
        QVERIFY2(c.result.ok, qPrintable(c.lines.join('\n')));
        QVERIFY(c.has(QStringLiteral("Off-site copy verified: restic snapshot")));
        QCOMPARE(restic.restic(restic.url(), {QStringLiteral("dump"), QStringLiteral("latest"), QStringLiteral("/backup.sql")}),
                 dumpOf(Day9));
    }
};

QTEST_GUILESS_MAIN(OffsiteCopyTest)
#include "tst_offsitecopy.moc"
