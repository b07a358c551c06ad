#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "RequirePeer.h"
#include "FakeClock.h"
#include "SmtpServerFixture.h"
#include "TaskBuilder.h"
#include "engine/TForm1.h"
#include "notify/MailSettings.h"
#include "notify/MailSettingsDialog.h"
#include "shell/MetricsSettingsDialog.h"
#include "shell/OffsiteLimitDialog.h"
#include "shell/RestoreSettingsDialog.h"
#include "shell/TNotifyIcon.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskListView.h"

namespace {
QDateTime at(int day, int h, int m, int s = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(h, m, s));
}
QString record(const QDateTime &t)
{
    return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODate);
}
}

// The main window's schedule, notifications and overdue warnings, with the
// notification area stood in for by the icon's probe and its record of
// messages shown.
class TestScheduleWindow : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    FakeClock m_clock{at(7, 12, 0, 3)};
    bool m_tray = true;
    int m_n = 0;

    TForm1Options options() const
    {
        TForm1Options o;
        o.storeFile = m_dir.filePath(QStringLiteral("store%1.conf").arg(m_n));
        o.logFile = m_dir.filePath(QStringLiteral("vaultwck%1.log").arg(m_n));
        o.clock = &m_clock;
        o.pacing.connectWaitMs = 2000;
        o.schedulerIntervalMs = 3600 * 1000;  // ticked by hand
        o.confirmClose = [](const QString &) { return true; };
        return o;
    }

    // An active task whose run fails at once (no host), last tried yesterday.
    void storeFailingTask(TForm1 &w, const QString &time)
    {
        BackupTask t = TaskBuilder(QStringLiteral("shop")).at(time, 1);
        t.hostpw = QStringLiteral("h0st-Secret");
        QVERIFY(w.store().SaveTask(t.name, t));
        QVERIFY(w.store().SaveRunRecord(t.name, {record(at(6, 11, 55, 2)), record(at(6, 11, 56)), QString()}));
    }

    void show(TForm1 &w)
    {
        w.notifyIcon()->setTrayAvailabilityProbe([this] { return m_tray; });
        w.show();
    }

    static QString protocol(TForm1 &w)
    {
        return w.findChild<QPlainTextEdit *>(QStringLiteral("Memo2"))->toPlainText();
    }

private slots:
    void init()
    {
        ++m_n;
        m_tray = true;
        m_clock.set(at(7, 12, 0, 3));
    }

    void missedRunIsMadeUpAtStartAndItsFailureReachesTheUser()
    {
        TForm1 w(options());
        storeFailingTask(w, QStringLiteral("11:55"));
        MailSettings mail;  // set, but nothing listens there
        mail.server = QStringLiteral("127.0.0.1");
        mail.port = LoopbackServerProcess::unusedPort();
        mail.sender = QStringLiteral("vaultwick@example.org");
        mail.recipient = QStringLiteral("admin@example.org");
        QVERIFY(mail.save(w.store()));
        TForm1 window(options());
        QSignalSpy shown(window.notifyIcon(), &TNotifyIcon::messageShown);
        QSignalSpy started(&window.session(), &RunQueue::runStarted);
        show(window);

        QTRY_COMPARE(started.size(), 1);
        QVERIFY(protocol(window).contains(QStringLiteral("\tCatching up the backup due at 11:55 (shop)\n")));
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0][0].toString(), QStringLiteral("Vaultwick Task"));
        QCOMPARE(shown[0][1].toString(), QStringLiteral("Backup of shop failed\nUnknown host - no connection"));
        QVERIFY(window.notifyIcon()->warning());
        QVERIFY(window.trayHint().endsWith(QStringLiteral("\rNext backup: shop at 11:55\rFailed tasks: 1")));
        // The mail that cannot go out is a line, not another failure.
        QTRY_VERIFY(protocol(window).contains(QStringLiteral("\tMail could not be sent: ")));
        QCOMPARE(window.taskList().rowMessage(0).left(22), QStringLiteral("!!! Not Successful on "));

        // Made up once: later ticks that day leave it alone.
        m_clock.set(at(7, 12, 1, 0));
        window.Timer1Timer();
        QCOMPARE(started.size(), 1);

        // After a restart the row still says what happened, and the tray
        // still warns; without a notification area the status bar tells.
        const QString message = window.taskList().rowMessage(0);
        m_tray = false;
        m_clock.set(at(8, 11, 0, 10));
        TForm1 again(options());
        show(again);
        QTest::qWait(0);  // the start-up look at the schedule
        QCOMPARE(again.taskList().rowMessage(0), message);
        QVERIFY(again.notifyIcon()->warning());
        QLabel *warning = again.findChild<QLabel *>(QStringLiteral("StatusBar1Panel2"));
        QCOMPARE(warning->text(), QStringLiteral("!!! Failed tasks: 1"));
        QCOMPARE(again.findChild<QLabel *>(QStringLiteral("StatusBar1Panel0"))->text(),
                 QStringLiteral("Next backup: shop at 11:55"));
        m_clock.set(at(8, 11, 55, 5));
        again.Timer1Timer();  // fails again: the status bar says which
        QCOMPARE(warning->text(), QStringLiteral("!!! Backup of shop failed: Unknown host - no connection"));
    }

    void overdueRowWarnsAndNotifiesOnceADay()
    {
        TForm1 w(options());
        storeFailingTask(w, QStringLiteral("03:00"));
        QVERIFY(w.store().SaveRunRecord(QStringLiteral("shop"), {record(at(7, 3, 0, 1)), record(at(4, 3, 5)),
                                                                 QStringLiteral("Successful on 12/04/2026 03:05:00")}));
        TForm1 window(options());
        QSignalSpy shown(window.notifyIcon(), &TNotifyIcon::messageShown);
        show(window);
        QCOMPARE(window.taskList().rowMessage(0), QStringLiteral("!!! No successful backup since 12/04/2026"));
        QTRY_COMPARE(shown.size(), 1);
        QCOMPARE(shown[0][1].toString(), QStringLiteral("shop\nNo successful backup since 12/04/2026"));
        m_clock.set(at(7, 18, 0));
        window.Timer1Timer();
        window.RefreshTaskList();
        QCOMPARE(window.taskList().rowMessage(0), QStringLiteral("!!! No successful backup since 12/04/2026"));
        QCOMPARE(shown.size(), 1);  // once that day
        m_clock.set(at(8, 2, 0));
        window.Timer1Timer();
        QCOMPARE(shown.size(), 2);
    }

    void notificationSettingsSendATestMailAndAreSaved()
    {
        SmtpServerFixture smtp({QStringLiteral("backup"), QStringLiteral("m4il-Secret"), false});
        if (!smtp.start())
            VW_SKIP(qPrintable(QStringLiteral("no SMTP server here: ") + smtp.errorString()));
        TForm1 w(options());
        show(w);
        w.menuAction(QStringLiteral("Deutsch1"))->trigger();
        QCOMPARE(w.menuAction(QStringLiteral("Notifications1"))->text(), QStringLiteral("&Benachrichtigungen ..."));
        w.menuAction(QStringLiteral("Notifications1"))->trigger();
        MailSettingsDialog *dialog = w.notificationsDialog();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Benachrichtigungen"));
        dialog->findChild<QLineEdit *>(QStringLiteral("mailServer"))->setText(QStringLiteral("127.0.0.1"));
        dialog->findChild<QSpinBox *>(QStringLiteral("mailPort"))->setValue(smtp.port());
        dialog->findChild<QLineEdit *>(QStringLiteral("mailSender"))->setText(QStringLiteral("vw@example.org"));
        dialog->findChild<QLineEdit *>(QStringLiteral("mailRecipient"))->setText(QStringLiteral("admin@example.org"));
        // A login without encryption needs the user's consent, for the test and for OK.
        dialog->findChild<QLineEdit *>(QStringLiteral("mailUser"))->setText(QStringLiteral("backup"));
        dialog->findChild<QLineEdit *>(QStringLiteral("mailPassword"))->setText(QStringLiteral("m4il-Secret"));
        dialog->findChild<QPushButton *>(QStringLiteral("sendTestMail"))->click();
        QVERIFY(dialog->statusText().startsWith(QStringLiteral("Ohne Verschlüsselung gingen Benutzername und Passwort")));
        dialog->accept();
        QVERIFY(dialog->isVisible());
        dialog->findChild<QCheckBox *>(QStringLiteral("mailPlainPassword"))->setChecked(true);
        dialog->findChild<QPushButton *>(QStringLiteral("sendTestMail"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog->statusText(), QStringLiteral("Testmail gesendet."), 20000);
        QCOMPARE(smtp.mails().size(), 1);
        QVERIFY(smtp.mails()[0].data.contains("Subject: Vaultwick: Testnachricht"));
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(MailSettings::read(w.store()).port, int(smtp.port()));
        QVERIFY(MailSettings::read(w.store()).plainPassword);
    }

    // What the typed server program finds is shown before it is saved; the
    // saved values are what the next run's test restore reads.
    void testRestoreSettingsShowTheProgramAndAreSaved()
    {
        const QString bin = m_dir.filePath(QStringLiteral("sbin"));
        QVERIFY(QDir().mkpath(bin));
        for (const QString &name : {QStringLiteral("mariadbd"), QStringLiteral("mariadb")}) {
            QFile f(bin + QLatin1Char('/') + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
        }
        TForm1 w(options());
        show(w);
        w.menuAction(QStringLiteral("TestRestore1"))->trigger();
        RestoreSettingsDialog *dialog = w.testRestoreDialog();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("limitMinutes"))->value(), 30);
        auto *program = dialog->findChild<QLineEdit *>(QStringLiteral("serverProgram"));
        program->setText(bin + QStringLiteral("/mysqld"));  // not there
        QVERIFY(dialog->foundText().startsWith(QStringLiteral("Not a server program")));
        program->setText(bin + QStringLiteral("/mariadbd"));
        QCOMPARE(dialog->foundText(), QStringLiteral("Uses %1/mariadbd with %1/mariadb").arg(bin));
        dialog->findChild<QSpinBox *>(QStringLiteral("limitMinutes"))->setValue(5);
        dialog->accept();
        QVERIFY(!dialog->isVisible());
        const RestoreOptions saved = AppSettings(w.store()).ReadRestoreOptions({});
        QCOMPARE(saved.serverProgram, bin + QStringLiteral("/mariadbd"));
        QCOMPARE(saved.limitMs, 5 * 60 * 1000);

        // The metrics file: only a full path in a folder that is there.
        w.menuAction(QStringLiteral("MetricsFile1"))->trigger();
        MetricsSettingsDialog *metrics = w.metricsDialog();
        QTRY_VERIFY(metrics->isVisible());
        auto *path = metrics->findChild<QLineEdit *>(QStringLiteral("metricsFile"));
        path->setText(m_dir.filePath(QStringLiteral("gone/vw.prom")));
        metrics->accept();
        QVERIFY(metrics->isVisible());
        QVERIFY(metrics->statusText().startsWith(QStringLiteral("Give a full path")));
        path->setText(m_dir.filePath(QStringLiteral("vw.prom")));
        metrics->accept();
        QVERIFY(!metrics->isVisible());
        QCOMPARE(AppSettings(w.store()).ReadMetricsFile(), m_dir.filePath(QStringLiteral("vw.prom")));

        // The off-site bandwidth, which each run reads as it starts.
        w.menuAction(QStringLiteral("OffsiteLimit1"))->trigger();
        OffsiteLimitDialog *limit = w.offsiteLimitDialog();
        QTRY_VERIFY(limit->isVisible());
        auto *kib = limit->findChild<QSpinBox *>(QStringLiteral("offsiteLimit"));
        QCOMPARE(kib->value(), 0);
        kib->setValue(2048);
        limit->accept();
        QVERIFY(!limit->isVisible());
        QCOMPARE(AppSettings(w.store()).ReadOffsiteLimit(), 2048);
    }
};

QTEST_MAIN(TestScheduleWindow)
#include "tst_schedulewindow.moc"
