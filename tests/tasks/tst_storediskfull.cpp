// The task store on a real, tiny filesystem that fills up: a tmpfs mounted in
// a mount namespace of its own, made by running this test again inside it.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "tasks/AppSettings.h"
#include "tasks/StoreFile.h"
#include "tasks/TaskStore.h"

namespace {
const char *const kInside = "VW_STORE_TMPFS";

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Fills the filesystem with page-sized files; returns them, so a test can free
// room a page at a time.
QStringList fill(const QString &dir)
{
    QStringList files;
    const QByteArray page(4096, 'x');
    for (int i = 0;; ++i) {
        const QString name = dir + QStringLiteral("/fill%1").arg(i);
        QFile f(name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(page) != page.size()) {
            f.close();
            QFile::remove(name);
            return files;
        }
        files << name;
    }
}
}

class TestStoreDiskFull : public QObject {
    Q_OBJECT
private slots:
    void aFullDiskCostsTheStoreNothing()
    {
        const QString inside = qEnvironmentVariable(kInside);
        if (inside.isEmpty()) {
            runInsideTmpfs();
            return;
        }
        const QString file = inside + QStringLiteral("/Vaultwick.conf");
        TaskStore store(file);
        BackupTask task = BackupTask::withDefaults(QStringLiteral("shop"));
        task.host = QStringLiteral("www.shop.example");
        task.dbpw = QString(2500, QLatin1Char('p'));  // the store fills most of a page
        QVERIFY(store.SaveTask(task.name, task));
        QVERIFY(AppSettings(store).SaveSettings(1, true, 1));
        const QByteArray held = readAll(file);
        QCOMPARE(readAll(file + QStringLiteral(".bak")), held);

        QStringList filler = fill(inside);
        QVERIFY(!filler.isEmpty());
        // Closing with nothing changed writes nothing, so it cannot fail.
        QVERIFY(AppSettings(store).SaveSettings(1, true, 1));
        QVERIFY(store.SaveTask(task.name, task));
        // No room at all, then room for the copy but not for the grown file
        // (where the settings' own write reports success on a cut-off file).
        BackupTask second = task;
        second.name = QStringLiteral("second");
        auto nothingLost = [&] {
            return readAll(file) == held && store.ListTaskNames() == QStringList{task.name}
                && !QFile::exists(file + QStringLiteral(".new"));
        };
        for (int pages = 0; pages < 2; ++pages) {
            QVERIFY(!store.SaveTask(second.name, second));
            QVERIFY(!AppSettings(store).SaveSettings(2, false, 0));
            QVERIFY(nothingLost());
            QVERIFY(QFile::remove(filler.takeLast()));
        }
        // Two pages: the copy fits, the grown file does not, and the settings'
        // own write reports success on what it cut off.
        QVERIFY(!store.SaveTask(second.name, second));
        QVERIFY(nothingLost());
        QCOMPARE(StoreFile(file).check(), StoreFile::Health::Whole);

        // With room again the change lands whole.
        for (const QString &f : std::as_const(filler))
            QFile::remove(f);
        QVERIFY(store.SaveTask(second.name, second));
        QCOMPARE(store.ListTaskNames(), (QStringList{QStringLiteral("second"), task.name}));
    }

private:
    // Mount namespaces: plain when root (CI), else as root of a user namespace.
    void runInsideTmpfs()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString script = QStringLiteral("mount -t tmpfs -o size=32k tmpfs \"$0\" && exec \"$1\" \"$2\"");
        const QStringList args{QStringLiteral("sh"), QStringLiteral("-c"), script, dir.path(),
                               QCoreApplication::applicationFilePath(),
                               QStringLiteral("aFullDiskCostsTheStoreNothing")};
        QString output;
        for (const QStringList &unshare : {QStringList{QStringLiteral("-m")},
                                           QStringList{QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                                                       QStringLiteral("--mount")}}) {
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QString::fromLatin1(kInside), dir.path());
            p.setProcessEnvironment(env);
            p.setProcessChannelMode(QProcess::MergedChannels);
            p.start(QStringLiteral("unshare"), unshare + args);
            if (!p.waitForFinished(60000)) {
                p.kill();
                p.waitForFinished();
            }
            output = QString::fromLocal8Bit(p.readAll());
            if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && output.contains(QStringLiteral("Totals:")))
                return;
            if (output.contains(QStringLiteral("Totals:")))
                QFAIL(qPrintable(output));  // it ran inside and failed there
        }
        VW_SKIP(qPrintable(QStringLiteral("no private tmpfs to fill (unshare/mount refused): ") + output.trimmed()));
    }
};

QTEST_GUILESS_MAIN(TestStoreDiskFull)
#include "tst_storediskfull.moc"
