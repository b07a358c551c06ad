#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <QSpinBox>

#include "RequirePeer.h"
#include "ModalDriver.h"
#include "SshServerFixture.h"
#include "ssh/SshDumpTypes.h"
#include "shell/LanguageTexts.h"
#include "tasks/TaskTimeEdit.h"
#include "tasks/Ttaskform.h"

namespace {
const char *const kEnglishHeader =
    "Your task can not be actived, because the following parameters are missing:\n\n";
const char *const kGermanHeader = "Ihr Task kann nicht aktiviert werden, da folgende Parameter fehlen:\n\n";

QString listed(const char *header, const QStringList &captions)
{
    QString text = QString::fromUtf8(header);
    for (const QString &c : captions)
        text += QStringLiteral("   ") + c + QLatin1Char('\n');
    return text;
}

BackupTask complete()
{
    BackupTask t;
    t.name = QStringLiteral("Shop");
    t.host = QStringLiteral("www.example.org");
    t.hostuser = QStringLiteral("web1");
    t.hostpw = QStringLiteral("pw");
    t.mysql = QStringLiteral("db1");
    t.database = QStringLiteral("shop");
    t.dbpw = QStringLiteral("dbpw");
    t.backupfile = QStringLiteral("shop.sql");
    t.localdir = QStringLiteral("/backups");
    t.backuptime = QStringLiteral("03:15");
    return t;
}
}

class TestTaskEditor : public QObject {
    Q_OBJECT
private:
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
    QString label(const QString &name) const { return field<QLabel>(name.toLatin1().constData())->text(); }
    TaskTimeEdit *time() const { return field<TaskTimeEdit>("ttime"); }

    // Shows the form without blocking, as the user would see it, with focus
    // on field.
    void showWith(const BackupTask &task, const char *focusField = nullptr)
    {
        m_form->setTask(task);
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        if (focusField) {
            field<QWidget>(focusField)->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(m_form->focusWidget(), field<QWidget>(focusField));
        }
    }
    // Clicks OK as the mouse does; returns the text of the box it raised.
    QString clickOkExpectingBox()
    {
        QString text;
        answerMessageBox(&text);
        QTest::mouseClick(field<QPushButton>("SpeedButton2"), Qt::LeftButton);
        return text;
    }

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
    }

    void windowGeometryAndOrder()
    {
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Task.Parameter"));
        showWith(complete());
        QCOMPARE(m_form->size(), QSize(659, 996));
        QCOMPARE(m_form->minimumSize(), m_form->maximumSize());

        struct Expect { const char *name; int width; };
        const Expect fields[] = {
            {"ttname", 129}, {"tHost", 129}, {"tuser", 129}, {"tpassword", 129}, {"tftpdir", 129},
            {"CheckBox2", -1}, {"tsql", 129}, {"tdatabase", 129}, {"tdbuser", 129}, {"tdbpasswd", 129}, {"tbkfile", 129},
            {"trdir", 425}, {"tdir", 425}, {"tinetpath", 345}, {"ttime", -34}, {"ComboBox1", 81},
            {"CheckBox1", -1}, {"ComboBox2", 81}, {"ComboBox3", 81}, {"tkeepdaily", 52}, {"tTestRestore", -1}, {"tpingurl", 425},
            {"ComboBox4", 81},
        };
        int previousY = -1;
        for (const Expect &e : fields) {
            QWidget *w = field<QWidget>(e.name);
            QCOMPARE(w->x(), 168);
            if (e.width > 0)
                QCOMPARE(w->width(), e.width);
            else if (e.width < 0)  // wider only where the font needs it
                QVERIFY(w->width() >= -e.width);
            // Top to bottom in tab order, each caption on its field's row.
            QVERIFY2(w->y() > previousY, e.name);
            previousY = w->y();
            const QLabel *caption = field<QLabel>((QByteArray(e.name) + "Label").constData());
            QCOMPARE(caption->x(), 13);
            QVERIFY(qAbs(caption->geometry().center().y() - w->geometry().center().y()) <= 3);
            // Tab walks the fields in this order.
            QCOMPARE(m_form->focusWidget(), w);
            if (QByteArray(e.name) == "ComboBox4")
                static_cast<QComboBox *>(w)->setCurrentIndex(1);  // the SSH fields take the focus only for SSH
            QTest::keyClick(w, Qt::Key_Tab);
        }
        // The SSH port beside the transport, the key file below.
        QCOMPARE(m_form->focusWidget(), field<QWidget>("tsshport"));
        QCOMPARE(field<QWidget>("tsshport")->y(), field<QWidget>("ComboBox4")->y());
        QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
        QCOMPARE(m_form->focusWidget(), field<QWidget>("tsshkey"));
        QCOMPARE(field<QWidget>("tsshkey")->x(), 168);
        QCOMPARE(field<QLabel>("tsshkeyLabel")->x(), 13);
        QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
        // The host compression, the weekly and monthly counts where they apply, and the dump options.
        QStringList walked;
        while (m_form->focusWidget() != field<QWidget>("ttname") && walked.size() < 20) {
            if (!m_form->focusWidget()->objectName().startsWith(QLatin1String("tkeep")))
                walked << m_form->focusWidget()->objectName();
            QTest::keyClick(m_form->focusWidget(), Qt::Key_Tab);
        }
        // Without a destination the off-site fields wait for one.
        QCOMPARE(walked, (QStringList{"thostcompress", "tsnapshot", "troutines", "tnotablespaces", "tutf8", "tdumpmore",
                                      "tdumpprogram", "toffsite"}));
        const std::pair<const char *, int> helps[] = {
            {"ttnameHelp", 304}, {"tHostHelp", 304}, {"tbkfileHelp", 304}, {"tinetpathHelp", 520},
            {"ttimeHelp", 256},  {"ComboBox1Help", 256}, {"ComboBox2Help", 256},
        };
        for (const auto &[name, x] : helps)
            QCOMPARE(field<QLabel>(name)->x(), x);

        // Nothing overlaps and everything lies inside the client area.
        const QList<QWidget *> children = m_form->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (QWidget *a : children) {
            QVERIFY2(m_form->rect().contains(a->geometry()), qPrintable(a->objectName()));
            for (QWidget *b : children)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + QStringLiteral(" / ") + b->objectName()));
        }
        QCOMPARE(QTest::toString(field<QLabel>("Heading1")->text()), QTest::toString(QStringLiteral("Taskname")));
        for (int i = 1; i <= 8; ++i)
            QVERIFY(m_form->findChild<QFrame *>(QStringLiteral("Rule%1").arg(i)));

        for (const char *masked : {"tuser", "tpassword", "tdbuser", "tdbpasswd"}) {
            field(masked)->setText(QStringLiteral("abc"));
            QCOMPARE(field(masked)->displayText(), QStringLiteral("***"));
        }
        QCOMPARE(field("ttname")->echoMode(), QLineEdit::Normal);
        for (const char *link : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"}) {
            auto *b = field<QPushButton>(link);
            QVERIFY(b->isFlat());
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            QVERIFY(!b->autoDefault());
        }
        QCOMPARE(field<QComboBox>("ComboBox1")->itemText(1), QStringLiteral("active"));
        QCOMPARE(field<QComboBox>("ComboBox2")->itemText(1), QStringLiteral("HTTP"));
    }

    void textsFitTheirPlaces_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 0;
        QTest::newRow("German") << 1;
    }
    void textsFitTheirPlaces()
    {
        QFETCH(int, language);
        m_form->TranslateTaskForm(language);
        m_form->setTask(BackupTask{.backuptime = QStringLiteral("00:00")});
        for (const QLabel *l : m_form->findChildren<QLabel *>())
            QVERIFY2(l->fontMetrics().horizontalAdvance(l->text()) <= l->width(), qPrintable(l->text()));
        for (const char *link : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4"}) {
            auto *b = field<QPushButton>(link);
            QVERIFY(b->fontMetrics().horizontalAdvance(b->text()) <= b->width());
        }
        for (const char *box : {"CheckBox1", "CheckBox2"})
            QVERIFY2(field<QCheckBox>(box)->sizeHint().width() <= field<QCheckBox>(box)->width(), box);
        const QLineEdit *t = time();
        QVERIFY(t->fontMetrics().horizontalAdvance(t->displayText()) <= t->width() - 4);
    }

    void focusStartsOnTheNameEveryTime()
    {
        showWith(complete(), "tbkfile");
        m_form->hide();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QTRY_COMPARE(m_form->focusWidget(), field<QWidget>("ttname"));
    }

    // Never shown: the caption routine works on the closed dialog.
    void captionRoutineSwitchesLanguages()
    {
        QCOMPARE(label("tdatabaseLabel"), QStringLiteral("Databasename"));
        QCOMPARE(label("tHostHelp"), QStringLiteral("Enter your full domain of the site here, i.e. \"www.example.com\""));

        m_form->TranslateTaskForm(1);
        QCOMPARE(label("tdatabaseLabel"), QStringLiteral("Datenbank-Name"));
        QCOMPARE(label("ttnameLabel"), QStringLiteral("Name"));
        QCOMPARE(label("tuserLabel"), QStringLiteral("Host User"));
        QCOMPARE(label("tpasswordLabel"), QStringLiteral("Host Passwort"));
        QCOMPARE(label("tinetpathLabel"), QStringLiteral("URL für HTTP-Download"));
        QCOMPARE(label("Heading6"), QStringLiteral("Automatisches Backup"));
        QCOMPARE(label("Heading2"), QStringLiteral("FTP-Parameter"));
        QCOMPARE(label("tHostHelp"), QStringLiteral("Geben Sie die vollständige Domain ein, Bsp. \"www.example.com\""));
        QCOMPARE(field<QPushButton>("SpeedButton1")->text(), QStringLiteral("Auswahl"));
        QCOMPARE(field<QCheckBox>("CheckBox1")->text(), QStringLiteral("Erzeuge tägliche Unterverzeichnisse"));
        QCOMPARE(field<QCheckBox>("CheckBox2")->text(), QStringLiteral("FTP mit TLS (FTPS)"));
        QCOMPARE(label("CheckBox2Help"), QStringLiteral("Ohne TLS sendet FTP das Host-Passwort im Klartext"));
        QCOMPARE(field<QLabel>("tftpdirLabel")->toolTip(), QStringLiteral("Dieser Parameter kann leer gelassen werden."));
        // The carriage returns of the hints show as line breaks.
        QCOMPARE(field("tdbuser")->toolTip(),
                 QStringLiteral("Kann leer gelassen werden,\nfalls der mySQL-Benutzername mit\ndem Telnet-Benutzernamen identisch ist"));

        // Any other value leaves everything as it is.
        m_form->TranslateTaskForm(2);
        QCOMPARE(label("tdatabaseLabel"), QStringLiteral("Datenbank-Name"));
        QCOMPARE(m_form->captionLanguage(), 1);

        m_form->TranslateTaskForm(0);
        QCOMPARE(label("tinetpathLabel"), QStringLiteral("URL for HTTP-Download "));
        QCOMPARE(label("ComboBox2Help"), QStringLiteral("Choose a method zu download the backup-file"));
        QCOMPARE(field("trdir")->toolTip(), QStringLiteral("Attention:\nThis remote-directory must already exist."));
        QCOMPARE(field<QLabel>("trdirLabel")->toolTip(), QStringLiteral("This parameter can be left blank."));
        QCOMPARE(field("tinetpath")->toolTip(), QStringLiteral("Please put \"http://\" at the beginning"));
    }

    void taskRoundTripsThroughTheFields()
    {
        BackupTask t = complete();
        t.dbuser = QStringLiteral("dbu");
        t.ftpdir = QStringLiteral("htdocs");
        t.remotedir = QStringLiteral("~/dumps/");
        t.httpath = QStringLiteral("http://www.example.org/d/");
        t.backuptime = QStringLiteral(" 9:30");
        t.run = 1;
        t.subdirectory = true;
        t.method = 1;
        t.compress = 2;
        t.keepdaily = 7;
        t.keepweekly = 4;
        t.keepmonthly = 6;
        t.ftptls = true;
        t.testrestore = true;
        m_form->setTask(t);
        QCOMPARE(m_form->task(), t);
        QCOMPARE(time()->displayText(), QStringLiteral("_9:30"));

        // Stored values the lists do not offer show as what the program does
        // with them: run 2 is not active, any method but 0 is HTTP.
        t.run = 2;
        t.method = 5;
        m_form->setTask(t);
        QCOMPARE(field<QComboBox>("ComboBox1")->currentText(), QStringLiteral("inactive"));
        QCOMPARE(field<QComboBox>("ComboBox2")->currentText(), QStringLiteral("HTTP"));
    }

    void keepCountsApplyAndAreSaidInWords()
    {
        BackupTask t = complete();
        t.subdirectory = false;
        t.keepdaily = 3;
        t.keepweekly = 4;
        m_form->setTask(t);
        auto summary = [this] { return field<QLabel>("tkeepSummary")->text(); };
        QVERIFY(field<QWidget>("tkeepdaily")->isEnabled());
        QVERIFY(!field<QWidget>("tkeepweekly")->isEnabled());
        QVERIFY(!field<QWidget>("tkeepmonthly")->isEnabled());
        QCOMPARE(summary(), QStringLiteral("keeps the latest backup and 2 older copies"));

        field<QCheckBox>("CheckBox1")->setChecked(true);
        QVERIFY(field<QWidget>("tkeepweekly")->isEnabled());
        field<QSpinBox>("tkeepdaily")->setValue(7);
        field<QSpinBox>("tkeepmonthly")->setValue(6);
        QCOMPARE(summary(), QStringLiteral("keeps 7 daily, 4 weekly and 6 monthly backups"));
        m_form->TranslateTaskForm(1);
        QCOMPARE(summary(), QStringLiteral("behält 7 tägliche, 4 wöchentliche und 6 monatliche Backups"));
        QCOMPARE(field<QComboBox>("ComboBox3")->itemText(0), QStringLiteral("keine"));
        for (const char *count : {"tkeepdaily", "tkeepweekly", "tkeepmonthly"})
            field<QSpinBox>(count)->setValue(0);
        QCOMPARE(summary(), QStringLiteral("behält alle Backups"));
        m_form->TranslateTaskForm(0);
        field<QSpinBox>("tkeepweekly")->setValue(1);
        QCOMPARE(summary(), QStringLiteral("keeps 1 weekly backup"));
    }

    void checkOnOkListsMissingCaptions_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("method");
        QTest::addColumn<QString>("message");
        const QStringList english = {"Name", "Host Name", "Host User", "Host Password", "mySQL-Server",
                                     "Databasename", "Database Password", "Backup-Filename",
                                     "Local Storage-Directory", "Daily Backup at"};
        const QStringList german = {"Name", "Host Name", "Host User", "Host Passwort", "mySQL-Server",
                                    "Datenbank-Name", "Datenbank-Passwort", "Backup-Dateiname",
                                    "Lokales Sicherungsverzeichnis", "Tägliches Backup um"};
        QTest::newRow("English FTP") << 0 << 0 << listed(kEnglishHeader, english);
        QTest::newRow("English HTTP") << 0 << 1 << listed(kEnglishHeader, english + QStringList{"URL for HTTP-Download "});
        QTest::newRow("German HTTP") << 1 << 1 << listed(kGermanHeader, german + QStringList{"URL für HTTP-Download"});
        // An unknown language keeps the captions but the header reads German.
        QTest::newRow("language 2") << 2 << 0 << listed(kGermanHeader, english);
    }
    void checkOnOkListsMissingCaptions()
    {
        QFETCH(int, language);
        QFETCH(int, method);
        QFETCH(QString, message);
        m_texts.Language = language;
        m_form->TranslateTaskForm(language);
        BackupTask empty;
        empty.backuptime = TaskTimeEdit::BlankTime;
        empty.method = method;
        showWith(empty);
        QCOMPARE(clickOkExpectingBox(), message);
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Rejected));
        // The raw message ends its lines with carriage returns.
        QCOMPARE(m_form->missingParametersMessage(m_form->missingParameters()),
                 QString(message).replace(QLatin1Char('\n'), QLatin1Char('\r')));
    }

    void checkOnOkCountsBlanksAsFilledAndIgnoresOptionalFields()
    {
        BackupTask t;
        for (QString *s : {&t.name, &t.host, &t.hostuser, &t.hostpw, &t.mysql, &t.database, &t.dbpw,
                           &t.backupfile, &t.localdir})
            *s = QStringLiteral(" ");
        t.backuptime = QStringLiteral(" 1:00");
        t.run = 1;
        showWith(t);
        QVERIFY(m_form->missingParameters().isEmpty());
        QTest::mouseClick(field<QPushButton>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
    }

    void checkOnOkRefusesNamesTheStoreCannotKeep_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("slash") << QStringLiteral("a/b");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
    }
    void checkOnOkRefusesNamesTheStoreCannotKeep()
    {
        QFETCH(QString, name);
        BackupTask t = complete();
        t.name = name;
        showWith(t);
        QVERIFY(clickOkExpectingBox().contains(QStringLiteral("\"/\" or \"\\\"")));
        QVERIFY(m_form->isVisible());
        m_texts.Language = 1;
        QVERIFY(clickOkExpectingBox().contains(QStringLiteral("darf weder")));
        QVERIFY(m_form->isVisible());
    }

    void checkOnOkRefusesFileNamesThatLeaveTheDirectory()
    {
        BackupTask t = complete();
        t.backupfile = QStringLiteral("../shop.sql");
        showWith(t);
        QVERIFY(clickOkExpectingBox().contains(QStringLiteral("is not allowed")));
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->focusWidget(), field<QWidget>("tbkfile"));
        m_texts.Language = 1;
        QVERIFY(clickOkExpectingBox().contains(QStringLiteral("nicht erlaubt")));
        QVERIFY(m_form->isVisible());
    }

    void directoriesGetTheirSlashOnLeaving_data()
    {
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("left");
        for (const QByteArray c : {QByteArray("trdir"), QByteArray("tinetpath")}) {
            QTest::newRow(c + " without slash") << c << QStringLiteral("www/dumps") << QStringLiteral("www/dumps/");
            QTest::newRow(c + " with slash") << c << QStringLiteral("www/") << QStringLiteral("www/");
            QTest::newRow(c + " empty") << c << QString() << QString();
            QTest::newRow(c + " no scheme added") << c << QStringLiteral("example.org") << QStringLiteral("example.org/");
            QTest::newRow(c + " backslash kept") << c << QStringLiteral("d:\\x\\") << QStringLiteral("d:\\x\\/");
        }
    }
    void directoriesGetTheirSlashOnLeaving()
    {
        QFETCH(QByteArray, control);
        QFETCH(QString, typed);
        QFETCH(QString, left);
        showWith(complete(), control.constData());
        QLineEdit *edit = field(control.constData());
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), typed);  // not while typing
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(edit->text(), left);
    }

    void okLeavesTheFocusedDirectoryFirst()
    {
        showWith(complete(), "trdir");
        QTest::keyClicks(field("trdir"), QStringLiteral("dumps"));
        QTest::mouseClick(field<QPushButton>("SpeedButton2"), Qt::LeftButton);
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
        QCOMPARE(m_form->task().remotedir, QStringLiteral("dumps/"));
    }

    void timeEntryTakesPositionsNotValues_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("morning") << QStringLiteral("0930") << QStringLiteral("09:30");
        QTest::newRow("out of range") << QStringLiteral("2570") << QStringLiteral("25:70");
        QTest::newRow("letters skipped") << QStringLiteral("1a2b34") << QStringLiteral("12:34");
    }
    void timeEntryTakesPositionsNotValues()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        BackupTask t = complete();
        t.backuptime = TaskTimeEdit::BlankTime;
        showWith(t, "ttime");
        time()->setCursorPosition(0);
        QTest::keyClicks(time(), typed);
        QTest::keyClick(time(), Qt::Key_Tab);
        QCOMPARE(m_form->focusWidget(), field<QWidget>("ComboBox1"));
        QTest::mouseClick(field<QPushButton>("SpeedButton2"), Qt::LeftButton);
        QCOMPARE(m_form->result(), int(QDialog::Accepted));
        QCOMPARE(m_form->task().backuptime, stored);
    }

    void timeEntryRefusesToBeLeftIncomplete()
    {
        BackupTask t = complete();
        showWith(t, "ttime");
        time()->setCursorPosition(5);
        QTest::keyClick(time(), Qt::Key_Backspace);  // "03:1_"
        QString text;
        answerMessageBox(&text);
        QTest::keyClick(time(), Qt::Key_Tab);
        QTRY_COMPARE(text, TaskTimeEdit::InvalidInputMessage);
        QTRY_COMPARE(m_form->focusWidget(), field<QWidget>("ttime"));
        QCOMPARE(time()->maskedText(), QStringLiteral("03:1 "));

        // Escape takes the change back; the field can be left, the dialog stays.
        QTest::keyClick(time(), Qt::Key_Escape);
        QCOMPARE(time()->maskedText(), QStringLiteral("03:15"));
        QVERIFY(m_form->isVisible());
        QTest::keyClick(time(), Qt::Key_Tab);
        QTest::qWait(20);  // negative check: the deferred leave check must not pull focus back
        QCOMPARE(m_form->focusWidget(), field<QWidget>("ComboBox1"));
    }

    void timeEntryChecksOnOkBeforeTheList()
    {
        BackupTask t = complete();
        t.name.clear();
        t.backuptime = TaskTimeEdit::BlankTime;
        showWith(t, "ttime");
        time()->setCursorPosition(0);
        QTest::keyClicks(time(), QStringLiteral("1"));
        QCOMPARE(clickOkExpectingBox(), TaskTimeEdit::InvalidInputMessage);
        QCOMPARE(m_form->focusWidget(), field<QWidget>("ttime"));
        QVERIFY(m_form->isVisible());
        // Escape back to blank: the field may be left, and the list follows.
        QTest::keyClick(time(), Qt::Key_Escape);
        QCOMPARE(time()->maskedText(), TaskTimeEdit::BlankTime);
        QCOMPARE(clickOkExpectingBox(), listed(kEnglishHeader, {"Name", "Daily Backup at"}));
    }

    void untouchedBlankTimeMayBeLeft()
    {
        BackupTask t = complete();
        t.backuptime = TaskTimeEdit::BlankTime;
        showWith(t, "ttime");
        QTest::keyClick(time(), Qt::Key_Tab);
        QTest::qWait(20);  // negative check: the deferred leave check must not pull focus back
        QCOMPARE(m_form->focusWidget(), field<QWidget>("ComboBox1"));
        QCOMPARE(time()->maskedText(), QStringLiteral("  :  "));
    }

    void escapeDoesNotCloseTheDialog()
    {
        showWith(complete(), "tHost");
        QTest::keyClick(field("tHost"), Qt::Key_Escape);
        QVERIFY(m_form->isVisible());
        QTest::keyClick(field("tHost"), Qt::Key_Return);
        QVERIFY(m_form->isVisible());
    }

    void selectFillsTheLocalDirectory()
    {
        QTemporaryDir chosen;
        showWith(complete());
        QString title, openedAt;
        whenModal<QFileDialog>([&](QFileDialog *d) {
            title = d->windowTitle();
            openedAt = d->directory().absolutePath();
            d->setDirectory(chosen.path());
            static_cast<QDialog *>(d)->accept();  // QFileDialog hides it
        });
        QTest::mouseClick(field<QPushButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Please select a directory"));
        // No preset, whatever the field held.
        QCOMPARE(openedAt, QDir::homePath());
        QCOMPARE(field("tdir")->text(), QDir::toNativeSeparators(chosen.path()));

        m_form->TranslateTaskForm(1);
        whenModal<QFileDialog>([&](QFileDialog *d) {
            title = d->windowTitle();
            d->reject();
        });
        QTest::mouseClick(field<QPushButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Bitte wählen Sie ein Verzeichnis"));
        QCOMPARE(field("tdir")->text(), QDir::toNativeSeparators(chosen.path()));
    }

    void sshTaskTakesItsOwnFields()
    {
        BackupTask t = complete();
        t.transport = 1;
        t.sshport = 2222;
        t.sshkey = QStringLiteral("/keys/id_backup");
        t.hostpw.clear();  // a key logs in
        t.method = 1;      // HTTP without an address: no matter for SSH
        t.lastsuccess = QStringLiteral("2026-12-01T03:15:00+01:00");  // not the editor's, kept as it is
        showWith(t);
        QCOMPARE(m_form->task(), t);
        for (const char *unused : {"tftpdir", "trdir", "tinetpath", "ComboBox2"})
            QVERIFY2(!field<QWidget>(unused)->isEnabled(), unused);
        for (const char *used : {"tsshport", "tsshkey", "SpeedButton3", "SpeedButton4"})
            QVERIFY2(field<QWidget>(used)->isEnabled(), used);
        QCOMPARE(m_form->missingParameters(), QStringList());
        field("tsshport")->setText(QStringLiteral("0"));
        QCOMPARE(m_form->missingParameters(), QStringList({QStringLiteral("SSH Port")}));

        // Back to telnet: the original fields and check as before.
        field<QComboBox>("ComboBox4")->setCurrentIndex(0);
        for (const char *used : {"tftpdir", "trdir", "tinetpath", "ComboBox2"})
            QVERIFY2(field<QWidget>(used)->isEnabled(), used);
        QVERIFY(!field<QWidget>("SpeedButton4")->isEnabled());
        QCOMPARE(m_form->missingParameters(),
                 QStringList({QStringLiteral("Host Password"), QStringLiteral("URL for HTTP-Download ")}));
        QCOMPARE(m_form->task().transport, 0);
    }

    void testConnectionOffersAnUnknownHostKeyAndRefusesAChangedOne()
    {
        SshServerFixture server;
        if (!server.start())
            VW_SKIP(qPrintable(QStringLiteral("no sshd here: ") + server.errorString()));
        qunsetenv("SSH_AUTH_SOCK");
        QTemporaryDir dir;
        SshClientSettings settings;
        settings.knownHostsFile = dir.filePath(QStringLiteral("known_hosts"));
        settings.sshDirectory = dir.filePath(QStringLiteral("none"));
        m_form->setSshSettings(settings);
        BackupTask t = complete();
        t.host = server.host();
        t.hostuser = server.user();
        t.transport = 1;
        t.sshport = server.port();
        t.sshkey = server.clientKey();
        showWith(t);
        const auto nextBox = [this](const QString &containing) -> QMessageBox * {
            QMessageBox *box = nullptr;
            const bool shown = QTest::qWaitFor([&] {
                box = m_form->findChild<QMessageBox *>(QStringLiteral("SshTestMessage"));
                return box && box->isVisible() && box->text().contains(containing);
            }, 10000);
            if (!shown)
                qWarning() << "box so far:" << (box ? box->text() : QString());
            return shown ? box : nullptr;
        };

        QTest::mouseClick(field<QPushButton>("SpeedButton4"), Qt::LeftButton);
        QMessageBox *question = nextBox(server.hostKeyFingerprint());
        QVERIFY(question);
        QVERIFY(!QFile::exists(settings.knownHostsFile));  // nothing trusted before the answer
        question->button(QMessageBox::Yes)->click();
        QMessageBox *works = nextBox(QStringLiteral("mysqldump  Ver"));
        QVERIFY(works);
        QVERIFY(works->text().startsWith(QStringLiteral("The connection to 127.0.0.1 works.")));
        QVERIFY2(works->text().contains(QStringLiteral("Database server: MariaDB 10.11 (10.11.6-MariaDB-0+deb12u1)")),
                 qPrintable(works->text()));
        works->close();

        // A MySQL 8.4 server: the test offers what it needs, and Yes takes it.
        QVERIFY(!field<QCheckBox>("tnotablespaces")->isChecked());
        server.setServerVersion("8.4.3");
        QTest::mouseClick(field<QPushButton>("SpeedButton4"), Qt::LeftButton);
        QMessageBox *offer = nextBox(QStringLiteral("Database server: MySQL 8.4 (8.4.3)"));
        QVERIFY(offer);
        QVERIFY2(offer->text().contains(QStringLiteral("Recommended for this server:\n• --no-tablespaces")),
                 qPrintable(offer->text()));
        offer->button(QMessageBox::Yes)->click();
        QVERIFY(field<QCheckBox>("tnotablespaces")->isChecked());
        QVERIFY(server.lastClientInput().startsWith("[client]\npassword="));  // never on its command line

        QFile known(settings.knownHostsFile);
        QVERIFY(known.open(QIODevice::ReadOnly));
        QCOMPARE(known.readAll(), server.knownHostsLine() + '\n');
        known.close();

        QVERIFY(known.open(QIODevice::WriteOnly | QIODevice::Truncate));
        known.write(server.knownHostsLine(true) + '\n');
        known.close();
        QTest::mouseClick(field<QPushButton>("SpeedButton4"), Qt::LeftButton);
        QMessageBox *changed = nextBox(QStringLiteral("CHANGED"));
        QVERIFY(changed);
        QCOMPARE(changed->standardButtons(), QMessageBox::Ok);  // no way to accept it here
        changed->close();
    }
};

QTEST_MAIN(TestTaskEditor)
#include "tst_taskeditor.moc"
