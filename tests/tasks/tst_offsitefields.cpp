// The task editor's off-site section against the real rclone.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "ModalDriver.h"
#include "RequirePeer.h"
#include "offsite/OffsiteTarget.h"
#include "offsite/OffsiteTools.h"
#include "shell/LanguageTexts.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/Ttaskform.h"

namespace {
BackupTask complete()
{
    BackupTask t = BackupTask::withDefaults(QStringLiteral("Shop"));
    t.host = QStringLiteral("www.example.org");
    t.hostuser = QStringLiteral("web1");
    t.hostpw = QStringLiteral("pw");
    t.mysql = QStringLiteral("db1");
    t.database = QStringLiteral("shop");
    t.dbpw = QStringLiteral("dbpw");
    t.localdir = QStringLiteral("/backups");
    t.keepdaily = 7;
    t.keepweekly = 4;
    t.keepmonthly = 6;
    t.subdirectory = true;
    return t;
}
} // namespace

class TestOffsiteFields : public QObject {
    Q_OBJECT
    LanguageTexts m_texts;
    std::unique_ptr<Ttaskform> m_form;
    std::unique_ptr<ModalWatchdog> m_watchdog;

    template <class T = QLineEdit>
    T *field(const char *name) const
    {
        T *w = m_form->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QString help() const { return field<QLabel>("toffsiteHelp")->text(); }

private slots:
    void init()
    {
        m_texts.Language = 0;
        m_form = std::make_unique<Ttaskform>(m_texts);
        m_watchdog = std::make_unique<ModalWatchdog>();
    }
    void cleanup()
    {
        QVERIFY2(!m_watchdog->fired(), "an unexpected modal window was left open");
        m_form.reset();
        m_watchdog.reset();
        OffsiteTools::setSearchPath({});
    }

    void valuesRoundTripAndUntouchedKeepStaysAsStored()
    {
        BackupTask t = complete();
        m_form->setTask(t);
        QCOMPARE(m_form->task(), t);
        for (const char *waiting : {"toffsitesame", "toffsiteconfig", "toffsitedaily", "SpeedButton5", "SpeedButton6"})
            QVERIFY2(!field<QWidget>(waiting)->isEnabled(), waiting);

        // "same": the local counts, shown but not editable.
        t.offsite = QStringLiteral("secret:vaultwick");
        t.offsiteconfig = QStringLiteral("/home/u/rclone.conf");
        m_form->setTask(t);
        QVERIFY(field<QCheckBox>("toffsitesame")->isChecked());
        QCOMPARE(field<QSpinBox>("toffsitemonthly")->value(), 6);
        QVERIFY(!field<QWidget>("toffsitedaily")->isEnabled());
        QCOMPARE(m_form->task(), t);
        field<QSpinBox>("tkeepmonthly")->setValue(9);
        QCOMPARE(field<QSpinBox>("toffsitemonthly")->value(), 9);
        QCOMPARE(m_form->task().offsitekeep, QStringLiteral("same"));
        field<QSpinBox>("tkeepmonthly")->setValue(6);

        // Counts of its own.
        field<QCheckBox>("toffsitesame")->setChecked(false);
        QVERIFY(field<QWidget>("toffsitedaily")->isEnabled());
        field<QSpinBox>("toffsitedaily")->setValue(3);
        field<QSpinBox>("toffsiteweekly")->setValue(2);
        field<QSpinBox>("toffsitemonthly")->setValue(12);
        t.offsitekeep = m_form->task().offsitekeep;
        QCOMPARE(t.offsitekeep, OffsiteKeepValue(false, {3, 2, 12}));
        m_form->setTask(t);
        QVERIFY(!field<QCheckBox>("toffsitesame")->isChecked());
        QCOMPARE(OffsitePolicy(m_form->task()).monthly, 12);
        field<QCheckBox>("toffsitesame")->setChecked(true);
        QCOMPARE(m_form->task().offsitekeep, QStringLiteral("same"));

        // A hand-edited value nobody touched stays; blanks around the destination go.
        t.offsitekeep = QStringLiteral("seven");
        t.offsite = QStringLiteral("  secret:vaultwick ");
        m_form->setTask(t);
        QCOMPARE(m_form->task().offsitekeep, QStringLiteral("seven"));
        QCOMPARE(m_form->task().offsite, QStringLiteral("secret:vaultwick"));
    }

    void missingToolIsSaidAndProblemsAreRefusedOnOk()
    {
        QTemporaryDir empty;
        OffsiteTools::setSearchPath({empty.path()});
        m_form->setTask(complete());
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        const QString hint = help();
        field("toffsite")->setText(QStringLiteral("restic:/media/usb/vw-repo"));
        QCOMPARE(help(), OffsiteTools::missingText(OffsiteTarget::Kind::Restic, false));
        QVERIFY(!field<QPushButton>("SpeedButton6")->isEnabled());
        m_form->TranslateTaskForm(1);
        QCOMPARE(help(), OffsiteTools::missingText(OffsiteTarget::Kind::Restic, true));
        m_form->TranslateTaskForm(0);
        field("toffsite")->clear();
        QCOMPARE(help(), hint);

        // restic without a readable password file cannot run: OK says why and stays.
        field("toffsite")->setText(QStringLiteral("restic:/media/usb/vw-repo"));
        field("toffsiteconfig")->setText(empty.filePath(QStringLiteral("gone.pw")));
        BackupTask typed = m_form->task();
        const QString problem = OffsiteTarget::of(typed).problem(false);
        QVERIFY(!problem.isEmpty());
        QString shown;
        answerMessageBox(&shown);
        QTest::mouseClick(field<QPushButton>("SpeedButton2"), Qt::LeftButton);
        QCOMPARE(shown, TaskFormGeometry::shown(problem));
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->focusWidget(), field<QWidget>("toffsiteconfig"));
    }

    void testDestinationWritesToALocalRcloneDestination()
    {
        if (OffsiteTools::find(OffsiteTarget::Kind::Rclone).isEmpty())
            VW_SKIP("rclone is not installed");
        QTemporaryDir destination;
        QTemporaryDir config;  // no user configuration is read or written
        QFile conf(config.filePath(QStringLiteral("rclone.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.close();
        BackupTask t = complete();
        t.offsite = destination.filePath(QStringLiteral("vw"));
        t.offsiteconfig = conf.fileName();
        m_form->setTask(t);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        auto *test = field<QPushButton>("SpeedButton6");
        QVERIFY(test->isEnabled());
        QTest::mouseClick(test, Qt::LeftButton);
        QVERIFY(!test->isEnabled());  // one test at a time
        QMessageBox *box = nullptr;
        QVERIFY(QTest::qWaitFor([&] {
            box = m_form->findChild<QMessageBox *>(QStringLiteral("OffsiteTestMessage"));
            return box && box->isVisible();
        }, 30000));
        QVERIFY2(box->icon() == QMessageBox::Information, qPrintable(box->text()));
        QVERIFY(test->isEnabled());
        // The probe took its file away again.
        QCOMPARE(QDir(t.offsite).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
        box->close();
    }
};

QTEST_MAIN(TestOffsiteFields)
#include "tst_offsitefields.moc"
