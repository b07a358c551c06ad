#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "QueueRig.h"
#include "TaskBuilder.h"
#include "storage/StoredBackups.h"
#include "tasks/DatabaseList.h"

namespace {

// A host whose dumps the test decides: each database's dump lands in its
// stored file at once, or fails with mysqldump's words; "*" lists `listed`.
class FakeHost final : public Transport {
public:
    FakeHost(QStringList failing, QStringList listed, QStringList &dumped)
        : m_failing(std::move(failing)), m_listed(std::move(listed)), m_dumped(dumped) {}
    void start(const BackupTask &task) override
    {
        m_dumped.append(task.database);
        TransportResult r;
        r.sessionOpened = true;
        if (m_failing.contains(task.database)) {
            r.reason = QStringLiteral("mysqldump: Got error: 1049: Unknown database '%1'").arg(task.database);
        } else {
            QFile f(QDir(task.localdir).filePath(task.backupfile));
            f.open(QIODevice::WriteOnly);
            f.write("-- " + task.database.toUtf8() + " new\n-- Dump completed\n");
            r.dumpCompleted = true;
            r.storedFile = f.fileName();
        }
        QTimer::singleShot(0, this, [this, r] { emit finished(r); });
    }
    void startListing(const BackupTask &) override
    {
        TransportResult r;
        r.sessionOpened = true;
        r.dumpCompleted = !m_listed.isEmpty();
        r.databases = m_listed;
        QTimer::singleShot(0, this, [this, r] { emit finished(r); });
    }
    void cancel() override {}

private:
    QStringList m_failing, m_listed;
    QStringList &m_dumped;
};

struct Rig : QueueRig {
    QStringList dumped;

    Rig(const QStringList &failing, const QStringList &listed)
        : QueueRig([=, this](const BackupTask &) { return std::make_unique<FakeHost>(failing, listed, dumped); })
    {
    }
    RunOutcome run(const BackupTask &task)
    {
        queue->RequestRun(task);
        if (!QTest::qWaitFor([this] { return !outcomes.isEmpty(); }, 5000))
            return {};
        return outcomes.takeFirst();
    }
};

BackupTask task(const QString &databases, const QString &dir)
{
    return TaskBuilder(QStringLiteral("Shop")).host(QStringLiteral("localhost")).database(databases)
        .file(QStringLiteral("shop.sql")).localDir(dir);
}

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

class TestDatabaseSeries : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<TransportResult>(); }

    void theValueNamesOneSeveralOrAllDatabases()
    {
        QCOMPARE(DatabaseList::names(QStringLiteral(" shop, orders  blog,shop ")),
                 QStringList({QStringLiteral("shop"), QStringLiteral("orders"), QStringLiteral("blog")}));
        QVERIFY(!DatabaseList::isSeveral(QStringLiteral("shop")));
        QVERIFY(DatabaseList::isSeveral(QStringLiteral(" * ")));
        QCOMPARE(DatabaseList::fromListing("information_schema\nshop\r\nmysql\nPerformance_Schema\nsys\nblog\n"),
                 QStringList({QStringLiteral("shop"), QStringLiteral("blog")}));
        QCOMPARE(DatabaseList::fileFor(QStringLiteral("shop.sql"), QStringLiteral("orders")), QStringLiteral("shop-orders.sql"));
        QCOMPARE(DatabaseList::fileFor(QStringLiteral("dump"), QStringLiteral("a/b c")), QStringLiteral("dump-a_b_c"));
    }

    // The failing middle database fails the run; the others are stored, and
    // its previous backup stays as it was.
    void aFailingDatabaseFailsTheRunAndTouchesNoOtherFile()
    {
        QTemporaryDir dir;
        QFile old(dir.filePath(QStringLiteral("shop-orders.sql")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("-- orders yesterday\n");
        old.close();
        Rig rig({QStringLiteral("orders")}, {});
        const RunOutcome o = rig.run(task(QStringLiteral("shop orders,blog"), dir.path()));
        QCOMPARE(rig.dumped, QStringList({QStringLiteral("shop"), QStringLiteral("orders"), QStringLiteral("blog")}));
        QVERIFY(!o.success);
        QCOMPARE(o.taskName, QStringLiteral("Shop"));
        QVERIFY2(o.message.contains(QStringLiteral("orders: mysqldump: Got error: 1049")), qPrintable(o.message));
        QVERIFY2(o.message.endsWith(QStringLiteral("2 of 3 databases stored")), qPrintable(o.message));
        QCOMPARE(read(dir.filePath(QStringLiteral("shop-shop.sql"))), QByteArray("-- shop new\n-- Dump completed\n"));
        QCOMPARE(read(dir.filePath(QStringLiteral("shop-orders.sql"))), QByteArray("-- orders yesterday\n"));
        QCOMPARE(read(dir.filePath(QStringLiteral("shop-blog.sql"))), QByteArray("-- blog new\n-- Dump completed\n"));
        QVERIFY(rig.view.messages().contains(QStringLiteral("Database 2 of 3: orders")));

        // Each file restores into its own database.
        const BackupTask whole = task(QStringLiteral("shop orders,blog"), dir.path());
        QCOMPARE(StoredBackupsOf(whole).size(), 3);
        QCOMPARE(StoredBackupTask(whole, dir.filePath(QStringLiteral("shop-blog.sql"))).database, QStringLiteral("blog"));
    }

    void allDatabasesAreListedFirstAndNothingListedIsAFailure()
    {
        QTemporaryDir dir;
        Rig rig({}, {QStringLiteral("shop"), QStringLiteral("crm")});
        const RunOutcome o = rig.run(task(QStringLiteral("*"), dir.path()));
        QVERIFY2(o.success, qPrintable(o.message));
        QCOMPARE(rig.dumped, QStringList({QStringLiteral("shop"), QStringLiteral("crm")}));
        QVERIFY2(o.message.endsWith(QStringLiteral(" - 2 of 2 databases stored")), qPrintable(o.message));
        QVERIFY(rig.view.messages().contains(QStringLiteral("Databases on the host: shop, crm")));
        QCOMPARE(StoredBackupsOf(task(QStringLiteral("*"), dir.path())).size(), 2);

        Rig empty({}, {});
        const RunOutcome none = empty.run(task(QStringLiteral("*"), dir.path()));
        QVERIFY(!none.success);
        QVERIFY(empty.dumped.isEmpty());
        QVERIFY2(none.message.contains(QStringLiteral("could not be listed")), qPrintable(none.message));
    }
};

QTEST_MAIN(TestDatabaseSeries)
#include "tst_databaseseries.moc"
