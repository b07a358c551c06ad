#include "tasks/Ttaskform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOptionFrame>
#include <algorithm>
#include <iterator>

#include "shell/LanguageTexts.h"
#include "storage/RetentionPolicy.h"
#include "storage/StreamCompressor.h"
#include "tasks/BrowseForDirectory.h"
#include "secrets/TaskSecrets.h"
#include "tasks/DumpOptionFields.h"
#include "tasks/OffsiteFields.h"
#include "tasks/PasswordReveal.h"
#include "tasks/SshConnectionTest.h"
#include "tasks/SshTaskFields.h"
#include "tasks/TargetPath.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/TaskTimeEdit.h"

using namespace TaskFormGeometry;

namespace {
void showPasswordsAsStars(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}
}

const QString Ttaskform::WindowCaption = QStringLiteral("Task.Parameter");

Ttaskform::Ttaskform(const LanguageTexts &language, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_language(language)
{
    setObjectName(QStringLiteral("Ttaskform"));
    setWindowTitle(WindowCaption);
    setModal(true);
    // The design font; where it is missing, the sans serifs with its metrics
    // keep the texts inside the design's geometry.
    QFont design(QStringLiteral("MS Sans Serif"), 8);
    design.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                        QStringLiteral("Arial"), QStringLiteral("Helvetica"), QStringLiteral("Nimbus Sans"),
                        QStringLiteral("Liberation Sans")});
    setFont(design);
    buildWindow();
    setFixedSize(kClientWidth, kClientHeight);
    TranslateTaskForm(0);
}

QLabel *Ttaskform::addHeading(int index, const QString &text, int &y)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("Heading%1").arg(index));
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    label->setGeometry(kHeadingX, y, 300, 15);
    auto *rule = new QFrame(this);
    rule->setObjectName(QStringLiteral("Rule%1").arg(index));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(kHeadingX, y + 15, kClientWidth - 2 * kHeadingX, 2);
    y += kHeadingStep;
    return label;
}

QLabel *Ttaskform::addCaption(const QString &control, const QString &text, int y)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(control + QStringLiteral("Label"));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
    label->setGeometry(kCaptionX, y + 3, kFieldX - kCaptionX - 4, 15);
    return label;
}

QLabel *Ttaskform::addHelp(const QString &control, int x, int y, int right)
{
    auto *label = new QLabel(this);
    label->setObjectName(control + QStringLiteral("Help"));
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(128, 128, 128));
    label->setPalette(p);
    if (right < 0)
        right = kClientWidth - 4;
    label->setGeometry(x, y + 3, right - x, 15);
    return label;
}

QLineEdit *Ttaskform::addText(const QString &name, int width, int y)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(name);
    edit->setGeometry(kFieldX, y, width, kFieldHeight);
    return edit;
}

QPushButton *Ttaskform::addLink(const QString &name, const QString &text, const QRect &geometry)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setFlat(true);
    // Links: clicking one leaves the focus where it is, and Enter in a field
    // does not press one.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { color: blue; text-decoration: underline; border: none;"
        " background: transparent; padding: 0px; text-align: left; }"
        // A link that cannot be followed now must not look like one.
        " QPushButton:disabled { color: gray; text-decoration: none; }"));
    button->setGeometry(geometry);
    return button;
}

void Ttaskform::buildWindow()
{
    int y = kTop;
    auto row = [&y] {
        const int at = y;
        y += kRowStep;
        return at;
    };

    addHeading(1, QStringLiteral("Taskname"), y);
    int r = row();
    ttnameLabel = addCaption(QStringLiteral("ttname"), QStringLiteral("Name"), r);
    ttname = addText(QStringLiteral("ttname"), kTextWidth, r);
    ttnameHelp = addHelp(QStringLiteral("ttname"), kHelpX, r);

    y += kSectionGap;
    addHeading(2, QStringLiteral("FTP-Parameter"), y);
    r = row();
    tHostLabel = addCaption(QStringLiteral("tHost"), QString(), r);
    tHost = addText(QStringLiteral("tHost"), kTextWidth, r);
    tHostHelp = addHelp(QStringLiteral("tHost"), kHelpX, r);
    r = row();
    tuserLabel = addCaption(QStringLiteral("tuser"), QStringLiteral("Host User"), r);
    tuser = addText(QStringLiteral("tuser"), kTextWidth, r);
    showPasswordsAsStars(tuser);
    tuserHelp = addHelp(QStringLiteral("tuser"), kHelpX, r);
    r = row();
    tpasswordLabel = addCaption(QStringLiteral("tpassword"), QString(), r);
    tpassword = addText(QStringLiteral("tpassword"), kTextWidth, r);
    showPasswordsAsStars(tpassword);
    tpasswordHelp = addHelp(QStringLiteral("tpassword"), kHelpX, r);
    r = row();
    tftpdirLabel = addCaption(QStringLiteral("tftpdir"), QString(), r);
    tftpdir = addText(QStringLiteral("tftpdir"), kTextWidth, r);
    tftpdirHelp = addHelp(QStringLiteral("tftpdir"), kHelpX, r);
    r = row();
    CheckBox2Label = addCaption(QStringLiteral("CheckBox2"), QString(), r);
    CheckBox2 = new QCheckBox(this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(kFieldX, r + 2, kTlsBoxWidth, 17);
    CheckBox2Help = addHelp(QStringLiteral("CheckBox2"), kFieldX + kTlsBoxWidth + 4, r);

    y += kSectionGap;
    addHeading(3, QStringLiteral("mySQL Parameter"), y);
    r = row();
    tsqlLabel = addCaption(QStringLiteral("tsql"), QString(), r);
    tsql = addText(QStringLiteral("tsql"), kTextWidth, r);
    tsqlHelp = addHelp(QStringLiteral("tsql"), kHelpX, r);
    r = row();
    tdatabaseLabel = addCaption(QStringLiteral("tdatabase"), QString(), r);
    tdatabase = addText(QStringLiteral("tdatabase"), kTextWidth, r);
    tdatabaseHelp = addHelp(QStringLiteral("tdatabase"), kHelpX, r);
    r = row();
    tdbuserLabel = addCaption(QStringLiteral("tdbuser"), QString(), r);
    tdbuser = addText(QStringLiteral("tdbuser"), kTextWidth, r);
    showPasswordsAsStars(tdbuser);
    tdbuserHelp = addHelp(QStringLiteral("tdbuser"), kHelpX, r);
    r = row();
    tdbpasswdLabel = addCaption(QStringLiteral("tdbpasswd"), QString(), r);
    tdbpasswd = addText(QStringLiteral("tdbpasswd"), kTextWidth, r);
    showPasswordsAsStars(tdbpasswd);
    auto entryOf = [this](Keyring::Entry (*entry)(const QString &)) {
        return [this, entry]() -> std::optional<Keyring::Entry> {
            if (!keepsPasswordsInKeyring())
                return std::nullopt;
            return entry(m_loaded.name);
        };
    };
    m_revealHost = new PasswordReveal(tpassword, entryOf(&TaskSecrets::hostPassword), this);
    m_revealDatabase = new PasswordReveal(tdbpasswd, entryOf(&TaskSecrets::databasePassword), this);
    tdbpasswdHelp = addHelp(QStringLiteral("tdbpasswd"), kHelpX, r);

    y += kSectionGap;
    addHeading(4, QStringLiteral("Backup-Parameter"), y);
    r = row();
    tbkfileLabel = addCaption(QStringLiteral("tbkfile"), QString(), r);
    tbkfile = addText(QStringLiteral("tbkfile"), kTextWidth, r);
    tbkfileHelp = addHelp(QStringLiteral("tbkfile"), kHelpX, r);
    r = row();
    trdirLabel = addCaption(QStringLiteral("trdir"), QString(), r);
    trdir = addText(QStringLiteral("trdir"), kDirectoryWidth, r);
    r = row();
    tdirLabel = addCaption(QStringLiteral("tdir"), QString(), r);
    tdir = addText(QStringLiteral("tdir"), kDirectoryWidth, r);
    SpeedButton1 = addLink(QStringLiteral("SpeedButton1"), QString(),
                           QRect(kFieldX + kDirectoryWidth + 8, r + 2, 50, 17));

    y += kSectionGap;
    addHeading(5, QStringLiteral("HTTP-Parameter"), y);
    r = row();
    tinetpathLabel = addCaption(QStringLiteral("tinetpath"), QString(), r);
    tinetpath = addText(QStringLiteral("tinetpath"), kAddressWidth, r);
    tinetpathHelp = addHelp(QStringLiteral("tinetpath"), kHelpBesideAddressX, r);

    y += kSectionGap;
    Heading6 = addHeading(6, QString(), y);
    r = row();
    ttimeLabel = addCaption(QStringLiteral("ttime"), QString(), r);
    ttime = new TaskTimeEdit(this);
    ttime->setObjectName(QStringLiteral("ttime"));
    // Wider only when the font in use needs it for "00:00".
    QStyleOptionFrame frame;
    frame.initFrom(ttime);
    const QSize needed = ttime->style()->sizeFromContents(
        QStyle::CT_LineEdit, &frame, QSize(ttime->fontMetrics().horizontalAdvance(QStringLiteral("00:00")) + 4, 0),
        ttime);
    ttime->setGeometry(kFieldX, r, std::max(kTimeWidth, std::min(needed.width(), kHelpBesideSmallX - kFieldX - 6)),
                       kFieldHeight);
    ttimeHelp = addHelp(QStringLiteral("ttime"), kHelpBesideSmallX, r);
    r = row();
    ComboBox1Label = addCaption(QStringLiteral("ComboBox1"), QString(), r);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->addItems({QStringLiteral("inactive"), QStringLiteral("active")});
    ComboBox1->setGeometry(kFieldX, r, kListWidth, kFieldHeight);
    ComboBox1Help = addHelp(QStringLiteral("ComboBox1"), kHelpBesideSmallX, r);
    r = row();
    CheckBox1Label = addCaption(QStringLiteral("CheckBox1"), QString(), r);
    CheckBox1 = new QCheckBox(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(kFieldX, r + 2, 300, 17);
    r = row();
    ComboBox2Label = addCaption(QStringLiteral("ComboBox2"), QString(), r);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->addItems({QStringLiteral("FTP"), QStringLiteral("HTTP")});
    ComboBox2->setGeometry(kFieldX, r, kListWidth, kFieldHeight);
    // Ends short of the "OK" link at the bottom right.
    const QRect okLink(kClientWidth - 40, kClientHeight - 24, 30, 17);
    ComboBox2Help = addHelp(QStringLiteral("ComboBox2"), kHelpBesideSmallX, r, okLink.left() - 8);


    y += kSectionGap;
    Heading7 = addHeading(7, QString(), y);
    r = row();
    ComboBox3Label = addCaption(QStringLiteral("ComboBox3"), QString(), r);
    ComboBox3 = new QComboBox(this);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->addItems({QString(), QStringLiteral("gzip"), QStringLiteral("zstd")});
    ComboBox3->setGeometry(kFieldX, r, kListWidth, kFieldHeight);
    ComboBox3Help = addHelp(QStringLiteral("ComboBox3"), kHelpBesideSmallX, r);
    r = row();
    tkeepdailyLabel = addCaption(QStringLiteral("tkeepdaily"), QString(), r);
    int x = kFieldX;
    for (QSpinBox **box : {&tkeepdaily, &tkeepweekly, &tkeepmonthly}) {
        const QString name = box == &tkeepdaily ? QStringLiteral("tkeepdaily")
            : box == &tkeepweekly             ? QStringLiteral("tkeepweekly")
                                              : QStringLiteral("tkeepmonthly");
        *box = new QSpinBox(this);
        (*box)->setObjectName(name);
        (*box)->setRange(0, MaxKeepCount);
        (*box)->setGeometry(x, r, kKeepWidth, kFieldHeight);
        QLabel *unit = addHelp(name, x + kKeepWidth + 4, r, x + kKeepStep - 4);
        unit->setObjectName(name + QStringLiteral("Unit"));
        m_keepUnits.append(unit);
        x += kKeepStep;
        connect(*box, &QSpinBox::valueChanged, this, &Ttaskform::updateKeepingSummary);
    }
    r = row();
    // Ends short of the "OK" link at the bottom right.
    tkeepSummary = addHelp(QStringLiteral("tkeepSummary"), kFieldX, r, okLink.left() - 8);
    tkeepSummary->setObjectName(QStringLiteral("tkeepSummary"));
    connect(CheckBox1, &QCheckBox::toggled, this, &Ttaskform::updateKeepingSummary);
    r = row();
    tTestRestoreLabel = addCaption(QStringLiteral("tTestRestore"), QString(), r);
    tTestRestore = new QCheckBox(this);
    tTestRestore->setObjectName(QStringLiteral("tTestRestore"));
    tTestRestore->setGeometry(kFieldX, r + 2, 420, 17);
    r = row();
    tpingurlLabel = addCaption(QStringLiteral("tpingurl"), QString(), r);
    tpingurl = addText(QStringLiteral("tpingurl"), kDirectoryWidth, r);

    m_ssh = new SshTaskFields(*this, m_language, y);
    m_dump = new DumpOptionFields(*this, y);
    connect(m_ssh->connectionTest(), &SshConnectionTest::settingsOffered, m_dump, &DumpOptionFields::apply);
    m_offsite = new OffsiteFields(*this, y);

    SpeedButton2 = addLink(QStringLiteral("SpeedButton2"), QStringLiteral("OK"), okLink);

    QWidget *order[] = {ttname, tHost, tuser, tpassword, tftpdir, CheckBox2, tsql, tdatabase, tdbuser, tdbpasswd,
                        tbkfile, trdir, tdir, tinetpath, ttime, ComboBox1, CheckBox1, ComboBox2,
                        ComboBox3, tkeepdaily, tkeepweekly, tkeepmonthly, tTestRestore, tpingurl};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    setTabOrder(tpingurl, m_ssh->firstField());

    trdir->installEventFilter(this);
    tinetpath->installEventFilter(this);
    connect(SpeedButton1, &QPushButton::clicked, this, &Ttaskform::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &Ttaskform::SpeedButton2Click);
}

void Ttaskform::setTask(const BackupTask &task)
{
    ttname->setText(task.name);
    tHost->setText(task.host);
    tuser->setText(task.hostuser);
    tpassword->setText(task.hostpw);
    tftpdir->setText(task.ftpdir);
    tsql->setText(task.mysql);
    tdatabase->setText(task.database);
    tdbuser->setText(task.dbuser);
    tdbpasswd->setText(task.dbpw);
    tbkfile->setText(task.backupfile);
    trdir->setText(task.remotedir);
    tdir->setText(task.localdir);
    tinetpath->setText(task.httpath);
    ttime->setMaskedText(task.backuptime);
    ComboBox1->setCurrentIndex(task.run == 1 ? 1 : 0);
    CheckBox1->setChecked(task.subdirectory);
    ComboBox2->setCurrentIndex(task.method != 0 ? 1 : 0);
    ComboBox3->setCurrentIndex(int(CompressionFromSetting(task.compress)));
    CheckBox2->setChecked(task.ftptls);
    tTestRestore->setChecked(task.testrestore);
    tpingurl->setText(task.pingurl);
    tkeepdaily->setValue(task.keepdaily);
    tkeepweekly->setValue(task.keepweekly);
    tkeepmonthly->setValue(task.keepmonthly);
    m_ssh->setTask(task);
    m_dump->setTask(task);
    m_offsite->setTask(task);
    m_loaded = task;
    showKeyringPlaceholders();
    updateKeepingSummary();
}

void Ttaskform::updateKeepingSummary()
{
    // Weekly and monthly counts apply to day subdirectories only.
    const bool days = CheckBox1->isChecked();
    tkeepweekly->setEnabled(days);
    tkeepmonthly->setEnabled(days);
    m_keepUnits[1]->setEnabled(days);
    m_keepUnits[2]->setEnabled(days);
    const RetentionPolicy policy {tkeepdaily->value(), days ? tkeepweekly->value() : 0,
                                  days ? tkeepmonthly->value() : 0};
    tkeepSummary->setText(DescribeRetention(policy, days, m_captionLanguage == 1));
    FitLabelToWidth(tkeepSummary, font());
}

void Ttaskform::showError(const QString &text)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), shown(text),
                    QMessageBox::Ok, this);
    box.exec();
}

void Ttaskform::SpeedButton1Click()
{
    // The editor offers no preset folder, whatever the field holds.
    QString directory;
    const QString title = m_captionLanguage == 1 ? QStringLiteral("Bitte wählen Sie ein Verzeichnis")
                                                 : QStringLiteral("Please select a directory");
    if (BrowseForDirectory(title, QString(), directory, true, false, true, this))
        tdir->setText(directory);
}

void Ttaskform::SpeedButton2Click()
{
    // The link takes no focus, so the focused field has not been left yet.
    QWidget *focused = focusWidget();
    if (focused == trdir || focused == tinetpath)
        normalise(static_cast<QLineEdit *>(focused));
    if (focused == ttime && !ttime->checkOnLeave())
        return;

    const QStringList missing = missingParameters();
    if (!missing.isEmpty()) {
        showError(missingParametersMessage(missing));
        return;
    }
    // The store keeps tasks under their names; these two would nest keys.
    const QString name = ttname->text();
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) {
        showError(m_language.german()
                      ? QStringLiteral("Der Task-Name darf weder \"/\" noch \"\\\" enthalten.\r"
                                       "Bitte wählen Sie einen anderen Namen.")
                      : QStringLiteral("A task name cannot contain \"/\" or \"\\\".\r"
                                       "Please choose another name."));
        ttname->setFocus(Qt::OtherFocusReason);
        return;
    }
    for (const auto &[field, problem] :
         {std::pair<QWidget *, QString>{tbkfile, BackupFileNameProblem(tbkfile->text(), m_language.german())},
          std::pair<QWidget *, QString>{tdir, LocalDirectoryProblem(tdir->text(), m_language.german())},
          std::pair<QWidget *, QString>{m_dump->lastField(), m_dump->problem(m_language.german())},
          std::pair<QWidget *, QString>{m_offsite->problemField(), m_offsite->problem(m_language.german())}}) {
        if (!problem.isEmpty()) {
            showError(problem);
            field->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    accept();
}

void Ttaskform::setSshSettings(const SshClientSettings &settings)
{
    m_ssh->setSettings(settings);
}

void Ttaskform::hideEvent(QHideEvent *event)
{
    // A test of a closed editor answers nobody.
    m_ssh->cancelTest();
    m_offsite->cancelTest();
    QDialog::hideEvent(event);
}

void Ttaskform::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ttname->setFocus(Qt::OtherFocusReason);
}

void Ttaskform::keyPressEvent(QKeyEvent *event)
{
    // Only the close box cancels: an Escape meant for the time entry must
    // not throw away everything typed.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Ttaskform::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && (watched == trdir || watched == tinetpath)) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            normalise(static_cast<QLineEdit *>(watched));
    }
    return QDialog::eventFilter(watched, event);
}
