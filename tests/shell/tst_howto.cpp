#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QTextEdit>
#include <QtTest>

#include "shell/HowToTopics.h"
#include "shell/LanguageTexts.h"
#include "shell/TForm2.h"

namespace {
const QStringList EnglishTitles = {
    QStringLiteral("How to backup a new database"),
    QStringLiteral("How to edit a backup-task"),
    QStringLiteral("How to duplicate a backup-task"),
    QStringLiteral("Several backups of the same database daily"),
};
const QStringList GermanTitles = {
    QStringLiteral("Neue Datenbanken sichern"),
    QStringLiteral("Backup-Task bearbeiten"),
    QStringLiteral("Backup-Task duplizieren"),
    QStringLiteral("Mehrere Sicherungen pro Tag"),
};

QStringList items(QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

QString shown(int topic, bool german)
{
    return HowToTopics::text(topic, german).replace(QChar(13), QChar(10));
}

struct Window {
    QWidget owner;
    LanguageTexts texts;
    TForm2 form{texts, &owner};
    QComboBox *combo = form.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    QTextEdit *text = form.findChild<QTextEdit *>(QStringLiteral("RichEdit1"));

    // Picks an item the way a user does: through the open list.
    void pick(int index)
    {
        combo->showPopup();
        QAbstractItemView *view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QRect r = view->visualRect(view->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
        QTRY_VERIFY(!view->isVisible());
    }
};
}

class TestHowTo : public QObject {
    Q_OBJECT
private slots:
    void topicTextsAreNumberedStepsSeparatedByCarriageReturns()
    {
        for (bool german : {false, true}) {
            const QStringList titles = HowToTopics::titles(german);
            QCOMPARE(titles.size(), 8);
            QCOMPARE(titles.mid(0, 4), german ? GermanTitles : EnglishTitles);
            QCOMPARE(titles.at(6), german ? QStringLiteral("Sicherung über SSH") : QStringLiteral("How to backup over SSH"));
            QCOMPARE(titles.at(7), german ? QStringLiteral("Externe Kopie (rclone, restic)")
                                          : QStringLiteral("Off-site copy (rclone, restic)"));
            for (int i = 0; i < 8; ++i) {
                const QString t = HowToTopics::text(i, german);
                QVERIFY(!t.contains(QChar(10)));
                QVERIFY(t.startsWith(QStringLiteral("1)\r")));
                QVERIFY(!t.endsWith(QChar(13)));
                const QStringList lines = t.split(QChar(13));
                // marker, step, empty line, marker, step, ...
                QCOMPARE(lines.size() % 3, 2);
                for (int l = 0; l < lines.size(); ++l) {
                    if (l % 3 == 0)
                        QCOMPARE(lines[l], QString::number(l / 3 + 1) + QLatin1Char(')'));
                    else if (l % 3 == 1)
                        QVERIFY(!lines[l].isEmpty());
                    else
                        QVERIFY(lines[l].isEmpty());
                }
            }
        }
        QCOMPARE(HowToTopics::text(3, true),
                 QStringLiteral("1)\rStandardmäßig werden Sicherungen täglich durchgeführt. Um mehrere Sicherungen einer "
                                "Datenbank pro Tag durchzuführen, duplizieren Sie den entsprechenden Backup-Task der "
                                "Datenbank und versehen ihn mit unterschiedlichen Zeiten.\r\r2)\rAchten Sie darauf, dass "
                                "der Backup-Task \"aktiv\" ist."));
        QCOMPARE(HowToTopics::text(2, false),
                 QStringLiteral("1)\rClick the list \"Backup-Parameter\" and choose an existing backup-task with the left "
                                "button of your mouse. Choose the command \"Duplicate\" in the contextmenu (right mouse "
                                "button) of the \"Back-Parameter\"-Listing.\r\r2)\rEdit the the name of the backup-task "
                                "in the \"Task.Parameter\"-window.\r\r3)\rClick \"OK\" in the \"Task.Parameter\"-window "
                                "to apply the changes and save this duplicated task."));
        QVERIFY(HowToTopics::text(5, false).contains(QStringLiteral("sha256sum -c NAME.sha256")));
        QVERIFY(HowToTopics::text(5, true).contains(QStringLiteral("NAME.1, NAME.2")));
        QCOMPARE(HowToTopics::text(8, false), QString());
        QCOMPARE(HowToTopics::text(-1, true), QString());
    }

    void providerTopicFollowsItsLayout()
    {
        const QString en = HowToTopics::titles(false).at(4);
        const QString de = HowToTopics::titles(true).at(4);
        QVERIFY(en.startsWith(QStringLiteral("How to backup from German ISP \"")) && en.endsWith(QLatin1Char('"')));
        const QString company = en.mid(31, en.size() - 32);
        QCOMPARE(de, QStringLiteral("Backup bei der ") + company);
        const QStringList enLines = HowToTopics::text(4, false).split(QChar(13));
        const QStringList deLines = HowToTopics::text(4, true).split(QChar(13));
        QCOMPARE(enLines.size(), 5);
        QVERIFY(enLines[1].startsWith(QStringLiteral("Home-directory of your Internet-Site: \"")));
        QVERIFY(deLines[1].startsWith(QStringLiteral("Home-Verzeichnis der Internet-Site: \"")));
        for (const QString &step : {enLines[1], deLines[1]}) {
            QVERIFY(step.endsWith(QStringLiteral("/htdocs/\"")));
            QCOMPARE(step.count(QLatin1Char('[')), 2);
            QCOMPARE(step.count(QLatin1Char(']')), 2);
        }
        QVERIFY(enLines[4].startsWith(QStringLiteral("Database-server: ")));
        QVERIFY(deLines[4].startsWith(QStringLiteral("Datenbank-Server: ")));
        QCOMPARE(enLines[4].mid(17), deLines[4].mid(18));
    }

    void windowShowsTheTopicsOfTheCurrentLanguage()
    {
        Window w;
        QCOMPARE(w.form.windowTitle(), QStringLiteral("How To"));
        QCOMPARE(w.form.size(), QSize(312, 263));
        QCOMPARE(w.combo->geometry().topLeft(), QPoint(8, 5));
        QCOMPARE(w.combo->width(), 300);
        QCOMPARE(w.text->geometry(), QRect(0, 33, 312, 230));
        QVERIFY(w.combo->isEditable());

        w.form.HowTo1Click();
        QVERIFY(w.form.isVisible());
        QVERIFY(!w.form.isModal());
        QCOMPARE(items(w.combo).mid(0, 4), EnglishTitles);
        QCOMPARE(w.combo->currentIndex(), 0);
        QCOMPARE(w.text->toPlainText(), shown(0, false));
        w.form.hide();

        // Any value other than 0 reads as German here.
        for (int language : {1, 2}) {
            w.texts.Language = language;
            w.form.HowTo1Click();
            QCOMPARE(items(w.combo).mid(0, 4), GermanTitles);
            QCOMPARE(w.text->toPlainText(), shown(0, true));
            w.form.hide();
        }
    }

    void languageSwitchWhileOpenAffectsTheNextPickAndTheNextShowing()
    {
        Window w;
        w.form.HowTo1Click();
        w.texts.Language = 1;
        QCOMPARE(items(w.combo).mid(0, 4), EnglishTitles);  // titles stay
        w.pick(2);
        QCOMPARE(w.text->toPlainText(), shown(2, true));
        QCOMPARE(items(w.combo).mid(0, 4), EnglishTitles);

        // Opening again while open changes nothing.
        w.form.HowTo1Click();
        QCOMPARE(w.combo->currentIndex(), 2);
        QCOMPARE(w.text->toPlainText(), shown(2, true));

        w.form.close();
        QVERIFY(!w.form.isVisible());
        w.form.HowTo1Click();
        QCOMPARE(items(w.combo).mid(0, 4), GermanTitles);
        QCOMPARE(w.combo->currentIndex(), 0);
        QCOMPARE(w.text->toPlainText(), shown(0, true));
    }

    void typingIntoTheTopicFieldEmptiesTheTextAndPickingRefillsIt()
    {
        Window w;
        w.form.HowTo1Click();
        QVERIFY(!w.text->toPlainText().isEmpty());
        QTest::keyClicks(w.combo->lineEdit(), QStringLiteral("xy"));
        QCOMPARE(w.form.selectedTopic(), -1);
        QVERIFY(w.text->toPlainText().isEmpty());

        w.pick(0);  // the same item that was current before typing
        QCOMPARE(w.form.selectedTopic(), 0);
        QCOMPARE(w.text->toPlainText(), shown(0, false));

        // The user may edit the text; another topic replaces the edits.
        w.text->setFocus();
        QTest::keyClicks(w.text, QStringLiteral("note"));
        QVERIFY(w.text->toPlainText().contains(QStringLiteral("note")));
        w.pick(1);
        QCOMPARE(w.text->toPlainText(), shown(1, false));
    }
};

QTEST_MAIN(TestHowTo)
#include "tst_howto.moc"
