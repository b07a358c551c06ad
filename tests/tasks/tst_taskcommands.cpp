#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "ModalDriver.h"
#include "TaskBuilder.h"
#include "shell/LanguageTexts.h"
#include "restore/RestorePrograms.h"
#include "tasks/DumpOptions.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskEditorHost.h"
#include "tasks/TaskStore.h"
#include "tasks/TaskTimeEdit.h"
#include "tasks/Ttaskform.h"

namespace {
// The main window as the commands see it. The list is modelled as rows that
// each rebuild takes from the store with an empty message.
class FakeHost : public TaskEditorHost {
public:
    explicit FakeHost(const QString &ini) : m_store(ini) {}

    QString selectedTaskName() const override { return selected; }
    BackupTask &currentTask() override { return current; }
    TaskStore &store() override { return m_store; }
    void SaveSettings() override
    {
        calls << QStringLiteral("SaveSettings [%1]").arg(m_store.ListTaskNames().join(QLatin1Char(',')));
        if (!settingsError.isEmpty())
            throw TaskStoreReadError(settingsError.toStdString());
    }
    void RefreshTaskList() override
    {
        calls << QStringLiteral("RefreshTaskList");
        rows = m_store.ListTaskNames();
        messages = QStringList(rows.size(), QString());
    }

    QString selected;
    BackupTask current;
    QStringList calls;
    QString settingsError;
    QStringList rows;
    QStringList messages;

private:
    TaskStore m_store;
};

BackupTask stored(const QString &name, const QString &host)
{
    BackupTask t = TaskBuilder(name)
                       .host(host)
                       .login(QStringLiteral("web1"), QStringLiteral("pw"))
                       .database(QStringLiteral("shop"))
                       .localDir(QStringLiteral("/backups"))
                       .at(QStringLiteral("03:15"), 1);
    t.dbpw = QStringLiteral("dbpw");
    return t;
}
}

class TestTaskCommands : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    LanguageTexts m_texts;
    std::unique_ptr<QWidget> m_window;
    std::unique_ptr<FakeHost> m_host;
    Ttaskform *m_form = nullptr;
    std::unique_ptr<TaskCommands> m_commands;
    std::unique_ptr<ModalWatchdog> m_watchdog;

    static QLineEdit *edit(Ttaskform *f, const char *name)
    {
        return f->findChild<QLineEdit *>(QString::fromLatin1(name));
    }
    static void clickOk(Ttaskform *f)
    {
        QTest::mouseClick(f->findChild<QPushButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
    }
    static void type(Ttaskform *f, const char *name, const QString &text)
    {
        QLineEdit *e = edit(f, name);
        e->setFocus(Qt::TabFocusReason);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    // Runs action inside the editor once it is up.
    void inEditor(std::function<void(Ttaskform *)> action)
    {
        whenModal<Ttaskform>(std::move(action));
    }
    QStringList storedNames() const { return m_host->store().ListTaskNames(); }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        static int n = 0;
        m_texts.Language = 0;
        m_host = std::make_unique<FakeHost>(m_dir.filePath(QStringLiteral("store%1.ini").arg(++n)));
        m_window = std::make_unique<QWidget>();
        m_form = new Ttaskform(m_texts, m_window.get());
        m_commands = std::make_unique<TaskCommands>(*m_host, *m_form);
        m_watchdog = std::make_unique<ModalWatchdog>();
        m_window->show();
    }
    void cleanup()
    {
        QVERIFY2(!m_watchdog->fired(), "an unexpected modal window was left open");
        m_commands.reset();
        m_window.reset();
        m_host.reset();
    }

    void newOffersEmptyFieldsAndSavesInOrder()
    {
        m_host->store().SaveTask(QStringLiteral("Old"), stored(QStringLiteral("Old"), QStringLiteral("old.example.org")));
        m_host->current = stored(QStringLiteral("Old"), QStringLiteral("old.example.org"));
        m_host->messages = QStringList{QStringLiteral("Successful on 01/02/2024 03:15:00")};
        BackupTask shown;
        inEditor([&](Ttaskform *f) {
            shown = f->task();
            type(f, "ttname", QStringLiteral("Shop"));
            type(f, "tHost", QStringLiteral("www.example.org"));
            for (const char *name : {"tuser", "tpassword", "tsql", "tdatabase", "tdbpasswd", "tbkfile", "tdir"})
                type(f, name, QStringLiteral("x"));
            type(f, "ttime", QStringLiteral("0200"));
            clickOk(f);
        });
        m_commands->Neu1Click();

        BackupTask empty;
        empty.backuptime = QStringLiteral("  :  ");
        // Test restores on where a server program is there to make them.
        empty.testrestore = RestorePrograms::find().found();
        // And the dump options that today's hosts want.
        empty.dumpoptions = DumpOptions::recommended();
        empty.hostcompress = QStringLiteral("auto");  // and the host compresses over SSH
        QCOMPARE(shown, empty);  // none of the load defaults are offered
        QCOMPARE(m_host->calls, (QStringList{QStringLiteral("SaveSettings [Old,Shop]"), QStringLiteral("RefreshTaskList")}));
        const BackupTask saved = m_host->store().LoadTask(QStringLiteral("Shop"));
        QCOMPARE(saved.host, QStringLiteral("www.example.org"));
        QCOMPARE(saved.backuptime, QStringLiteral("02:00"));
        QCOMPARE(saved.dbuser, QString());
        QCOMPARE(saved.testrestore, empty.testrestore);
        // Stamped as saved, which keeps the schedule from making up an earlier slot.
        QVERIFY(qAbs(QDateTime::fromString(saved.saved, Qt::ISODate).secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(m_host->current, saved);  // handed back
        QCOMPARE(m_host->messages, (QStringList{QString(), QString()}));
    }

    void cancelSavesNothing()
    {
        m_host->current = stored(QStringLiteral("Old"), QStringLiteral("old.example.org"));
        const BackupTask before = m_host->current;
        inEditor([](Ttaskform *f) {
            type(f, "ttname", QStringLiteral("Typed"));
            f->close();  // the close box
        });
        m_commands->Neu1Click();
        QVERIFY(storedNames().isEmpty());
        QVERIFY(m_host->calls.isEmpty());
        QCOMPARE(m_host->current, before);
    }

    void storeErrorAfterNewIsShownAfterEditIgnored()
    {
        m_host->settingsError = QStringLiteral("Value language of Options is not text");
        auto fillAndOk = [](Ttaskform *f) {
            BackupTask t = stored(QStringLiteral("Shop"), QStringLiteral("h"));
            t.mysql = QStringLiteral("db");
            f->setTask(t);
            clickOk(f);
        };
        QString text;
        inEditor([&](Ttaskform *f) {
            answerMessageBox(&text);
            fillAndOk(f);
        });
        m_commands->Neu1Click();
        QCOMPARE(text, m_host->settingsError);
        // The error ends the command before the list is rebuilt.
        QCOMPARE(m_host->calls, QStringList{QStringLiteral("SaveSettings [Shop]")});

        m_host->calls.clear();
        m_host->selected = QStringLiteral("Shop");
        inEditor([](Ttaskform *f) { clickOk(f); });
        m_commands->Bearbeiten1Click();  // the watchdog catches any box
        QCOMPARE(m_host->calls, QStringList{QStringLiteral("SaveSettings [Shop]")});
    }

    void refusedSaveIsReported()
    {
        // A store whose file cannot be created: its parent is a plain file.
        QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        FakeHost host(m_dir.filePath(QStringLiteral("blocker/store.ini")));
        TaskCommands commands(host, *m_form);
        QString text;
        inEditor([&](Ttaskform *f) {
            BackupTask t = stored(QStringLiteral("Shop"), QStringLiteral("h"));
            t.mysql = QStringLiteral("db");
            f->setTask(t);
            answerMessageBox(&text);
            clickOk(f);
        });
        commands.Neu1Click();
        QCOMPARE(text, QStringLiteral("The task \"Shop\" could not be saved."));
        QCOMPARE(host.calls, (QStringList{QStringLiteral("SaveSettings []"), QStringLiteral("RefreshTaskList")}));
    }

    void editWithANewNameKeepsTheOldTask()
    {
        const BackupTask old = stored(QStringLiteral("Shop"), QStringLiteral("www.example.org"));
        m_host->store().SaveTask(old.name, old);
        m_host->selected = QStringLiteral("Shop");
        BackupTask shown;
        inEditor([&](Ttaskform *f) {
            shown = f->task();
            type(f, "ttname", QStringLiteral("Shop2"));
            type(f, "tHost", QStringLiteral("new.example.org"));
            type(f, "trdir", QStringLiteral("dumps"));
            clickOk(f);  // trdir still has the focus
        });
        m_commands->Bearbeiten1Click();
        QCOMPARE(shown, old);
        QCOMPARE(storedNames(), (QStringList{QStringLiteral("Shop"), QStringLiteral("Shop2")}));
        QCOMPARE(m_host->store().LoadTask(QStringLiteral("Shop")), old);
        const BackupTask edited = m_host->store().LoadTask(QStringLiteral("Shop2"));
        QCOMPARE(edited.host, QStringLiteral("new.example.org"));
        QCOMPARE(edited.remotedir, QStringLiteral("dumps/"));
        QCOMPARE(m_host->calls, (QStringList{QStringLiteral("SaveSettings [Shop,Shop2]"), QStringLiteral("RefreshTaskList")}));
    }

    void scheduledRunLeavesTheOpenEditorAlone()
    {
        m_host->store().SaveTask(QStringLiteral("Shop"), stored(QStringLiteral("Shop"), QStringLiteral("www.example.org")));
        m_host->store().SaveTask(QStringLiteral("Other"), stored(QStringLiteral("Other"), QStringLiteral("other.example.org")));
        m_host->selected = QStringLiteral("Shop");
        QString hostDuringRun, nameDuringRun;
        inEditor([&](Ttaskform *f) {
            type(f, "tHost", QStringLiteral("typed.example.org"));
            // A timer tick starts a run: it loads its task into the current task.
            m_host->store().LoadTask(QStringLiteral("Other"), m_host->current);
            QTest::qWait(10);  // negative check: the open editor must not follow
            hostDuringRun = edit(f, "tHost")->text();
            nameDuringRun = edit(f, "ttname")->text();
            clickOk(f);
        });
        m_commands->Bearbeiten1Click();
        QCOMPARE(hostDuringRun, QStringLiteral("typed.example.org"));
        QCOMPARE(nameDuringRun, QStringLiteral("Shop"));
        QCOMPARE(m_host->store().LoadTask(QStringLiteral("Shop")).host, QStringLiteral("typed.example.org"));
        QCOMPARE(m_host->store().LoadTask(QStringLiteral("Other")).host, QStringLiteral("other.example.org"));
    }

    void duplicateNeedsANameAndCopiesTheRest()
    {
        BackupTask source = stored(QStringLiteral("Shop"), QStringLiteral("www.example.org"));
        source.method = 1;
        source.httpath = QStringLiteral("http://www.example.org/d/");
        m_host->store().SaveTask(source.name, source);
        m_host->selected = QStringLiteral("Shop");
        QString message;
        bool stayedOpen = false;
        inEditor([&](Ttaskform *f) {
            answerMessageBox(&message);
            clickOk(f);
            stayedOpen = f->isVisible();
            type(f, "ttname", QStringLiteral("Copy"));
            clickOk(f);
        });
        m_commands->Duplizieren1Click();
        QCOMPARE(message, QStringLiteral("Your task can not be actived, because the following parameters are missing:\n\n   Name\n"));
        QVERIFY(stayedOpen);
        BackupTask copy = m_host->store().LoadTask(QStringLiteral("Copy"));
        copy.name = source.name;
        QVERIFY(!copy.saved.isEmpty());  // the copy's own save time
        copy.saved = source.saved;
        QCOMPARE(copy, source);
        QCOMPARE(storedNames(), (QStringList{QStringLiteral("Copy"), QStringLiteral("Shop")}));
    }

    void duplicateOntoAnExistingNameOverwritesIt()
    {
        m_host->store().SaveTask(QStringLiteral("A"), stored(QStringLiteral("A"), QStringLiteral("a.example.org")));
        m_host->store().SaveTask(QStringLiteral("B"), stored(QStringLiteral("B"), QStringLiteral("b.example.org")));
        m_host->selected = QStringLiteral("A");
        inEditor([](Ttaskform *f) {
            type(f, "ttname", QStringLiteral("b"));
            clickOk(f);
        });
        m_commands->Duplizieren1Click();
        QCOMPARE(storedNames(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(m_host->store().LoadTask(QStringLiteral("B")).host, QStringLiteral("a.example.org"));
    }

    void withoutSelectionEditAndDuplicateDoNothing()
    {
        m_host->store().SaveTask(QStringLiteral("Shop"), stored(QStringLiteral("Shop"), QStringLiteral("h")));
        m_commands->Bearbeiten1Click();  // no editor: the watchdog would find it
        m_commands->Duplizieren1Click();
        QVERIFY(m_host->calls.isEmpty());
        QVERIFY(!m_form->isVisible());
    }

    void unreadableTaskEndsEditQuietly()
    {
        m_host->store().SaveTask(QStringLiteral("Shop"), stored(QStringLiteral("Shop"), QStringLiteral("h")));
        {
            QSettings raw(m_host->store().fileName(), QSettings::IniFormat);
            raw.setValue(QStringLiteral("tasks/Shop/Options/database"), QStringList{QStringLiteral("a"), QStringLiteral("b")});
        }
        m_host->selected = QStringLiteral("Shop");
        m_commands->Bearbeiten1Click();
        m_commands->Duplizieren1Click();
        QVERIFY(m_host->calls.isEmpty());
        QVERIFY(!m_form->isVisible());
    }

    void deleteAsksAndRemovesOnlyOnYes()
    {
        for (const char *n : {"A", "B", "C"})
            m_host->store().SaveTask(QString::fromLatin1(n), stored(QString::fromLatin1(n), QStringLiteral("h")));
        m_host->RefreshTaskList();
        m_host->calls.clear();
        m_host->selected = QStringLiteral("B");
        auto answer = [this](QMessageBox::StandardButton button) {
            QMessageBox *box = m_commands->deleteQuestion();
            QVERIFY(box && box->isVisible() && box->isModal());
            QCOMPARE(box->text(), QStringLiteral("Delete the task B?"));
            box->button(button)->click();
        };
        m_commands->Lschen1Click();  // returns at once: nothing waits for the answer
        QCOMPARE(storedNames().size(), 3);
        answer(QMessageBox::No);
        QCOMPARE(storedNames().size(), 3);
        QVERIFY(m_host->calls.isEmpty());

        m_commands->Lschen1Click();
        answer(QMessageBox::Yes);
        QCOMPARE(storedNames(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(m_host->calls, QStringList{QStringLiteral("RefreshTaskList")});

        m_host->selected.clear();
        m_commands->Lschen1Click();
        QVERIFY(!m_commands->deleteQuestion());
        QCOMPARE(storedNames().size(), 2);
    }

    void germanReachesTheClosedEditor()
    {
        // The language switch re-captions the editor before it is ever shown.
        m_texts.Language = 1;
        m_form->TranslateTaskForm(1);
        QString message;
        inEditor([&](Ttaskform *f) {
            answerMessageBox(&message);
            clickOk(f);
            f->close();
        });
        m_commands->Neu1Click();
        QVERIFY(message.startsWith(QStringLiteral("Ihr Task kann nicht aktiviert werden, da folgende Parameter fehlen:\n\n"
                                                  "   Name\n   Host Name\n   Host User\n   Host Passwort\n")));
        QVERIFY(message.endsWith(QStringLiteral("   Lokales Sicherungsverzeichnis\n   Tägliches Backup um\n")));
    }

    void aSecondCommandDoesNotReopenTheEditor()
    {
        m_host->store().SaveTask(QStringLiteral("Shop"), stored(QStringLiteral("Shop"), QStringLiteral("h")));
        m_host->selected = QStringLiteral("Shop");
        QString nameAfter;
        inEditor([&](Ttaskform *f) {
            type(f, "ttname", QStringLiteral("Typed"));
            m_commands->Neu1Click();  // say from the tray while the editor is up
            nameAfter = edit(f, "ttname")->text();
            f->close();
        });
        m_commands->Bearbeiten1Click();
        QCOMPARE(nameAfter, QStringLiteral("Typed"));
        QVERIFY(m_host->calls.isEmpty());
    }
};

QTEST_MAIN(TestTaskCommands)
#include "tst_taskcommands.moc"
