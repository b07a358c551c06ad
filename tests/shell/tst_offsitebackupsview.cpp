// The stored backups window's off-site column and restic snapshots, against
// the real rclone and restic on folders of this machine.
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "MariaDbServerFixture.h"
#include "RequirePeer.h"
#include "offsite/OffsiteCopy.h"
#include "offsite/OffsiteTools.h"
#include "shell/OffsiteBackupsView.h"
#include "shell/StoredBackupsWindow.h"
#include "storage/StoredBackups.h"
#include "storage/StoredDumpWriter.h"

namespace {
const QByteArray Dump = "CREATE TABLE `t` (a INT);\nINSERT INTO `t` VALUES (1),(2),(3);\n-- Dump completed on 2027-03-05\n";

bool store(const QString &target, const QDateTime &time)
{
    StoredDumpWriter out;
    if (!out.open(target, Compression::Gzip) || !out.write(Dump.constData(), Dump.size())
        || !out.verifyAndCommit({true, {}, -1}).stored())
        return false;
    QFile f(out.storedPath());
    return f.open(QIODevice::ReadWrite) && f.setFileTime(time, QFileDevice::FileModificationTime);
}

QString column(const StoredBackupsWindow &window, int row)
{
    const auto *list = window.findChild<QTreeWidget *>(QStringLiteral("backups"));
    return list->topLevelItem(row)->text(list->columnCount() - 1);
}
} // namespace

class TstOffsiteBackupsView : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    BackupTask m_task;

private slots:
    void initTestCase()
    {
        // The window's temporary folders, and restic's cache, where the test sees them.
        qputenv("TMPDIR", m_dir.filePath(QStringLiteral("tmp")).toLocal8Bit());
        qputenv("RESTIC_CACHE_DIR", m_dir.filePath(QStringLiteral("cache")).toLocal8Bit());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("tmp"))));
        m_task = BackupTask::withDefaults(QStringLiteral("shop"));
        m_task.localdir = m_dir.filePath(QStringLiteral("backups"));
        m_task.subdirectory = true;
        for (int day : {4, 5})
            QVERIFY(QDir().mkpath(m_task.localdir + QStringLiteral("/2027-3-%1").arg(day)));
        for (int day : {4, 5})
            QVERIFY(store(m_task.localdir + QStringLiteral("/2027-3-%1/backup.sql").arg(day),
                          QDateTime(QDate(2027, 3, day), QTime(3, 0))));
    }

    void rcloneColumnSaysWhichBackupIsThere()
    {
        if (OffsiteTools::find(OffsiteTarget::Kind::Rclone).isEmpty())
            VW_SKIP("rclone is not installed");
        QFile conf(m_dir.filePath(QStringLiteral("rclone.conf")));  // none of the user's
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.close();
        BackupTask task = m_task;
        task.offsite = m_dir.filePath(QStringLiteral("remote"));
        task.offsiteconfig = conf.fileName();
        const QList<StoredBackup> local = StoredBackupsOf(task);
        QCOMPARE(local.size(), 2);
        const QString there = task.offsite + QLatin1Char('/') + OffsiteNameOf(local[1], OffsiteTarget::Kind::Rclone).key;
        QVERIFY(QDir().mkpath(QFileInfo(there).absolutePath()));
        QVERIFY(QFile::copy(local[1].path, there));

        StoredBackupsWindow window(task, {}, false);
        QVERIFY(!window.offsiteView()->isVisibleTo(&window));  // rclone has no snapshots
        QCOMPARE(window.findChild<QTreeWidget *>(QStringLiteral("backups"))->headerItem()->text(5),
                 QStringLiteral("Off-site"));
        QCOMPARE(column(window, 0), QStringLiteral("checking the destination..."));
        QSignalSpy listed(window.offsiteView(), &OffsiteBackupsView::listed);
        QVERIFY(listed.wait(30000));
        QCOMPARE(column(window, 0), QStringLiteral("no"));
        QCOMPARE(column(window, 1), QStringLiteral("yes"));

        // A remote the configuration does not have: its error, never "no".
        task.offsite = QStringLiteral("nosuch:vaultwick");
        StoredBackupsWindow failing(task, {}, true);
        QSignalSpy failed(failing.offsiteView(), &OffsiteBackupsView::listed);
        QVERIFY(failed.wait(30000));
        QVERIFY(!failing.offsiteView()->error().isEmpty());
        QVERIFY(!column(failing, 0).isEmpty());
        QVERIFY(column(failing, 0) != QStringLiteral("nein"));
    }

    void resticSnapshotIsListedAndRestoredThroughATemporaryFile()
    {
        if (OffsiteTools::find(OffsiteTarget::Kind::Restic).isEmpty())
            VW_SKIP("restic is not installed");
        BackupTask task = m_task;
        const QString repository = m_dir.filePath(QStringLiteral("repo"));
        task.offsite = QStringLiteral("restic:") + repository;
        task.offsiteconfig = m_dir.filePath(QStringLiteral("restic.pw"));
        QFile pw(task.offsiteconfig);
        QVERIFY(pw.open(QIODevice::WriteOnly));
        pw.write("correct horse battery staple\n");
        pw.close();
        QVERIFY(pw.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QProcess init;
        init.start(OffsiteTools::find(OffsiteTarget::Kind::Restic),
                   {QStringLiteral("init"), QStringLiteral("--repo"), repository, QStringLiteral("--password-file"),
                    task.offsiteconfig});
        QVERIFY(init.waitForFinished(60000));
        QVERIFY2(init.exitCode() == 0, init.readAllStandardError().constData());
        // The run's own copy makes the snapshots, of both stored backups.
        OffsiteCopy copy(task, false);
        std::optional<OffsiteResult> copied;
        connect(&copy, &OffsiteCopy::finished, this, [&copied](const OffsiteResult &r) { copied = r; });
        copy.start(StoredBackupsOf(task).value(0).path, QDate(2027, 3, 5));
        QTRY_VERIFY_WITH_TIMEOUT(copied.has_value(), 60000);
        QVERIFY2(copied->ok, qPrintable(copied->reason));

        StoredBackupsWindow window(task, {}, false);
        QSignalSpy listed(window.offsiteView(), &OffsiteBackupsView::listed);
        QVERIFY(listed.wait(30000));
        QCOMPARE(column(window, 0), QStringLiteral("yes"));
        QCOMPARE(column(window, 1), QStringLiteral("yes"));
        const auto *snapshots = window.findChild<QTreeWidget *>(QStringLiteral("snapshots"));
        QCOMPARE(snapshots->topLevelItemCount(), 2);
        QCOMPARE(snapshots->topLevelItem(0)->text(1), QStringLiteral("backup.sql"));
        QCOMPARE(snapshots->topLevelItem(0)->text(2).size(), 8);

        MariaDbServerFixture server;
        if (!server.start(QStringLiteral("dev"), QStringLiteral("pw")))
            VW_SKIP(qPrintable(server.errorString()));
        QVERIFY(!server.sql("CREATE DATABASE shop_dev;").isNull());
        ServerTarget target;
        target.host = QStringLiteral("127.0.0.1");
        target.port = server.port();
        target.user = QStringLiteral("dev");
        target.password = QStringLiteral("pw");
        target.database = QStringLiteral("shop_dev");
        QSignalSpy restored(&window, &StoredBackupsWindow::restoreFinished);
        QVERIFY(!window.restoreSnapshotInto(window.offsiteView()->snapshots().value(0), target, QStringLiteral("shop")));
        QVERIFY(window.restoreSnapshotInto(window.offsiteView()->snapshots().value(0), target, QStringLiteral("shop_dev")));
        QVERIFY(restored.wait(120000));
        QCOMPARE(restored.at(0).at(0).toBool(), true);
        QCOMPARE(server.sql("SELECT COUNT(*) FROM shop_dev.t;"), QByteArray("3\n"));
        // The dump came through a private folder and is gone from it.
        const QDir tmp(m_dir.filePath(QStringLiteral("tmp")));
        const QStringList folders = tmp.entryList({QStringLiteral("vaultwick-restore-*")}, QDir::Dirs);
        QCOMPARE(folders.size(), 1);
        QCOMPARE(QFileInfo(tmp.filePath(folders[0])).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
        QCOMPARE(QDir(tmp.filePath(folders[0])).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TstOffsiteBackupsView)
#include "tst_offsitebackupsview.moc"
