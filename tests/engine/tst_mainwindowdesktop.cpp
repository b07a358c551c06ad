#include <QAbstractItemView>
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QHelpEvent>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>
#include <QTreeView>
#include <QtTest>

#include "RequirePeer.h"
#include "../tasks/ModalDriver.h"
#include "ScriptedTelnetHost.h"
#include "engine/TaskRunLock.h"
#include "engine/TForm1.h"
#include "shell/QtTranslation.h"
#include "shell/TNotifyIcon.h"
#include "tasks/TaskCommands.h"
#include "tasks/TaskListView.h"
#include "tasks/Ttaskform.h"

// The main window as a desktop user meets it: which commands it offers,
// what its boxes say, the tooltips, the tray, the autostart entry.
class TestMainWindowDesktop : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    int m_n = 0;

    TForm1Options options()
    {
        TForm1Options o;
        o.storeFile = m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n));
        o.logFile = m_dir.filePath(QStringLiteral("vaultwck%1.log").arg(m_n));
        o.schedulerIntervalMs = 3600 * 1000;
        o.confirmClose = [](const QString &) { return true; };
        o.lockDirectory = m_dir.filePath(QStringLiteral("locks"));
        o.pacing.lineDelayMs = 5;
        o.pacing.charDelayMs = 0;
        o.pacing.connectWaitMs = 2000;
        return o;
    }
    void storeTasks(const QStringList &names)
    {
        TaskStore store(options().storeFile);
        for (const QString &name : names)
            QVERIFY(store.SaveTask(name, BackupTask::withDefaults(name)));
    }
    static QMessageBox *deleteQuestion(TForm1 &w)
    {
        return w.findChild<QMessageBox *>(QStringLiteral("DeleteQuestion"));
    }
    static QStringList rowCommandStates(TForm1 &w)
    {
        QStringList enabled;
        for (const char *name : {"RunBackupmanually1", "RunBackupmanually2", "DownloadFileperFTPmanually1",
                                 "DownloadFileperFTPmanually2", "Bearbeiten1", "Duplizieren1", "Lschen1"})
            enabled << QString::fromLatin1(name) + (w.menuAction(QString::fromLatin1(name))->isEnabled() ? "+" : "-");
        return enabled;
    }
    static bool allRowCommands(TForm1 &w, bool enabled)
    {
        for (const QString &s : rowCommandStates(w))
            if (s.endsWith(QLatin1Char(enabled ? '-' : '+')))
                return false;
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // The autostart entry goes below the test's own configuration folder.
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toLocal8Bit());
    }
    void init() { ++m_n; }

    void rowCommandsNeedASelectionAndDeleteAsksInTheLanguage()
    {
        if (!QFile::exists(QtTranslation::directory() + QStringLiteral("/qtbase_de.qm")))
            VW_SKIP("Qt's German translations are not installed (qt6-translations-l10n)");
        storeTasks({QStringLiteral("Blog"), QStringLiteral("Shop")});
        TForm1 w(options());
        w.show();
        QCOMPARE(w.taskList().rowCount(), 2);
        QVERIFY2(allRowCommands(w, false), qPrintable(rowCommandStates(w).join(' ')));
        QVERIFY(w.menuAction(QStringLiteral("Neu1"))->isEnabled());
        w.taskList().selectRow(1);
        QVERIFY2(allRowCommands(w, true), qPrintable(rowCommandStates(w).join(' ')));

        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        w.menuAction(QStringLiteral("Lschen1"))->trigger();
        QMessageBox *box = deleteQuestion(w);
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("Die Aufgabe Shop löschen?"));
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("&Nein"));
        box->button(QMessageBox::No)->click();
        QCOMPARE(w.taskList().rowCount(), 2);
        QTRY_VERIFY(!deleteQuestion(w));

        // Back in English, Qt's own words are English again.
        w.menuAction(QStringLiteral("English1"))->trigger();
        w.menuAction(QStringLiteral("Lschen1"))->trigger();
        box = deleteQuestion(w);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Delete the task Shop?"));
        QCOMPARE(box->button(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));
        box->button(QMessageBox::Yes)->click();
        QCOMPARE(w.taskList().rowCount(), 1);
        QCOMPARE(w.taskList().rowName(0), QStringLiteral("Blog"));
        QVERIFY(allRowCommands(w, false));  // the rebuild leaves no row selected
    }

    void theWholeMessageIsEachRowsTooltipInBothViews()
    {
        storeTasks({QStringLiteral("Shop")});
        TForm1 w(options());
        w.show();
        const QString message = QStringLiteral("!!! Not Successful on 12/07/2026 03:15:09: ")
                                + QString(200, QLatin1Char('x'));
        w.taskList().setRowMessage(0, message);
        for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(w.taskList().reportView()),
                                        static_cast<QAbstractItemView *>(w.taskList().iconView())}) {
            w.taskList().SetDisplayMode(view == w.taskList().reportView() ? 1 : 0);
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            const QRect cell = view->visualRect(view->model()->index(0, 0));
            QVERIFY(!cell.isEmpty());
            QHelpEvent help(QEvent::ToolTip, cell.center(), view->viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(view->viewport(), &help);
            QTRY_COMPARE(QToolTip::text(), message);
            QToolTip::hideText();
        }
    }

    void minimisingUnderAModalDialogNeverGoesToTheTray()
    {
        TForm1 w(options());
        w.notifyIcon()->setTrayAvailabilityProbe([] { return true; });
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QDialog *dialog : w.findChildren<QDialog *>())
            QVERIFY2(!(dialog->windowFlags() & Qt::WindowMinimizeButtonHint), qPrintable(dialog->objectName()));

        bool inTray = true, minimised = false;
        whenModal<Ttaskform>([&](Ttaskform *editor) {
            w.setWindowState(Qt::WindowMinimized);  // the title bar's minimise
            w.Minimize1Click();                     // the end of a run
            QTimer::singleShot(50, editor, [&, editor] {
                inTray = w.notifyIcon()->isInTray();
                minimised = w.isMinimized();
                editor->reject();
            });
        });
        ModalWatchdog watchdog;
        w.Neu1Click();
        QVERIFY(!watchdog.fired());
        QVERIFY(!inTray);
        QVERIFY(minimised);  // an ordinary minimised window, reachable from the task bar

        w.Restore1Click();
        w.Minimize1Click();  // without a modal window the tray works as before
        QVERIFY(w.notifyIcon()->isInTray());
        w.Restore1Click();
    }

    void aTaskRunningElsewhereIsNotStartedAgain()
    {
        ScriptedTelnetHost host;
        host.setHostName(QStringLiteral("127.0.0.1"));
        TForm1Options o = options();
        o.telnetPort = host.port();
        BackupTask shop = BackupTask::withDefaults(QStringLiteral("Shop"));
        shop.host = QStringLiteral("127.0.0.1");
        QVERIFY(TaskStore(o.storeFile).SaveTask(shop.name, shop));
        TForm1 w(o);
        w.show();
        w.taskList().selectRow(0);

        // A command-line run of the task holds its lock.
        auto other = std::make_unique<TaskRunLock>(QStringLiteral("shop"), o.lockDirectory);
        QVERIFY(other->tryLock());
        w.RunBackupmanually1Click();
        QVERIFY(!w.session().isBusy());
        QVERIFY(w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))
                    ->toPlainText().endsWith(QStringLiteral("\tShop: running in another process; not started")));
        QVERIFY(host.loginName().isEmpty());
        other.reset();

        // The window's own run holds it while it runs, and gives it back.
        TaskRunLock probe(QStringLiteral("SHOP"), o.lockDirectory);
        bool heldDuringRun = false;
        connect(&host, &ScriptedTelnetHost::commandReceived, this, [&] {
            heldDuringRun = !probe.tryLock();
            probe.unlock();
        });
        w.RunBackupmanually1Click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.session().isBusy(), 10000);
        QCOMPARE(host.loginName(), shop.hostuser);
        QVERIFY(heldDuringRun);
        QVERIFY(probe.tryLock());
    }

    void startWithTheDesktopWritesAndRemovesTheAutostartEntry()
    {
        const QString entry = m_dir.filePath(QStringLiteral("config/autostart/vaultwick.desktop"));
        TForm1 w(options());
        w.show();
        QAction *autostart = w.menuAction(QStringLiteral("Autostart1"));
        QVERIFY(autostart->isCheckable() && !autostart->isChecked());
        QCOMPARE(autostart->text(), QStringLiteral("Start with the desktop"));

        autostart->trigger();
        QVERIFY(autostart->isChecked());
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
        QVERIFY2(text.contains(QStringLiteral("\nExec=\"%1\"\n").arg(QCoreApplication::applicationFilePath())),
                 qPrintable(text));

        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        QVERIFY(!QFile::exists(entry));

        // Made or removed elsewhere: the check mark says what is there.
        QVERIFY(QFile(entry).open(QIODevice::WriteOnly));
        auto *info = qobject_cast<QMenu *>(w.menuAction(QStringLiteral("Language1"))->menu()->parentWidget());
        QVERIFY(info);
        emit info->aboutToShow();
        QVERIFY(autostart->isChecked());
        QVERIFY(QFile::remove(entry));
        emit info->aboutToShow();
        QVERIFY(!autostart->isChecked());

        // A folder that cannot take the entry: the user is told, no check mark.
        QVERIFY(QDir(m_dir.filePath(QStringLiteral("config"))).removeRecursively());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("config"))));
        QVERIFY(QFile(m_dir.filePath(QStringLiteral("config/autostart"))).open(QIODevice::WriteOnly));
        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        QCOMPARE(autostart->text(), QStringLiteral("Mit dem Desktop starten"));
        autostart->trigger();
        QVERIFY(!autostart->isChecked());
        auto *error = w.findChild<QMessageBox *>(QStringLiteral("AutostartErrorDialog"));
        QVERIFY(error && error->text().startsWith(QStringLiteral("Der Autostart-Eintrag")));
        error->close();
        QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("config/autostart"))));
    }
};

QTEST_MAIN(TestMainWindowDesktop)
#include "tst_mainwindowdesktop.moc"
