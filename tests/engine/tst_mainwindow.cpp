#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLocalSocket>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include "engine/SingleInstance.h"
#include "tasks/TaskListView.h"
#include "tasks/Ttaskform.h"

#include "MainWindowFixture.h"

class TestMainWindow : public QObject, protected MainWindowFixture {
    Q_OBJECT
private slots:
    void init() { reset(); }

    void firstStartShowsAnEmptyEnglishIconView()
    {
        TForm1 w(options());
        w.show();
        auto *list = w.findChild<TaskListView *>(QStringLiteral("ListView1"));
        QVERIFY(list);
        QCOMPARE(list->rowCount(), 0);
        QVERIFY(!list->isReportView());
        QVERIFY(w.menuAction(QStringLiteral("Symbole1"))->isChecked());
        QVERIFY(!w.menuAction(QStringLiteral("Details1"))->isChecked());
        QVERIFY(w.menuAction(QStringLiteral("English1"))->isChecked());
        QVERIFY(!w.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label11"))->text(), QStringLiteral("Actual Download"));
        QCOMPARE(list->headerText(3), QStringLiteral("Daily Backup at"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Vaultwick Task"));
        QCOMPARE(w.size(), QSize(698, 489));
        QVERIFY(!QFile::exists(options().storeFile));  // nothing is written by showing
    }

    void aStoredDisplayOfSevenChangesNothingAndIsWrittenBack()
    {
        {
            QSettings raw(options().storeFile, QSettings::IniFormat);
            raw.setValue(QStringLiteral("Options/Display"), QStringLiteral("7"));
        }
        TForm1 w(options());
        w.show();
        auto *list = w.findChild<TaskListView *>(QStringLiteral("ListView1"));
        QVERIFY(list->isReportView());
        QVERIFY(w.menuAction(QStringLiteral("Details1"))->isChecked());
        QVERIFY(!w.menuAction(QStringLiteral("Symbole1"))->isChecked());
        w.close();
        QSettings raw(options().storeFile, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Options/Display")).toString(), QStringLiteral("7"));
    }

    void settingsAndLogAreWrittenOnCloseEvenWhenTheAnswerIsNo()
    {
        TForm1 w(options());
        w.show();
        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        QVERIFY(w.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QCOMPARE(w.menuAction(QStringLiteral("Close1"))->text(), QStringLiteral("&Beenden"));
        w.menuAction(QStringLiteral("Close1"))->trigger();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions.first().startsWith(QStringLiteral("Möchten Sie die Anwendung wirklich beenden\n")));
        QVERIFY(w.isVisible());  // No: the program goes on
        QSettings raw(options().storeFile, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Options/language")).toString(), QStringLiteral("1"));
        QCOMPARE(raw.value(QStringLiteral("Options/totaltasks")).toString(), QStringLiteral("0"));
        QCOMPARE(raw.value(QStringLiteral("Options/Display")).toString(), QStringLiteral("0"));
        QVERIFY(QFile::exists(options().logFile));

        // The next start shows the stored language.
        TForm1 again(options());
        again.show();
        QVERIFY(again.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QCOMPARE(again.texts().SendPassword, QStringLiteral("Sende Passwort"));
    }

    void rowsAreRebuiltAndTheMessageCleared()
    {
        TForm1 w(options());
        w.store().SaveTask(QStringLiteral("b-task"), task(QStringLiteral("b-task"), QStringLiteral("03:00"), 1));
        w.store().SaveTask(QStringLiteral("A-task"), task(QStringLiteral("A-task"), QStringLiteral("12:00"), 0));
        w.show();
        TaskListView &list = w.taskList();
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.rowName(0), QStringLiteral("A-task"));
        QCOMPARE(list.rowImageIndex(0), 0);
        QCOMPARE(list.rowImageIndex(1), 1);
        QCOMPARE(list.rowTime(1), QStringLiteral("03:00"));
        w.service().board().setMessageForTask(QStringLiteral("B-TASK"), QStringLiteral("Successful on x"));
        QCOMPARE(list.rowMessage(1), QStringLiteral("Successful on x"));
        w.RefreshTaskList();
        QCOMPARE(list.rowMessage(1), QString());
    }

    // An unattended month leaves one box per kind with the latest text, its
    // line break shown; the retrieval bar never turns into a busy animation.
    void retrievalDisplayStaysCalm()
    {
        TForm1 w(options());
        w.show();
        auto boxes = [&] { return w.findChildren<QMessageBox *>(QStringLiteral("RetrievalErrorDialog")); };
        emit w.service().events().retrievalError(RetrievalError::Host, QStringLiteral("FTP Host \"a\" is not available.\rThe backup-task will be cancelled."));
        emit w.service().events().retrievalError(RetrievalError::Host, QStringLiteral("FTP Host \"b\" is not available.\rThe backup-task will be cancelled."));
        QCOMPARE(boxes().size(), 1);
        QCOMPARE(boxes().first()->text(),
                 QStringLiteral("FTP Host \"b\" is not available.\nThe backup-task will be cancelled."));
        emit w.service().events().retrievalError(RetrievalError::File, QStringLiteral("File not available: x.sql\rThe backup-task will be cancelled."));
        QCOMPARE(boxes().size(), 2);
        boxes().first()->close();  // the user's OK
        QTest::qWait(0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(boxes().size(), 1);
        emit w.service().events().retrievalError(RetrievalError::Host, QStringLiteral("again"));
        QCOMPARE(boxes().size(), 2);

        auto *bar = w.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        emit w.service().events().downloadProgress(0, 0);
        QVERIFY(bar->maximum() > bar->minimum());
        QCOMPARE(bar->value(), bar->minimum());
        emit w.service().events().downloadProgress(5, 10);
        QCOMPARE(bar->maximum(), 10);
        QCOMPARE(bar->value(), 5);
    }

    // A store that cannot be read whole is never written over: restored from
    // its backup copy when there is a sound one, else kept and left alone.
    void aDamagedStoreIsRestoredOrKept()
    {
        const TForm1Options o = options();
        {
            TForm1 w(o);
            w.store().SaveTask(QStringLiteral("keep"), task(QStringLiteral("keep"), QStringLiteral("03:00"), 1));
            w.store().SaveTask(QStringLiteral("also"), task(QStringLiteral("also"), QStringLiteral("04:00"), 1));
        }
        QFile store(o.storeFile);
        QVERIFY(store.open(QIODevice::ReadOnly));
        const QByteArray whole = store.readAll();
        store.close();
        QVERIFY(store.resize(whole.size() / 2 + 1));  // cut off mid-line
        {
            TForm1 w(o);
            w.show();
            QCOMPARE(w.taskList().rowCount(), 2);
            QVERIFY(protocolText(w).contains(QStringLiteral("restored from its backup copy")));
        }
        QVERIFY(QFile::remove(o.storeFile + QStringLiteral(".bak")));
        QVERIFY(store.resize(whole.size() / 2 + 1));
        {
            TForm1 w(o);
            w.show();
            QVERIFY(protocolText(w).contains(QStringLiteral("is kept as it is")));
            m_answer = true;
            w.close();
        }
        QVERIFY(store.open(QIODevice::ReadOnly));
        QCOMPARE(store.readAll(), whole.left(whole.size() / 2 + 1));
    }

    void theTrayHintFollowsTheCurrentTask()
    {
        TForm1 w(options());
        QCOMPARE(w.trayHint(), QStringLiteral("Vaultwick Task"));
        w.store().SaveTask(QStringLiteral("on"), task(QStringLiteral("on"), QStringLiteral("03:00"), 1));
        w.store().SaveTask(QStringLiteral("off"), task(QStringLiteral("off"), QStringLiteral("03:00"), 0));
        w.show();
        w.LoadTask(QStringLiteral("on"));
        tickAt(w, at(9, 0, 0));
        QCOMPARE(w.trayHint(), QStringLiteral("Vaultwick Task\rAutomatic Backup active\rNext backup: on at 03:00"));
        w.LoadTask(QStringLiteral("off"));
        tickAt(w, at(9, 1, 0));
        QCOMPARE(w.trayHint(), QStringLiteral("Vaultwick Task\rNo Automatic Backup\rNext backup: on at 03:00"));
    }

    void switchingLanguageRecaptionsEverythingAndOnlyLaterLines()
    {
        TForm1 w(options());
        w.store().SaveTask(QStringLiteral("t"), task(QStringLiteral("t"), QStringLiteral("03:00"), 1));
        w.show();
        auto *memo = w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"));
        w.protocol().AddStatus(w.texts().SendPassword);
        w.service().board().setMessageForTask(QStringLiteral("t"), w.texts().SuccessfulOn + w.protocol().Timestamp());
        QVERIFY(!w.taskForm()->isVisible());

        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        QVERIFY(w.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QVERIFY(!w.menuAction(QStringLiteral("English1"))->isChecked());
        QCOMPARE(w.menuAction(QStringLiteral("RunBackupmanually1"))->text(), QStringLiteral("&Manuelles Backup"));
        QCOMPARE(w.menuAction(QStringLiteral("RunBackupmanually2"))->text(), QStringLiteral("&Manuelles Backup"));
        QCOMPARE(w.menuAction(QStringLiteral("DownloadFileperFTPmanually2"))->text(),
                 QStringLiteral("Manueller &Download der Sicherungsdatei"));
        QCOMPARE(w.menuAction(QStringLiteral("CancelTelnetsession1"))->text(), QStringLiteral("&Abbruch der Telnet-Session"));
        QCOMPARE(w.menuAction(QStringLiteral("About1"))->text(), QStringLiteral("Ü&ber"));
        QCOMPARE(w.menuAction(QStringLiteral("Lschen1"))->text(), QStringLiteral("&Löschen"));
        QCOMPARE(w.menuAction(QStringLiteral("Ansicht1"))->text(), QStringLiteral("Ansicht"));
        QCOMPARE(w.menuAction(QStringLiteral("Symbole1"))->text(), QStringLiteral("Symbole"));
        QCOMPARE(w.menuAction(QStringLiteral("Details1"))->text(), QStringLiteral("Details"));
        QCOMPARE(w.menuAction(QStringLiteral("Restore1"))->text(), QStringLiteral("&Wiederherstellen"));
        QCOMPARE(w.menuAction(QStringLiteral("Close2"))->text(), QStringLiteral("&Beenden"));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label10"))->text(), QStringLiteral("Aktueller Backup-Process"));
        QCOMPARE(w.taskList().headerText(0), QStringLiteral("Task"));
        QCOMPARE(w.taskList().headerText(4), QStringLiteral("Hinweis"));
        QCOMPARE(memo->toolTip(), QStringLiteral("Task-Protokoll\nDoppelklick zum Leeren des Protokolls"));
        // The editor follows although it is closed.
        QCOMPARE(w.taskForm()->findChild<QLabel *>(QStringLiteral("Heading6"))->text(), QStringLiteral("Automatisches Backup"));

        // Earlier lines keep their wording; the next ones use the new one.
        w.protocol().AddStatus(w.texts().SendPassword);
        const QStringList lines = memo->toPlainText().split('\n');
        QCOMPARE(lines.at(0), QStringLiteral("12/07/2026 12:00:03\tSend password"));
        QCOMPARE(lines.at(1), QStringLiteral("07.12.2026 12:00:03\tSende Passwort"));
        QCOMPARE(w.taskList().rowMessage(0), QStringLiteral("Successful on 12/07/2026 12:00:03"));
        QCOMPARE(w.texts().NotSuccessfulOn, QStringLiteral("!!! Nicht Erfolgreich am "));

        // Choosing the active language again changes nothing visible.
        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        QVERIFY(w.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QCOMPARE(w.menuAction(QStringLiteral("Close1"))->text(), QStringLiteral("&Beenden"));
        w.menuAction(QStringLiteral("English1"))->trigger();
        QCOMPARE(w.taskForm()->findChild<QLabel *>(QStringLiteral("Heading6"))->text(), QStringLiteral("Scheduled Backup"));
    }

    void anOddStoredLanguageKeepsTheCaptionsAndReadsAsGerman()
    {
        {
            QSettings raw(options().storeFile, QSettings::IniFormat);
            raw.setValue(QStringLiteral("Options/language"), QStringLiteral("5"));
        }
        TForm1 w(options());
        w.show();
        QVERIFY(w.menuAction(QStringLiteral("Deutsch1"))->isChecked());
        QVERIFY(!w.menuAction(QStringLiteral("English1"))->isChecked());
        QCOMPARE(w.menuAction(QStringLiteral("Close1"))->text(), QStringLiteral("C&lose"));  // design caption
        QCOMPARE(w.protocol().Timestamp(), QStringLiteral("07.12.2026 12:00:03"));
        QCOMPARE(w.texts().SendPassword, QStringLiteral("Sende Passwort"));
        w.close();
        QVERIFY(m_questions.first().startsWith(QStringLiteral("Möchten Sie")));
        QSettings raw(options().storeFile, QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Options/language")).toString(), QStringLiteral("1"));
    }

    void aDoubleClickClearsTheProtocolButNotTheLogBuffer()
    {
        TForm1 w(options());
        w.show();
        w.protocol().AddStatus(QStringLiteral("one"));
        w.protocol().AddSent(QStringLiteral("user"));
        auto *memo = w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"));
        QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
        QCOMPARE(memo->toPlainText(), QString());
        QCOMPARE(w.protocol().sentLines().size(), 1);
    }

    void copiesStartedTogetherNeverBothRun()
    {
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), runtime.path());
        env.insert(QStringLiteral("HOME"), runtime.path());  // a user of its own
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config")));
        std::vector<std::unique_ptr<QProcess>> copies;
        for (int i = 0; i < 6; ++i) {
            copies.push_back(std::make_unique<QProcess>());
            copies.back()->setProcessEnvironment(env);
            copies.back()->setProgram(QStringLiteral(VW_BINARY));
        }
        for (auto &c : copies)
            c->start();
        auto running = [&] {
            int n = 0;
            for (auto &c : copies)
                n += c->state() != QProcess::NotRunning;
            return n;
        };
        // Six programs starting on a loaded machine take a while; a lingering
        // second copy still fails the comparison below.
        SpinUntil([&] { return running() <= 1; }, 60000);
        Settle(500);  // negative check: the one left does not end as well
        QCOMPARE(running(), 1);
#ifdef Q_OS_LINUX
        // The copy that runs would leave no core file holding the passwords.
        for (auto &c : copies) {
            QFile limits(QStringLiteral("/proc/%1/limits").arg(c->processId()));
            if (c->state() != QProcess::NotRunning && limits.open(QIODevice::ReadOnly))
                QVERIFY(QString::fromLatin1(limits.readAll()).contains(
                    QRegularExpression(QStringLiteral("Max core file size\\s+0\\s+0\\s"))));
        }
#endif
        for (auto &c : copies)
            c->kill();
        for (auto &c : copies)
            c->waitForFinished(3000);
    }

    // A copy started while the first one is ending (SIGTERM) is not sent to
    // it and swallowed: it waits for the lock and then answers later copies.
    void aCopyStartedWhileTheFirstEndsTakesOver()
    {
        QTemporaryDir runtime;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("TMPDIR"), runtime.path());
        env.insert(QStringLiteral("HOME"), runtime.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime.filePath(QStringLiteral("config")));
        QProcess first, second;
        for (QProcess *p : {&first, &second}) {
            p->setProcessEnvironment(env);
            p->setProgram(QStringLiteral(VW_BINARY));
        }
        // The copy that owns the lock listens on the socket beside it.
        auto socketPath = [&] {
            const QStringList names = QDir(runtime.path()).entryList({QStringLiteral("vaultwick-*")}, QDir::System);
            for (const QString &n : names)
                if (!n.endsWith(QStringLiteral(".lock")))
                    return runtime.filePath(n);
            return QString();
        };
        auto answers = [&] {
            QLocalSocket probe;
            probe.connectToServer(socketPath());
            if (!probe.waitForConnected(500))
                return false;
            probe.write("activate\n");
            return probe.waitForReadyRead(1000) && probe.readAll().startsWith("ok");
        };
        first.start();
        QVERIFY(SpinUntil([&] { return !socketPath().isEmpty(); }, 8000));
        first.terminate();
        second.start();
        QVERIFY(first.waitForFinished(5000));
        QVERIFY(SpinUntil([&] { return second.state() == QProcess::NotRunning || answers(); }, 20000));
        QCOMPARE(second.state(), QProcess::Running);
        second.kill();
        second.waitForFinished(3000);
    }

    void aSecondCopyFindsTheFirstAndEnds()
    {
        SingleInstance first;
        QVERIFY(first.claim());
        QSignalSpy activation(&first, &SingleInstance::activationRequested);
        QProcess second;
        second.setProgram(QStringLiteral(VW_BINARY));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("second-config")));
        second.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        second.start();
        // The first copy answers from the event loop, so wait without blocking it.
        QVERIFY(SpinUntil([&] { return second.state() == QProcess::NotRunning; }, 10000));
        QCOMPARE(second.exitCode(), 0);
        // It never showed the splash and window: it ended after asking, even
        // when the first copy's answer was slow and it asked again.
        QVERIFY2(t.elapsed() < 6000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(activation.size() >= 1 || activation.wait(3000));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
