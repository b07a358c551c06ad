#include "tasks/OffsiteFields.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>

#include "offsite/OffsiteProbe.h"
#include "offsite/OffsiteTarget.h"
#include "offsite/OffsiteTools.h"
#include "storage/RetentionPolicy.h"
#include "tasks/BackupTask.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/Ttaskform.h"

using namespace TaskFormGeometry;

namespace {
constexpr int kTestLinkX = kFieldX + kAddressWidth + 16;
constexpr int kSameWidth = 110;
constexpr int kCountsX = kFieldX + kSameWidth + 4;
constexpr int kCountStep = 124;

// The stored keep value as three counts; false for "same" and for anything
// that does not read as three counts (which the runs treat as "same").
bool ownCounts(const QString &value, int counts[3])
{
    const QStringList parts = value.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        counts[i] = parts[i].toInt(&ok);
        if (!ok || counts[i] < 0)
            return false;
    }
    return true;
}
} // namespace

OffsiteFields::OffsiteFields(Ttaskform &form, int &y) : QObject(&form), m_form(form)
{
    y += kSectionGap;
    Heading10 = form.addHeading(10, QString(), y);
    int r = y;
    y += kRowStep;
    toffsiteLabel = form.addCaption(QStringLiteral("toffsite"), QString(), r);
    toffsite = form.addText(QStringLiteral("toffsite"), kAddressWidth, r);
    toffsite->setPlaceholderText(QStringLiteral("secret:vaultwick"));
    SpeedButton6 = form.addLink(QStringLiteral("SpeedButton6"), QString(),
                                QRect(kTestLinkX, r + 2, kClientWidth - 4 - kTestLinkX, 17));
    r = y;
    y += kRowStep;
    toffsiteHelp = form.addHelp(QStringLiteral("toffsite"), kFieldX, r);

    r = y;
    y += kRowStep;
    toffsitesameLabel = form.addCaption(QStringLiteral("toffsitesame"), QString(), r);
    toffsitesame = new QCheckBox(&form);
    toffsitesame->setObjectName(QStringLiteral("toffsitesame"));
    toffsitesame->setGeometry(kFieldX, r + 2, kSameWidth, 17);
    int x = kCountsX;
    for (auto [box, name] : {std::pair{&toffsitedaily, "toffsitedaily"}, std::pair{&toffsiteweekly, "toffsiteweekly"},
                             std::pair{&toffsitemonthly, "toffsitemonthly"}}) {
        *box = new QSpinBox(&form);
        (*box)->setObjectName(QString::fromLatin1(name));
        (*box)->setRange(0, MaxKeepCount);
        (*box)->setGeometry(x, r, kKeepWidth, kFieldHeight);
        QLabel *unit = form.addHelp(QString::fromLatin1(name), x + kKeepWidth + 4, r, x + kCountStep - 4);
        unit->setObjectName(QString::fromLatin1(name) + QStringLiteral("Unit"));
        m_units.append(unit);
        x += kCountStep;
    }

    // The last row: it ends short of the "OK" link at the bottom right.
    r = y;
    y += kRowStep;
    toffsiteconfigLabel = form.addCaption(QStringLiteral("toffsiteconfig"), QString(), r);
    toffsiteconfig = form.addText(QStringLiteral("toffsiteconfig"), kAddressWidth, r);
    SpeedButton5 = form.addLink(QStringLiteral("SpeedButton5"), QString(),
                                QRect(kFieldX + kAddressWidth + 8, r + 2, 50, 17));

    QWidget::setTabOrder(toffsite, toffsitesame);
    QWidget::setTabOrder(toffsitesame, toffsitedaily);
    QWidget::setTabOrder(toffsitedaily, toffsiteweekly);
    QWidget::setTabOrder(toffsiteweekly, toffsitemonthly);
    QWidget::setTabOrder(toffsitemonthly, toffsiteconfig);
    // "same as local" shows the local counts as they are being typed.
    for (QSpinBox *local : {form.tkeepdaily, form.tkeepweekly, form.tkeepmonthly})
        connect(local, &QSpinBox::valueChanged, this, &OffsiteFields::refresh);
    connect(toffsite, &QLineEdit::textChanged, this, &OffsiteFields::refresh);
    connect(toffsitesame, &QCheckBox::toggled, this, &OffsiteFields::refresh);
    connect(SpeedButton5, &QPushButton::clicked, this, &OffsiteFields::SpeedButton5Click);
    connect(SpeedButton6, &QPushButton::clicked, this, &OffsiteFields::SpeedButton6Click);
    refresh();
}

void OffsiteFields::translate(bool german)
{
    m_german = german;
    auto pick = [german](const QString &en, const QString &de) { return german ? de : en; };
    Heading10->setText(pick(QStringLiteral("Off-site Copy"), QStringLiteral("Externe Kopie")));
    toffsiteLabel->setText(pick(QStringLiteral("Destination"), QStringLiteral("Ziel")));
    setHint(toffsite,
            pick(QStringLiteral("Empty: no second copy.\r"
                                "rclone: a remote of your rclone configuration and a path (\"secret:vaultwick\"),\r"
                                "or a folder on this machine (\"/media/usb/vaultwick\").\r"
                                "restic: \"restic:\" and the repository as restic names it, such as\r"
                                "\"restic:sftp:user@host:/srv/backups\", \"restic:rest:http://host:8000/\" or "
                                "\"restic:/media/usb/vw-repo\"."),
                 QStringLiteral("Leer: keine zweite Kopie.\r"
                                "rclone: ein Remote Ihrer rclone-Konfiguration und ein Pfad (\"secret:vaultwick\"),\r"
                                "oder ein Ordner auf diesem Rechner (\"/media/usb/vaultwick\").\r"
                                "restic: \"restic:\" und das Repository, wie restic es nennt, etwa\r"
                                "\"restic:sftp:user@host:/srv/backups\", \"restic:rest:http://host:8000/\" oder "
                                "\"restic:/media/usb/vw-repo\".")));
    toffsitesameLabel->setText(pick(QStringLiteral("Keep There"), QStringLiteral("Dort behalten")));
    toffsitesame->setText(pick(QStringLiteral("same as local"), QStringLiteral("wie lokal")));
    const QString keepHint = pick(QStringLiteral("The backups kept on the destination: as many as here, or counts of "
                                                 "its own.\r0 in all three keeps every backup there."),
                                  QStringLiteral("Die am Ziel behaltenen Backups: so viele wie hier, oder eigene "
                                                 "Zahlen.\r0 in allen dreien behält dort jedes Backup."));
    for (QWidget *w : {static_cast<QWidget *>(toffsitesame), static_cast<QWidget *>(toffsitedaily),
                       static_cast<QWidget *>(toffsiteweekly), static_cast<QWidget *>(toffsitemonthly)})
        setHint(w, keepHint);
    const QString units[] = {pick(QStringLiteral("daily"), QStringLiteral("tägliche")),
                             pick(QStringLiteral("weekly"), QStringLiteral("wöchentliche")),
                             pick(QStringLiteral("monthly"), QStringLiteral("monatliche"))};
    for (int i = 0; i < m_units.size(); ++i)
        m_units[i]->setText(units[i]);
    toffsiteconfigLabel->setText(pick(QStringLiteral("Config/Password File"), QStringLiteral("Konfig-/Passwortdatei")));
    setHint(toffsiteconfig,
            pick(QStringLiteral("rclone: its configuration file (empty: rclone's own, ~/.config/rclone/rclone.conf).\r"
                                "restic: the file holding the repository's password (mode 0600)."),
                 QStringLiteral("rclone: seine Konfigurationsdatei (leer: die eigene, ~/.config/rclone/rclone.conf).\r"
                                "restic: die Datei mit dem Passwort des Repositorys (Modus 0600).")));
    SpeedButton5->setText(pick(QStringLiteral("Select"), QStringLiteral("Auswahl")));
    refresh();
}

void OffsiteFields::setTask(const BackupTask &task)
{
    toffsite->setText(task.offsite);
    toffsiteconfig->setText(task.offsiteconfig);
    int counts[3] = {0, 0, 0};
    m_loadedSame = !ownCounts(task.offsitekeep, counts);
    if (m_loadedSame) {
        // The counts a run would keep there: the local ones.
        const RetentionPolicy policy = OffsitePolicy(task);
        counts[0] = policy.daily;
        counts[1] = policy.weekly;
        counts[2] = policy.monthly;
    }
    toffsitesame->setChecked(m_loadedSame);
    QSpinBox *boxes[] = {toffsitedaily, toffsiteweekly, toffsitemonthly};
    for (int i = 0; i < 3; ++i) {
        boxes[i]->setValue(counts[i]);
        m_loadedCounts[i] = boxes[i]->value();
    }
    refresh();
}

void OffsiteFields::applyTo(BackupTask &t, const BackupTask &loaded) const
{
    t.offsite = toffsite->text().trimmed();
    t.offsiteconfig = toffsiteconfig->text().trimmed();
    const bool same = toffsitesame->isChecked();
    const RetentionPolicy own{toffsitedaily->value(), toffsiteweekly->value(), toffsitemonthly->value()};
    const bool untouched = same == m_loadedSame
        && (same || (own.daily == m_loadedCounts[0] && own.weekly == m_loadedCounts[1] && own.monthly == m_loadedCounts[2]));
    t.offsitekeep = untouched ? loaded.offsitekeep : OffsiteKeepValue(same, own);
}

BackupTask OffsiteFields::values() const
{
    BackupTask t;
    t.offsite = toffsite->text().trimmed();
    t.offsiteconfig = toffsiteconfig->text().trimmed();
    return t;
}

QString OffsiteFields::problem(bool german) const
{
    return OffsiteTarget::of(values()).problem(german);
}

QWidget *OffsiteFields::problemField() const
{
    OffsiteTarget::Field field = OffsiteTarget::Field::Destination;
    OffsiteTarget::of(values()).problem(m_german, &field);
    return field == OffsiteTarget::Field::Destination ? static_cast<QWidget *>(toffsite) : toffsiteconfig;
}

QWidget *OffsiteFields::firstField() const
{
    return toffsite;
}

QWidget *OffsiteFields::lastField() const
{
    return toffsiteconfig;
}

void OffsiteFields::refresh()
{
    const OffsiteTarget target = OffsiteTarget::of(values());
    const bool none = target.isNone();
    const bool missing = !none && OffsiteTools::find(target.kind).isEmpty();
    QPalette p = toffsiteHelp->palette();
    p.setColor(QPalette::WindowText, missing ? QColor(192, 0, 0) : QColor(128, 128, 128));
    toffsiteHelp->setPalette(p);
    toffsiteHelp->setText(missing ? OffsiteTools::missingText(target.kind, m_german)
                          : m_german ? QStringLiteral("rclone: \"Remote:Pfad\" oder ein Ordner; restic: \"restic:\" "
                                                      "und das Repository")
                                     : QStringLiteral("rclone: \"remote:path\" or a folder; restic: \"restic:\" and "
                                                      "the repository"));
    for (QWidget *w : {static_cast<QWidget *>(toffsitesame), static_cast<QWidget *>(toffsiteconfig),
                       static_cast<QWidget *>(SpeedButton5), static_cast<QWidget *>(toffsitesameLabel),
                       static_cast<QWidget *>(toffsiteconfigLabel)})
        w->setEnabled(!none);
    if (toffsitesame->isChecked()) {
        toffsitedaily->setValue(m_form.tkeepdaily->value());
        toffsiteweekly->setValue(m_form.tkeepweekly->value());
        toffsitemonthly->setValue(m_form.tkeepmonthly->value());
    }
    const bool own = !none && !toffsitesame->isChecked();
    for (QSpinBox *box : {toffsitedaily, toffsiteweekly, toffsitemonthly})
        box->setEnabled(own);
    for (QLabel *unit : m_units)
        unit->setEnabled(own);
    SpeedButton6->setEnabled(!none && !missing && !m_probe);
    SpeedButton6->setText(m_probe ? (m_german ? QStringLiteral("Teste...") : QStringLiteral("Testing..."))
                                  : (m_german ? QStringLiteral("Ziel testen") : QStringLiteral("Test destination")));
}

void OffsiteFields::cancelTest()
{
    if (m_probe) {
        m_probe->cancel();
        m_probe->deleteLater();
        m_probe = nullptr;
    }
    if (m_box)
        m_box->close();
    refresh();
}

void OffsiteFields::SpeedButton5Click()
{
    const QString current = toffsiteconfig->text().trimmed();
    const QString start = !current.isEmpty() ? current
        : OffsiteTarget::of(values()).isRestic() ? QDir::homePath()
                                                 : QDir::homePath() + QStringLiteral("/.config/rclone");
    // Opened without a loop of its own; the choice arrives by signal.
    auto *dialog = new QFileDialog(&m_form,
                                   m_german ? QStringLiteral("Konfigurations- oder Passwortdatei wählen")
                                            : QStringLiteral("Choose the configuration or password file"),
                                   start);
    dialog->setObjectName(QStringLiteral("OffsiteConfigDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setFilter(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    connect(dialog, &QFileDialog::fileSelected, toffsiteconfig,
            [this](const QString &file) { toffsiteconfig->setText(QDir::toNativeSeparators(file)); });
    dialog->open();
}

void OffsiteFields::SpeedButton6Click()
{
    if (m_probe)
        return;
    // What needs no tool is said at once, as OK would say it.
    const QString refused = problem(m_german);
    if (!refused.isEmpty()) {
        showResult(false, refused);
        return;
    }
    m_probe = new OffsiteProbe(m_form.task(), m_german, this);
    connect(m_probe, &OffsiteProbe::finished, this, [this](bool ok, const QString &report) {
        // Still on the stack of its signal.
        m_probe->deleteLater();
        m_probe = nullptr;
        refresh();
        showResult(ok, report);
    });
    m_probe->start();
    refresh();
}

void OffsiteFields::showResult(bool ok, const QString &report)
{
    if (m_box)
        m_box->close();
    auto *box = new QMessageBox(ok ? QMessageBox::Information : QMessageBox::Warning,
                                m_german ? QStringLiteral("Ziel testen") : QStringLiteral("Test destination"),
                                shown(report), QMessageBox::Ok, &m_form);
    box->setObjectName(QStringLiteral("OffsiteTestMessage"));
    // The tools' own words are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_box = box;
    box->open();  // window-modal, without a loop of its own
    emit testFinished(ok);
}
