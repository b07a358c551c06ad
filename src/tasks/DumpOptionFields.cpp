#include "tasks/DumpOptionFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "tasks/BackupTask.h"
#include "tasks/DumpOptions.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/Ttaskform.h"

using namespace TaskFormGeometry;

namespace {
// The words behind each box, in the order they are written.
const QStringList SnapshotWords{QStringLiteral("--single-transaction")};
const QStringList RoutineWords{QStringLiteral("--routines"), QStringLiteral("--triggers"), QStringLiteral("--events")};
const QStringList TablespaceWords{QStringLiteral("--no-tablespaces")};
const QStringList Utf8Words{QStringLiteral("--default-character-set=utf8mb4")};
} // namespace

DumpOptionFields::DumpOptionFields(Ttaskform &form, int &y) : QObject(&form)
{
    y += kSectionGap;
    Heading9 = form.addHeading(9, QStringLiteral("mysqldump"), y);
    int r = y;
    y += kRowStep;
    tdumpLabel = form.addCaption(QStringLiteral("tsnapshot"), QString(), r);
    int x = kFieldX;
    for (auto [box, name, width] : {std::tuple{&tsnapshot, "tsnapshot", 120}, std::tuple{&troutines, "troutines", 90},
                                    std::tuple{&tnotablespaces, "tnotablespaces", 140}, std::tuple{&tutf8, "tutf8", 80}}) {
        *box = new QCheckBox(&form);
        (*box)->setObjectName(QString::fromLatin1(name));
        (*box)->setGeometry(x, r + 2, width, 17);
        x += width + 4;
    }
    r = y;
    y += kRowStep;
    tdumpmoreLabel = form.addCaption(QStringLiteral("tdumpmore"), QString(), r);
    tdumpmore = form.addText(QStringLiteral("tdumpmore"), 262, r);
    // Ends short of the "OK" link at the bottom right.
    tdumpprogramLabel = new QLabel(&form);
    tdumpprogramLabel->setObjectName(QStringLiteral("tdumpprogramLabel"));
    tdumpprogramLabel->setGeometry(kFieldX + 270, r + 3, 60, 15);
    tdumpprogram = new QComboBox(&form);
    tdumpprogram->setObjectName(QStringLiteral("tdumpprogram"));
    tdumpprogram->addItems(DumpOptions::programs());
    tdumpprogram->setGeometry(kFieldX + 332, r, 105, kFieldHeight);
    QWidget::setTabOrder(tsnapshot, troutines);
    QWidget::setTabOrder(troutines, tnotablespaces);
    QWidget::setTabOrder(tnotablespaces, tutf8);
    QWidget::setTabOrder(tutf8, tdumpmore);
    QWidget::setTabOrder(tdumpmore, tdumpprogram);
}

void DumpOptionFields::translate(bool german)
{
    auto pick = [german](const char *en, const char *de) { return QString::fromUtf8(german ? de : en); };
    tdumpLabel->setText(pick("Dump Options", "Dump-Optionen"));
    tsnapshot->setText(pick("Snapshot", "Schnappschuss"));
    setHint(tsnapshot, pick("--single-transaction: one consistent moment,\rwithout locking the live site's tables",
                            "--single-transaction: ein stimmiger Zeitpunkt,\rohne die Tabellen der Website zu sperren"));
    troutines->setText(pick("Routines", "Routinen"));
    setHint(troutines, pick("--routines --triggers --events", "--routines --triggers --events"));
    tnotablespaces->setText(pick("No tablespaces", "Ohne Tablespaces"));
    setHint(tnotablespaces, pick("--no-tablespaces: needed for MySQL 8.0.21 and later\rwithout the PROCESS privilege",
                                 "--no-tablespaces: nötig für MySQL ab 8.0.21\rohne das PROCESS-Recht"));
    tutf8->setText(QStringLiteral("utf8mb4"));
    setHint(tutf8, QStringLiteral("--default-character-set=utf8mb4"));
    tdumpmoreLabel->setText(pick("Further Options", "Weitere Optionen"));
    tdumpprogramLabel->setText(pick("Program", "Programm"));
    setHint(tdumpprogram, pick("auto: mariadb-dump where the host has it (MariaDB 11), else mysqldump",
                               "auto: mariadb-dump, wo der Host es hat (MariaDB 11), sonst mysqldump"));
    setHint(tdumpmore, pick("Options of mysqldump, such as --quick --hex-blob",
                            "Optionen von mysqldump, etwa --quick --hex-blob"));
}

void DumpOptionFields::apply(bool noTablespaces, bool mariadbDump)
{
    if (noTablespaces)
        tnotablespaces->setChecked(true);
    if (mariadbDump)
        tdumpprogram->setCurrentIndex(int(DumpOptions::programs().indexOf(QStringLiteral("mariadb-dump"))));
}

void DumpOptionFields::setTask(const BackupTask &task)
{
    // A stored text that does not parse stays in the field as it is, to be mended.
    const DumpOptions::Parsed parsed = DumpOptions::parse(task.dumpoptions, false);
    QStringList rest = parsed.ok() ? parsed.words : QStringList{task.dumpoptions};
    auto take = [&rest](QCheckBox *box, const QStringList &words) {
        bool all = true;
        for (const QString &w : words)
            all = all && rest.contains(w);
        box->setChecked(all);
        if (all) {
            for (const QString &w : words)
                rest.removeAll(w);
        }
    };
    take(tsnapshot, SnapshotWords);
    take(troutines, RoutineWords);
    take(tnotablespaces, TablespaceWords);
    take(tutf8, Utf8Words);
    tdumpmore->setText(rest.join(QLatin1Char(' ')));
    // A value from a hand-edited store stays visible, to be refused on OK.
    if (tdumpprogram->findText(task.dumpprogram) < 0)
        tdumpprogram->addItem(task.dumpprogram);
    tdumpprogram->setCurrentText(task.dumpprogram);
}

QString DumpOptionFields::program() const
{
    return tdumpprogram->currentText();
}

QString DumpOptionFields::options() const
{
    QStringList words;
    for (auto [box, boxWords] : {std::pair{tsnapshot, &SnapshotWords}, std::pair{troutines, &RoutineWords},
                                 std::pair{tnotablespaces, &TablespaceWords}, std::pair{tutf8, &Utf8Words}}) {
        if (box->isChecked())
            words += *boxWords;
    }
    const QString more = tdumpmore->text().simplified();
    if (!more.isEmpty())
        words << more;
    return words.join(QLatin1Char(' '));
}

QString DumpOptionFields::problem(bool german) const
{
    const QString options = DumpOptions::parse(tdumpmore->text(), german).error;
    return options.isEmpty() ? DumpOptions::programRefusal(program(), german) : options;
}

QWidget *DumpOptionFields::firstField() const
{
    return tsnapshot;
}

QWidget *DumpOptionFields::lastField() const
{
    return tdumpmore;
}
