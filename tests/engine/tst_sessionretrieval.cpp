#include <QGroupBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "SpinWait.h"

#include "FakeClock.h"
#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "ScriptedTelnetHost.h"
#include "TaskBuilder.h"
#include "engine/TForm1.h"
#include "tasks/TaskListView.h"

// A whole run through the main window: scripted telnet host, then the real
// dispatcher against real FTP and HTTP servers.
class TestSessionRetrieval : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeClock m_clock{QDateTime(QDate(2027, 3, 5), QTime(3, 0, 0))};
    int m_n = 0;

    std::unique_ptr<TForm1> window(ScriptedTelnetHost &host, quint16 ftpPort = 21)
    {
        ++m_n;
        TForm1Options o;
        o.storeFile = m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n));
        o.logFile = m_dir.filePath(QStringLiteral("log%1.log").arg(m_n));
        o.clock = &m_clock;
        o.pacing.lineDelayMs = 5;
        o.pacing.charDelayMs = 0;
        o.telnetPort = host.port();
        o.retrieval.ftpPort = ftpPort;
        o.retrieval.acceptTimeoutMs = 2000;
        o.schedulerIntervalMs = 3600 * 1000;
        o.confirmClose = [](const QString &) { return false; };
        auto w = std::make_unique<TForm1>(o);
        w->show();
        return w;
    }

    static QStringList protocol(TForm1 &w)
    {
        QStringList out;
        const QStringList lines = w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText().split('\n');
        for (const QString &l : lines)
            out << l.section('\t', 1);
        return out;
    }

    static void runSelected(TForm1 &w, const BackupTask &t)
    {
        w.store().SaveTask(t.name, t);
        w.RefreshTaskList();
        w.taskList().selectRow(0);
        w.RunBackupmanually1Click();
        SpinUntil([&] { return !w.session().isBusy(); }, 20000);
    }

    // The served dump as made during this run, by the test's own clock.
    bool madeNow(const QString &servedFile) const
    {
        QFile f(servedFile);
        return f.open(QIODevice::ReadWrite) && f.setFileTime(m_clock.now(), QFileDevice::FileModificationTime);
    }

    static BackupTask baseTask(const QString &localdir)
    {
        BackupTask t = TaskBuilder(QStringLiteral("Nightly"))
                           .host(QStringLiteral("127.0.0.1"))
                           .login(QStringLiteral("web"), QStringLiteral("s3cret:@/pw"))
                           .database(QStringLiteral("shop"))
                           .remoteDir(QStringLiteral("/dumps/"))
                           .localDir(localdir);
        t.subdirectory = true;
        return t;
    }

private slots:
    void anFtpRunStoresIntoTheDaysSubdirectory()
    {
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        const QByteArray dump = QByteArray("CREATE TABLE t (x int);\n") + "-- Dump completed on 2027-03-05  3:00:01\n";
        QVERIFY(ftp.putFile(QStringLiteral("backups/backup.sql"), dump));
        QVERIFY(madeNow(ftp.rootPath() + QStringLiteral("/backups/backup.sql")));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        auto w = window(host, ftp.port());
        QTemporaryDir local;
        BackupTask t = baseTask(local.path());
        t.ftpdir = QStringLiteral("backups");
        runSelected(*w, t);

        QFile f(local.filePath(QStringLiteral("2027-3-5/backup.sql")));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(protocol(*w).join(" | ")));
        QCOMPARE(f.readAll(), dump);
        // Stored, so gone from the host: DELE on the connection that fetched it.
        QVERIFY(!QFile::exists(ftp.rootPath() + QStringLiteral("/backups/backup.sql")));
        const QStringList p = protocol(*w);
        QCOMPARE(p.last(), QStringLiteral("backup.sql saved successfully"));
        QVERIFY(p.at(p.size() - 2).startsWith(QStringLiteral("Disconnected: ")));
        QCOMPARE(w->taskList().rowMessage(0), QStringLiteral("Successful on 03/05/2027 03:00:00"));
        QCOMPARE(w->findChild<QGroupBox *>(QStringLiteral("GroupBox1"))->title(), QStringLiteral("Status && Log"));
    }

    void anIncompleteDumpKeepsThePreviousBackup()
    {
        FtpServerFixture ftp;
        if (!ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + ftp.errorString()));
        QVERIFY(ftp.putFile(QStringLiteral("backup.sql"), "CREATE TABLE t (x int);\nINSERT INTO t VALUES (1"));
        QVERIFY(madeNow(ftp.rootPath() + QStringLiteral("/backup.sql")));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        auto w = window(host, ftp.port());
        QTemporaryDir local;
        BackupTask t = baseTask(local.path());
        t.subdirectory = false;
        QFile old(local.filePath(QStringLiteral("backup.sql")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("yesterday's good backup\n-- Dump completed\n");
        old.close();
        runSelected(*w, t);

        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("yesterday's good backup\n-- Dump completed\n"));
        QCOMPARE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("backup.sql")});
        const QStringList p = protocol(*w);
        QCOMPARE(p.mid(p.size() - 2),
                 (QStringList{QStringLiteral("FTP-Download failed"),
                              QStringLiteral("Dump incomplete: backup.sql does not end with mysqldump's completion "
                                             "line; the previous backup is kept")}));
        QVERIFY(w->taskList().rowMessage(0).startsWith(QStringLiteral("!!! Not Successful on ")));
        QVERIFY(QFile::exists(ftp.rootPath() + QStringLiteral("/backup.sql")));  // not verified: left
    }

    // The dump lies in web space under a name of this run only, and the
    // second session removes it once stored.
    void anHttpRunFetchesItsOwnNameAndRemovesIt()
    {
        HttpServerFixture http;
        if (!http.start())
            VW_SKIP(qPrintable(QStringLiteral("HTTP server: ") + http.errorString()));
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        // The shell's part: the redirection's file appears under the server's
        // root, and "rm -f FILE && echo removed-$?" removes it.
        QStringList dumped;
        host.setCommandHandler([&](const QString &command) -> QByteArray {
            static const QRegularExpression into(QStringLiteral(" > /(dumps/backup-[0-9a-f]{10}\\.sql)'?;"));
            static const QRegularExpression removal(QStringLiteral("^rm -f /(dumps/\\S+) && echo removed-\\$\\?$"));
            if (const auto m = into.match(command); m.hasMatch()) {
                dumped << m.captured(1);
                http.putFile(m.captured(1), "x\n-- Dump completed on 2027-03-05\n");
                madeNow(http.rootPath() + QLatin1Char('/') + m.captured(1));
            } else if (const auto r = removal.match(command); r.hasMatch()) {
                return QFile::remove(http.rootPath() + QLatin1Char('/') + r.captured(1)) ? "removed-0\r\n" : "";
            }
            return QByteArray();
        });
        auto w = window(host);
        QTemporaryDir local;
        BackupTask t = baseTask(local.path());
        t.method = 1;
        t.httpath = http.url(QStringLiteral("dumps/"));
        runSelected(*w, t);
        QStringList p = protocol(*w);
        QCOMPARE(dumped.size(), 1);
        const qsizetype saved = p.indexOf(QStringLiteral("backup.sql saved successfully"));
        QVERIFY2(saved > 0, qPrintable(p.join(QStringLiteral(" | "))));
        QCOMPARE(p.at(saved + 1), QStringLiteral("backup.sql saved successfully"));
        QVERIFY(p.contains(QStringLiteral("Removing the dump file %1 from the host").arg(dumped.first().mid(6))));
        QVERIFY(QFile::exists(local.filePath(QStringLiteral("2027-3-5/backup.sql"))));
        QVERIFY(!QFile::exists(http.rootPath() + QLatin1Char('/') + dumped.first()));
        QCOMPARE(w->taskList().rowMessage(0).left(14), QStringLiteral("Successful on "));
        QVERIFY(!w->taskList().rowMessage(0).contains(QStringLiteral("Warning")));

        // A missing file: the HTTP line, the line every failed run has, and why.
        t.httpath = http.url(QStringLiteral("missing/"));
        runSelected(*w, t);
        p = protocol(*w);
        QCOMPARE(p.mid(p.size() - 3), (QStringList{QStringLiteral("HTTP-Download failed"),
                                                   QStringLiteral("FTP-Download failed"),
                                                   QStringLiteral("Reason: the server answered with HTTP status 404")}));
        // A failed fetch leaves the file; a removal that fails is a warning.
        QVERIFY(QFile::exists(http.rootPath() + QLatin1Char('/') + dumped.last()));
        host.setCommandHandler([&](const QString &command) -> QByteArray {
            static const QRegularExpression into(QStringLiteral(" > /(dumps/backup-[0-9a-f]{10}\\.sql)'?;"));
            if (const auto m = into.match(command); m.hasMatch()) {
                dumped << m.captured(1);
                http.putFile(m.captured(1), "x\n-- Dump completed on 2027-03-05\n");
                madeNow(http.rootPath() + QLatin1Char('/') + m.captured(1));
            }
            return command.startsWith(QStringLiteral("rm -f /dumps/backup-")) ? "rm: Permission denied\r\n" : "";
        });
        t.httpath = http.url(QStringLiteral("dumps/"));
        runSelected(*w, t);
        const QString warning = QStringLiteral("Warning: the dump file %1 could not be removed from the host")
                                    .arg(dumped.last().mid(6));
        QVERIFY(protocol(*w).contains(warning));
        QVERIFY(w->taskList().rowMessage(0).startsWith(QStringLiteral("Successful on ")));
        QVERIFY(w->taskList().rowMessage(0).endsWith(QStringLiteral(" - ") + warning));
    }
};

QTEST_MAIN(TestSessionRetrieval)
#include "tst_sessionretrieval.moc"
