// Restores into a server the user names: a real MariaDB on loopback with a
// password login, loaded through the real client program.
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "MariaDbServerFixture.h"
#include "RequirePeer.h"
#include "restore/ServerRestore.h"
#include "storage/StreamCompressor.h"

namespace {
// Quotes, a "#" and a backslash: all must reach the server as they are.
const QString Password = QStringLiteral("pa\"ss #w\\rd 's");

QByteArray dumpOf(int rows)
{
    QByteArray dump = "DROP TABLE IF EXISTS `orders`;\nCREATE TABLE `orders` (id INT PRIMARY KEY, note VARCHAR(40));\n";
    for (int i = 1; i <= rows; ++i)
        dump += "INSERT INTO `orders` VALUES (" + QByteArray::number(i) + ",'order number " + QByteArray::number(i) + "');\n";
    return dump + "-- Dump completed on 2027-03-05  3:00:00\n";
}

void writeGzip(const QString &path, const QByteArray &data)
{
    QByteArray out;
    auto c = StreamCompressor::create(Compression::Gzip);
    QVERIFY(c && c->feed(data.constData(), data.size(), out) && c->finish(out));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(out), out.size());
}
} // namespace

class TstServerRestore : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    MariaDbServerFixture m_server;
    RestoreOptions m_options;

    ServerTarget target() const
    {
        ServerTarget t;
        t.host = QStringLiteral("127.0.0.1");
        t.port = m_server.port();
        t.user = QStringLiteral("dev");
        t.password = Password;
        t.database = QStringLiteral("shop_dev");
        return t;
    }
    QStringList clientFolders() const
    {
        return QDir(m_options.tempRoot).entryList({QStringLiteral("vaultwick-client-*")}, QDir::Dirs | QDir::Hidden);
    }

private slots:
    void initTestCase()
    {
        if (!m_server.start(QStringLiteral("dev"), Password))
            VW_SKIP(qPrintable(m_server.errorString()));
        m_options.tempRoot = m_dir.filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(m_options.tempRoot));
        QVERIFY(!m_server.sql("CREATE DATABASE shop_dev; CREATE TABLE shop_dev.orders (id INT); "
                              "INSERT INTO shop_dev.orders VALUES (7);")
                     .isNull());
    }

    // The rows come back; the login is never on the command line and its
    // file is private while it lives and gone after.
    void restoresWithTheLoginKeptPrivate()
    {
        const QByteArray dump = dumpOf(20000);
        const QString file = m_dir.filePath(QStringLiteral("shop.sql.gz"));
        writeGzip(file, dump);
        ServerRestore restore(m_options, false);
        QSignalSpy finished(&restore, &RestoreJob::finished);
        QStringList lines;
        connect(&restore, &RestoreJob::protocolLine, this, [&lines](const QString &l) { lines << l; });
        qint64 lastSent = 0;
        int lastPermille = 0;
        QFileDevice::Permissions folderMode, fileMode;
        connect(&restore, &RestoreJob::progress, this, [&](qint64 sent, int permille) {
            lastSent = sent;
            lastPermille = permille;
            if (!folderMode) {
                const QString folder = QDir(m_options.tempRoot).filePath(clientFolders().value(0));
                folderMode = QFileInfo(folder).permissions();
                fileMode = QFileInfo(folder + QStringLiteral("/client.cnf")).permissions();
            }
        });
        restore.start(target(), file);
        QVERIFY(finished.wait(120000));
        QVERIFY2(finished.at(0).at(0).toBool(), qPrintable(finished.at(0).at(1).toString()));
        QCOMPARE(m_server.sql("SELECT COUNT(*), MAX(note) FROM shop_dev.orders;"), QByteArray("20000\torder number 9999\n"));

        QCOMPARE(lastSent, dump.size());
        QCOMPARE(lastPermille, 1000);
        const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
        QCOMPARE(folderMode & ~(owner | QFileDevice::ExeOwner | QFileDevice::ExeUser), QFileDevice::Permissions());
        QCOMPARE(fileMode, owner);
        QCOMPARE(clientFolders(), QStringList());
        QVERIFY(!restore.clientArguments().join(' ').contains(QStringLiteral("pa\"ss")));
        QCOMPARE(lines, (QStringList{QStringLiteral("Restoring shop.sql.gz into database shop_dev on 127.0.0.1:%1").arg(m_server.port()),
                                     QStringLiteral("Restored into database shop_dev on 127.0.0.1:%1").arg(m_server.port())}));
    }

    // The client's own error line, never the password, and no file left.
    void failureSaysTheClientsErrorLine_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QByteArray>("dump");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << QStringLiteral("pa\"ss") << "shop_dev" << dumpOf(1) << "ERROR 1045";
        QTest::newRow("no such database") << Password << "shop_missing" << dumpOf(1) << "ERROR 1049";
        QTest::newRow("broken statement") << Password << "shop_dev" << dumpOf(3).replace("VALUES (2,", "VALUES 2,")
                                          << "ERROR 1064";
    }
    void failureSaysTheClientsErrorLine()
    {
        QFETCH(QString, password);
        QFETCH(QString, database);
        QFETCH(QByteArray, dump);
        QFETCH(QString, reason);
        const QString file = m_dir.filePath(QStringLiteral("bad.sql"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(dump);
        f.close();
        ServerTarget t = target();
        t.password = password;
        t.database = database;
        ServerRestore restore(m_options, true);
        QSignalSpy finished(&restore, &RestoreJob::finished);
        restore.start(t, file);
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        const QString said = finished.at(0).at(1).toString();
        QVERIFY2(said.startsWith(reason), qPrintable(said));
        QVERIFY(!said.contains(QStringLiteral("pa\"ss")));
        QCOMPARE(clientFolders(), QStringList());
    }
};

QTEST_MAIN(TstServerRestore)
#include "tst_serverrestore.moc"
