// The dump options a task adds to mysqldump: what is taken, what is refused
// before it can reach the host's shell, and how the editor shows them.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "ModalDriver.h"
#include "run/HostValueCheck.h"
#include "shell/LanguageTexts.h"
#include "ssh/SshDumpCommand.h"
#include "tasks/DumpOptions.h"
#include "tasks/HostProbe.h"
#include "tasks/Ttaskform.h"

class TestDumpOptions : public QObject {
    Q_OBJECT
private slots:
    // What "Test connection" makes of the host's answers.
    void probeNamesTheServerAndOffersWhatFits()
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("shop"));
        HostProbe maria = HostProbe::parse("vw-mysqldump:mysqldump  Ver 10.19\r\nvw-mariadb-dump:mariadb-dump from 11.4.2-MariaDB\n"
                                           "vw-server:11.4.2-MariaDB-ubu2404\n");
        QCOMPARE(maria.serverName(), QStringLiteral("MariaDB 11.4"));
        QVERIFY(maria.offerMariadbDump(t) && !maria.offerNoTablespaces(t));
        t.dumpprogram = QStringLiteral("auto");
        QVERIFY(!maria.offerMariadbDump(t));
        const HostProbe old = HostProbe::parse("vw-server:8.0.20\n");
        QVERIFY(!old.needsNoTablespaces());
        const HostProbe down = HostProbe::parse("vw-server-error:ERROR 1045 (28000): Access denied\n");
        QVERIFY(down.serverName().isEmpty());
        QVERIFY(down.report(t, false).contains(QStringLiteral("Database server not reached: ERROR 1045")));
        QVERIFY(down.offer(t, false).isEmpty());
        QVERIFY(HostProbe::parse("vw-packer:zstd\n").report(t, false).endsWith(QStringLiteral("Compression on the host: zstd")));
    }

    void refusesWhatIsNoDumpOption_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString notOption = QStringLiteral("Dump options: \"%1\" is not an option of mysqldump that this program passes on");
        const QString shell = QStringLiteral("Dump options: \"%1\" holds characters that the host's shell would act on");
        QTest::newRow("a second command") << "--quick ; rm -rf ~" << notOption.arg(";");
        QTest::newRow("a substitution") << "$(id)" << notOption.arg("$(id)");
        QTest::newRow("a short option") << "-q" << notOption.arg("-q");
        QTest::newRow("the login") << "--password=x" << notOption.arg("--password=x");
        QTest::newRow("a file on the host") << "--result-file=/tmp/x" << notOption.arg("--result-file=/tmp/x");
        QTest::newRow("a value with a command") << "--ignore-table=shop.a;id" << shell.arg("--ignore-table=shop.a;id");
        QTest::newRow("a quoted value") << "--default-character-set='x'" << shell.arg("--default-character-set='x'");
    }
    void refusesWhatIsNoDumpOption()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QCOMPARE(DumpOptions::parse(text, false).error, error);
        // A store edited by hand: the run is refused before anything is sent.
        BackupTask t = BackupTask::withDefaults(QStringLiteral("shop"));
        t.database = QStringLiteral("shop");
        t.dumpoptions = text;
        QCOMPARE(DumpValueRefusal(t, false), error + QStringLiteral(" - no dump"));
        QCOMPARE(TelnetValueRefusal(t, false), error + QStringLiteral(" - no dump"));
    }

    void recommendedReachTheCommand()
    {
        BackupTask t = BackupTask::withDefaults(QStringLiteral("shop"));
        t.database = QStringLiteral("shop");
        t.dbuser = QStringLiteral("web1");
        QCOMPARE(SshDumpCommand(t), QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h localhost --user=web1 shop"));
        t.dumpoptions = QStringLiteral("  ") + DumpOptions::recommended() + QStringLiteral(" --ignore-table=shop.cache\t");
        QCOMPARE(DumpValueRefusal(t, false), QString());
        QCOMPARE(SshDumpCommand(t), QStringLiteral("mysqldump --defaults-extra-file=/dev/stdin -h localhost --user=web1 ")
                                        + DumpOptions::recommended() + QStringLiteral(" --ignore-table=shop.cache shop"));

        // The program by name, or the one the host has, picked by sh.
        t.dumpoptions.clear();
        t.dumpprogram = QStringLiteral("mariadb-dump");
        QCOMPARE(SshDumpCommand(t), QStringLiteral("mariadb-dump --defaults-extra-file=/dev/stdin -h localhost --user=web1 shop"));
        t.dumpprogram = QStringLiteral("auto");
        QCOMPARE(SshDumpCommand(t), QStringLiteral("sh -c '\"$(command -v mariadb-dump || echo mysqldump)\" "
                                                   "--defaults-extra-file=/dev/stdin -h localhost --user=web1 shop'"));
        t.dumpprogram = QStringLiteral("mysqldump; id");
        QCOMPARE(DumpValueRefusal(t, false), QStringLiteral("Refused: the dump program \"mysqldump; id\" is none of "
                                                            "mysqldump, mariadb-dump and auto - no dump"));
    }

    // The boxes take their words out of the text, the field keeps the rest;
    // a stored task without options stays without; OK refuses a bad field.
    void editorShowsBoxesAndFurtherOptions()
    {
        LanguageTexts texts;
        Ttaskform form(texts);
        BackupTask t = BackupTask::withDefaults(QStringLiteral("shop"));
        t.dumpoptions = DumpOptions::recommended();
        t.dumpprogram = QStringLiteral("auto");
        form.setTask(t);
        auto box = [&form](const char *name) { return form.findChild<QCheckBox *>(QString::fromLatin1(name))->isChecked(); };
        auto *more = form.findChild<QLineEdit *>(QStringLiteral("tdumpmore"));
        QVERIFY(box("tsnapshot") && box("troutines") && box("tutf8") && !box("tnotablespaces"));
        QCOMPARE(more->text(), QStringLiteral("--quick --hex-blob"));
        QCOMPARE(form.task().dumpoptions, DumpOptions::recommended());
        QCOMPARE(form.task().dumpprogram, QStringLiteral("auto"));

        t.dumpoptions.clear();
        form.setTask(t);
        QVERIFY(!box("tsnapshot") && !box("troutines") && !box("tutf8"));
        QCOMPARE(form.task().dumpoptions, QString());

        BackupTask full = t;
        full.host = full.hostuser = full.hostpw = full.mysql = full.database = full.dbpw = QStringLiteral("x");
        full.backuptime = QStringLiteral("03:15");
        form.setTask(full);
        form.show();
        more->setText(QStringLiteral("--quick $(id)"));
        QString shown;
        answerMessageBox(&shown);
        QTest::mouseClick(form.findChild<QPushButton *>(QStringLiteral("SpeedButton2")), Qt::LeftButton);
        QCOMPARE(shown, QStringLiteral("Dump options: \"$(id)\" is not an option of mysqldump that this program passes on"));
        QVERIFY(form.isVisible());
    }
};

QTEST_MAIN(TestDumpOptions)
#include "tst_dumpoptions.moc"
