// The stored backups window on files the real storage writer made.
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "RequirePeer.h"
#include "restore/RestorePrograms.h"
#include "shell/RestoreTargetDialog.h"
#include "shell/StoredBackupsWindow.h"
#include "storage/StoredDumpWriter.h"

namespace {
const QByteArray Dump = "CREATE TABLE `t` (a INT);\nINSERT INTO `t` VALUES (1),(2),(3);\n-- Dump completed on 2027-03-05\n";

bool store(const QString &target, Compression compression, const QDateTime &time)
{
    StoredDumpWriter out;
    if (!out.open(target, compression) || !out.write(Dump.constData(), Dump.size())
        || !out.verifyAndCommit({true, {}, -1}).stored())
        return false;
    QFile f(out.storedPath());
    return f.open(QIODevice::ReadWrite) && f.setFileTime(time, QFileDevice::FileModificationTime);
}
} // namespace

class TstStoredBackupsWindow : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    BackupTask m_task;

private slots:
    void initTestCase()
    {
        m_task = BackupTask::withDefaults(QStringLiteral("shop"));
        m_task.localdir = m_dir.filePath(QStringLiteral("backups"));
        QVERIFY(QDir().mkpath(m_task.localdir + QStringLiteral("/2027-3-4")));
        const QString file = m_task.localdir + QStringLiteral("/backup.sql");
        // Both layouts and both compressions, as a task's history may hold
        // them, and a rotated copy that was cut short.
        QVERIFY(store(m_task.localdir + QStringLiteral("/2027-3-4/backup.sql"), Compression::None,
                      QDateTime(QDate(2027, 3, 4), QTime(3, 0))));
        QVERIFY(store(file, Compression::Zstd, QDateTime(QDate(2027, 3, 3), QTime(3, 0))));
        QVERIFY(store(file, Compression::Gzip, QDateTime(QDate(2027, 3, 2), QTime(3, 0))));
        QVERIFY(QFile::rename(file + QStringLiteral(".gz"), file + QStringLiteral(".gz.1")));
        QVERIFY(QFile::resize(file + QStringLiteral(".gz.1"), 30));
        QVERIFY(store(file, Compression::Gzip, QDateTime(QDate(2027, 3, 5), QTime(3, 0))));
        QVERIFY(QDir().mkpath(m_task.localdir + QStringLiteral("/not-a-day")));
        QVERIFY(store(m_task.localdir + QStringLiteral("/not-a-day/backup.sql"), Compression::None,
                      QDateTime(QDate(2027, 3, 6), QTime(3, 0))));
    }

    void listsNewestFirstAndSavesTheDumpAsItWas()
    {
        StoredBackupsWindow window(m_task, {}, false);
        const auto *list = window.findChild<QTreeWidget *>(QStringLiteral("backups"));
        QStringList files;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            files << list->topLevelItem(i)->text(1);
        QCOMPARE(files, (QStringList{QStringLiteral("backup.sql.gz"), QStringLiteral("2027-3-4/backup.sql"),
                                     QStringLiteral("backup.sql.zst"), QStringLiteral("backup.sql.gz.1")}));
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("not checked"));

        // Unpacked the same from gzip and zstd; a damaged copy leaves the earlier file.
        QSignalSpy saved(&window, &StoredBackupsWindow::saveFinished);
        auto *rows = const_cast<QTreeWidget *>(list);
        const QString target = m_dir.filePath(QStringLiteral("shop.sql"));
        for (int row : {0, 2, 3}) {
            rows->setCurrentItem(rows->topLevelItem(row));
            window.saveSelectedAs(target);
            QVERIFY(saved.wait(10000));
            QCOMPARE(saved.last().at(0).toBool(), row != 3);
            QFile out(target);
            QVERIFY(out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll(), Dump);
        }
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("shop.sql*")}), QStringList{QStringLiteral("shop.sql")});
    }

    // Overwriting needs the chosen database's own name typed; the task's
    // own database needs SSH, a server the user names does not.
    void restoreAsksForTheDatabaseName()
    {
        RestoreTargetDialog telnet(m_task, QStringLiteral("backup.sql.gz"), false);
        QVERIFY(!telnet.findChild<QRadioButton *>(QStringLiteral("intoHost"))->isEnabled());
        QVERIFY(!telnet.intoHost());
        auto *ok = telnet.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok);
        telnet.findChild<QLineEdit *>(QStringLiteral("serverDatabase"))->setText(QStringLiteral("shop_dev"));
        QVERIFY(telnet.findChild<QLabel *>(QStringLiteral("question"))->text().startsWith(
            QStringLiteral("Restoring overwrites the data of database shop_dev on localhost:3306 with backup.sql.gz.")));
        QVERIFY(!ok->isEnabled());
        telnet.findChild<QLineEdit *>(QStringLiteral("typedName"))->setText(QStringLiteral("shop_dev"));
        QVERIFY(ok->isEnabled());
        StoredBackupsWindow telnetWindow(m_task, {}, false);
        QVERIFY(telnetWindow.findChild<QPushButton *>(QStringLiteral("restore"))->isEnabled());
        ServerTarget named;
        named.database = QStringLiteral("shop_dev");
        QVERIFY(!telnetWindow.restoreSelectedInto(named, QStringLiteral("shop")));

        BackupTask ssh = m_task;
        ssh.transport = 1;
        ssh.host = QStringLiteral("www.shop.example");
        ssh.database = QStringLiteral("shop_live");
        RestoreTargetDialog dialog(ssh, QStringLiteral("backup.sql.gz"), false);
        QVERIFY(dialog.intoHost());
        QVERIFY(!dialog.findChild<QLineEdit *>(QStringLiteral("serverHost"))->isEnabled());
        StoredBackupsWindow window(ssh, {}, false);
        QCOMPARE(window.restoreQuestion(),
                 QStringLiteral("Restoring overwrites the data of database shop_live on www.shop.example with "
                                "backup.sql.gz.\nType the database name \"shop_live\" to go on:"));
        for (const QString &typed : {QString(), QStringLiteral("shop"), QStringLiteral("SHOP_LIVE")})
            QVERIFY(!window.restoreSelected(typed));
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("restore"))->isEnabled());
    }

    void checkShowsChecksumAndTestRestore()
    {
        if (!RestorePrograms::find().found())
            VW_SKIP("no mariadbd or mysqld with its client");
        RestoreOptions options;
        options.tempRoot = m_dir.path();
        StoredBackupsWindow window(m_task, options, true);
        QSignalSpy checked(&window, &StoredBackupsWindow::checkFinished);
        window.findChild<QPushButton *>(QStringLiteral("check"))->click();
        QVERIFY(!window.findChild<QPushButton *>(QStringLiteral("check"))->isEnabled());
        QVERIFY(checked.wait(60000));
        QCOMPARE(checked.at(0).at(0).toBool(), true);
        const auto *row = window.findChild<QTreeWidget *>(QStringLiteral("backups"))->topLevelItem(0);
        QCOMPARE(row->text(3), QStringLiteral("stimmt"));
        QCOMPARE(row->text(4), QStringLiteral("bestanden"));
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("check"))->isEnabled());
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("vaultwick-restore-*")}, QDir::Dirs), QStringList());
    }
};

QTEST_MAIN(TstStoredBackupsWindow)
#include "tst_storedbackupswindow.moc"
