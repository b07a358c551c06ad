#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

#include "FakeClock.h"
#include "FtpServerFixture.h"
#include "KeyringFixture.h"
#include "ModalDriver.h"
#include "RequirePeer.h"
#include "ScriptedTelnetHost.h"
#include "TaskBuilder.h"
#include "cli/CommandLineProgram.h"
#include "notify/MailSettings.h"
#include "secrets/TaskSecrets.h"
#include "shell/LanguageTexts.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskEditorHost.h"
#include "tasks/TaskStore.h"
#include "tasks/Ttaskform.h"

namespace {
const QString kDbPassword = QStringLiteral("db-Secret-7731");
const QString kMailPassword = QStringLiteral("mail-Secret-5519");

class EditorHost : public TaskEditorHost {
public:
    explicit EditorHost(TaskStore &store) : m_store(store) {}
    QString selectedTaskName() const override { return selected; }
    BackupTask &currentTask() override { return current; }
    TaskStore &store() override { return m_store; }
    void SaveSettings() override {}
    void RefreshTaskList() override { ++refreshes; }
    QString selected;
    BackupTask current;
    int refreshes = 0;

private:
    TaskStore &m_store;
};
}

// The passwords in a real Secret Service (gnome-keyring on a private bus):
// moved there from the settings file, used by a run from the command line,
// kept by the editor, and a locked keyring failing the run instead of waiting.
class TestKeyring : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeClock m_clock{QDateTime(QDate(2027, 3, 5), QTime(3, 0, 20))};
    KeyringFixture m_keyring;
    FtpServerFixture m_ftp;
    std::unique_ptr<ScriptedTelnetHost> m_host;
    std::unique_ptr<TaskStore> m_store;
    int m_n = 0;

    struct Result {
        int status = -1;
        QString out;
        QString err;
    };

    Result run(const QStringList &arguments)
    {
        CommandLineOptions o;
        o.engine.clock = &m_clock;
        o.engine.pacing.lineDelayMs = 5;
        o.engine.pacing.charDelayMs = 0;
        o.engine.telnetPort = m_host->port();
        o.engine.retrieval.ftpPort = m_ftp.port();
        o.lockDirectory = m_dir.filePath(QStringLiteral("locks"));
        const QString outPath = m_dir.filePath(QStringLiteral("out%1").arg(++m_n));
        FILE *out = std::fopen(qPrintable(outPath), "w");
        FILE *err = std::fopen(qPrintable(outPath + QStringLiteral(".err")), "w");
        Result r;
        {
            CommandLineProgram program(CommandLine::parse(QStringList{QStringLiteral("vaultwick")} + arguments, false),
                                       *m_store, 0, o, out, err);
            QSignalSpy finished(&program, &CommandLineProgram::finished);
            r.status = program.start();
            if (r.status < 0 && (finished.size() > 0 || finished.wait(30000)))
                r.status = finished.at(0).at(0).toInt();
        }
        std::fclose(out);
        std::fclose(err);
        QFile o1(outPath), e1(outPath + QStringLiteral(".err"));
        o1.open(QIODevice::ReadOnly);
        e1.open(QIODevice::ReadOnly);
        r.out = QString::fromUtf8(o1.readAll());
        r.err = QString::fromUtf8(e1.readAll());
        return r;
    }

    BackupTask task(const QString &name)
    {
        BackupTask t = TaskBuilder(name)
                           .host(QStringLiteral("127.0.0.1"))
                           .login(QStringLiteral("web"), m_ftp.settings().password)
                           .database(QStringLiteral("shop"))
                           .file(QStringLiteral("shop.sql"))
                           .localDir(m_dir.filePath(QStringLiteral("local")))
                           .at(QStringLiteral("12:00"), 0);
        t.dbpw = kDbPassword;
        return t;
    }

    void putDump()
    {
        QVERIFY(m_ftp.putFile(QStringLiteral("shop.sql"),
                              QByteArray("CREATE TABLE t (x int);\n-- Dump completed on 2027-03-05  3:00:21\n")));
        QFile f(m_ftp.rootPath() + QStringLiteral("/shop.sql"));
        QVERIFY(f.open(QIODevice::ReadWrite) && f.setFileTime(m_clock.now(), QFileDevice::FileModificationTime));
    }

    QByteArray settingsFile() const
    {
        QFile f(m_store->fileName());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void verifyNoPassword(const QString &where, const QString &text)
    {
        for (const QString &pw : {m_ftp.settings().password, kDbPassword, kMailPassword})
            QVERIFY2(!text.contains(pw), qPrintable(where + QStringLiteral(" holds a password:\n") + text));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkpath(QStringLiteral("local")));
        if (!m_keyring.start())
            VW_SKIP(qPrintable(QStringLiteral("Secret Service: ") + m_keyring.errorString()));
        if (!m_ftp.start())
            VW_SKIP(qPrintable(QStringLiteral("FTP server: ") + m_ftp.errorString()));
    }

    void init()
    {
        putDump();
        m_host = std::make_unique<ScriptedTelnetHost>();
        m_host->setHostName(QStringLiteral("127.0.0.1"));
        connect(m_host.get(), &ScriptedTelnetHost::commandReceived, this, [this](const QString &c) {
            if (c.contains(QStringLiteral("mysqldump")))
                putDump();
        });
        static int stores = 0;
        m_store = std::make_unique<TaskStore>(m_dir.filePath(QStringLiteral("store%1.conf").arg(++stores)));
    }

    void theFileMovesIntoTheKeyringAndARunUsesIt()
    {
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"))));
        MailSettings mail;
        mail.server = QStringLiteral("127.0.0.1");
        mail.user = QStringLiteral("me");
        mail.password = kMailPassword;
        mail.sender = mail.recipient = QStringLiteral("me@example.org");
        QVERIFY(mail.save(*m_store));

        const Result r = run({QStringLiteral("--run"), QStringLiteral("Shop")});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("The passwords of the task \"Shop\" moved into the keyring.")));
        QVERIFY(r.out.contains(QStringLiteral("The mail password moved into the keyring.")));
        // The run logged in (telnet and FTP) with the password the keyring gave back.
        QCOMPARE(m_host->password(), m_ftp.settings().password);

        QCOMPARE(m_keyring.lookup(QStringLiteral("Shop/hostpw"), QStringLiteral("Vaultwick: Shop host password")),
                 m_ftp.settings().password);
        QCOMPARE(m_keyring.lookup(QStringLiteral("Shop/dbpw"), QStringLiteral("Vaultwick: Shop database password")),
                 kDbPassword);
        QCOMPARE(m_keyring.lookup(QStringLiteral("mail/password"), QStringLiteral("Vaultwick: mail password")),
                 kMailPassword);
        QCOMPARE(m_store->LoadTask(QStringLiteral("Shop")).secrets, QStringLiteral("keyring"));
        QVERIFY(MailSettings::read(*m_store).passwordInKeyring);

        const Result list = run({QStringLiteral("--list"), QStringLiteral("--json")});
        QCOMPARE(list.status, 0);
        QVERIFY(list.out.contains(QStringLiteral("\"secrets\": \"keyring\"")));
        QVERIFY(list.err.contains(QStringLiteral("kept in the desktop's keyring")));
        verifyNoPassword(QStringLiteral("the settings file"), QString::fromUtf8(settingsFile()));
        verifyNoPassword(QStringLiteral("the protocol"), r.out + r.err);
        verifyNoPassword(QStringLiteral("the list"), list.out + list.err);
    }

    void theEditorSavesDuplicatesAndDeletesEntries()
    {
        LanguageTexts texts;
        QWidget window;
        auto *form = new Ttaskform(texts, &window);
        EditorHost host(*m_store);
        TaskCommands commands(host, *form);
        ModalWatchdog watchdog;
        auto okWith = [](const QString &name) {
            whenModal<Ttaskform>([name](Ttaskform *f) {
                BackupTask t = f->task();
                if (!name.isEmpty())
                    t.name = name;
                f->setTask(t);
                QTest::mouseClick(f->findChild<QPushButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
            });
        };
        // A new task: its passwords go to the keyring, the file gets none.
        whenModal<Ttaskform>([this](Ttaskform *f) {
            f->setTask(task(QStringLiteral("Blog")));
            QTest::mouseClick(f->findChild<QPushButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
        });
        commands.Neu1Click();
        QTRY_COMPARE_WITH_TIMEOUT(m_store->LoadTask(QStringLiteral("Blog")).secrets, QStringLiteral("keyring"), 15000);
        QCOMPARE(m_keyring.lookup(QStringLiteral("Blog/dbpw"), QStringLiteral("Vaultwick: Blog database password")),
                 kDbPassword);
        verifyNoPassword(QStringLiteral("the settings file"), QString::fromUtf8(settingsFile()));

        // Edited with the password fields left empty: the keyring keeps them;
        // "Show password" reads one from the keyring when asked.
        host.selected = QStringLiteral("Blog");
        QString shown;
        whenModal<Ttaskform>([&shown](Ttaskform *f) {
            auto *field = f->findChild<QLineEdit *>(QStringLiteral("tdbpasswd"));
            const bool empty = field->text().isEmpty();
            field->findChild<QAction *>(QStringLiteral("tdbpasswdShow"))->trigger();
            QTRY_VERIFY(!field->text().isEmpty());
            shown = empty ? field->text() : QString();
            field->clear();
            QTest::mouseClick(f->findChild<QPushButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
        });
        commands.Bearbeiten1Click();
        QCOMPARE(shown, kDbPassword);
        QCOMPARE(m_keyring.lookup(QStringLiteral("Blog/hostpw"), QStringLiteral("Vaultwick: Blog host password")),
                 m_ftp.settings().password);

        // A duplicate gets entries of its own; deleting the source leaves them.
        okWith(QStringLiteral("Blog2"));
        commands.Duplizieren1Click();
        QTRY_COMPARE_WITH_TIMEOUT(
            m_keyring.lookup(QStringLiteral("Blog2/dbpw"), QStringLiteral("Vaultwick: Blog2 database password")),
            kDbPassword, 15000);
        whenModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
        commands.Lschen1Click();
        QTRY_VERIFY_WITH_TIMEOUT(
            m_keyring.lookup(QStringLiteral("Blog/hostpw"), QStringLiteral("Vaultwick: Blog host password")).isEmpty(),
            15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_keyring.lookup(QStringLiteral("Blog/dbpw"), QStringLiteral("Vaultwick: Blog database password")).isEmpty(),
            15000);
        QCOMPARE(m_store->ListTaskNames(), QStringList{QStringLiteral("Blog2")});
        QCOMPARE(m_keyring.lookup(QStringLiteral("Blog2/hostpw"), QStringLiteral("Vaultwick: Blog2 host password")),
                 m_ftp.settings().password);

        // With the settings file chosen, a save takes the passwords back there.
        QVERIFY(AppSettings(*m_store).SaveKeepPasswordsInFile(true));
        host.selected = QStringLiteral("Blog2");
        okWith(QString());
        commands.Bearbeiten1Click();
        QTRY_COMPARE_WITH_TIMEOUT(m_store->LoadTask(QStringLiteral("Blog2")).dbpw, kDbPassword, 15000);
        QCOMPARE(m_store->LoadTask(QStringLiteral("Blog2")).secrets, QString());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_keyring.lookup(QStringLiteral("Blog2/dbpw"), QStringLiteral("Vaultwick: Blog2 database password")).isEmpty(),
            15000);
        QVERIFY(!watchdog.fired());
    }

    void withoutABusTheFileKeepsThemAndSaysSo()
    {
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), task(QStringLiteral("Shop"))));
        BackupTask away = task(QStringLiteral("Away"));
        away.secrets = QStringLiteral("keyring");
        QVERIFY(m_store->SaveTask(QStringLiteral("Away"), away));
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "");
        const Result r = run({QStringLiteral("--list")});
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.contains(QStringLiteral("kept in the settings file")), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("no keyring is reachable")));
        QVERIFY(r.err.contains(QStringLiteral("The passwords of the task \"Away\" are in the keyring, which is not reachable here.")));
        // The file task kept its passwords, privately.
        QCOMPARE(m_store->LoadTask(QStringLiteral("Shop")).dbpw, kDbPassword);
        QCOMPARE(QFile::permissions(m_store->fileName()) & 0x0077, QFileDevice::Permissions());
        // The user's choice works the same with a keyring there.
        QVERIFY(AppSettings(*m_store).SaveKeepPasswordsInFile(true));
        QVERIFY(!TaskSecrets::useKeyring(*m_store));
        const Result chosen = run({QStringLiteral("--run"), QStringLiteral("Shop")});
        QVERIFY2(chosen.status == 0, qPrintable(chosen.out + chosen.err));
        QVERIFY(chosen.out.contains(QStringLiteral("as chosen")));
        QCOMPARE(m_store->LoadTask(QStringLiteral("Shop")).dbpw, kDbPassword);
    }

    // Last: the collection cannot be unlocked again without a prompt.
    void aLockedKeyringFailsTheRunWithoutWaiting()
    {
        BackupTask t = task(QStringLiteral("Shop"));
        QVERIFY(m_store->SaveTask(QStringLiteral("Shop"), t));
        QVERIFY2(run({QStringLiteral("--run"), QStringLiteral("Shop")}).status == 0, "the move");
        QCOMPARE(m_store->LoadTask(QStringLiteral("Shop")).secrets, QStringLiteral("keyring"));
        QVERIFY(m_keyring.lock());
        const int connections = m_host->connectionCount();
        const Result r = run({QStringLiteral("--run"), QStringLiteral("Shop")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("the keyring is locked or unreachable")), qPrintable(r.out));
        QCOMPARE(m_host->connectionCount(), connections);
    }
};

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
