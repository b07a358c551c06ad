#include "tasks/SshTaskFields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ssh/SshDumpTypes.h"
#include "tasks/SshConnectionTest.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/Ttaskform.h"

using namespace TaskFormGeometry;

namespace {
// The SSH port sits beside the transport list.
constexpr int kPortCaptionX = kHelpBesideSmallX;
constexpr int kPortX = 316;
constexpr int kPortWidth = 56;

// The fields of the form that only the telnet transport uses.
const char *const TelnetOnly[] = {"tftpdir", "CheckBox2", "trdir", "tinetpath", "ComboBox2"};
} // namespace

SshTaskFields::SshTaskFields(Ttaskform &form, const LanguageTexts &language, int &y)
    : QObject(&form), m_form(form)
{
    y += kSectionGap;
    Heading8 = form.addHeading(8, QStringLiteral("SSH-Parameter"), y);
    int r = y;
    y += kRowStep;
    ComboBox4Label = form.addCaption(QStringLiteral("ComboBox4"), QString(), r);
    ComboBox4 = new QComboBox(&form);
    ComboBox4->setObjectName(QStringLiteral("ComboBox4"));
    ComboBox4->addItems({QStringLiteral("Telnet"), QStringLiteral("SSH")});
    ComboBox4->setGeometry(kFieldX, r, kListWidth, kFieldHeight);
    tsshportLabel = form.addCaption(QStringLiteral("tsshport"), QString(), r);
    tsshportLabel->setGeometry(kPortCaptionX, r + 3, kPortX - kPortCaptionX - 4, 15);
    tsshport = form.addText(QStringLiteral("tsshport"), kPortWidth, r);
    tsshport->move(kPortX, r);
    tsshport->setValidator(new QIntValidator(1, 65535, tsshport));
    SpeedButton4 = form.addLink(QStringLiteral("SpeedButton4"), QString(), QRect(kPortX + kPortWidth + 16, r + 2, 200, 17));
    r = y;
    y += kRowStep;
    tsshkeyLabel = form.addCaption(QStringLiteral("tsshkey"), QString(), r);
    tsshkey = form.addText(QStringLiteral("tsshkey"), kAddressWidth, r);
    SpeedButton3 = form.addLink(QStringLiteral("SpeedButton3"), QString(), QRect(kFieldX + kAddressWidth + 8, r + 2, 50, 17));
    r = y;
    y += kRowStep;
    thostcompressLabel = form.addCaption(QStringLiteral("thostcompress"), QString(), r);
    thostcompress = new QCheckBox(&form);
    thostcompress->setObjectName(QStringLiteral("thostcompress"));
    thostcompress->setGeometry(kFieldX, r + 2, 460, 17);

    QWidget::setTabOrder(ComboBox4, tsshport);
    QWidget::setTabOrder(tsshport, tsshkey);
    QWidget::setTabOrder(tsshkey, thostcompress);
    m_test = new SshConnectionTest(&form, language);
    connect(m_test, &SshConnectionTest::runningChanged, this, [this] {
        translate(m_german);
        transportChanged();
    });
    connect(ComboBox4, &QComboBox::currentIndexChanged, this, &SshTaskFields::transportChanged);
    connect(SpeedButton3, &QPushButton::clicked, this, &SshTaskFields::SpeedButton3Click);
    connect(SpeedButton4, &QPushButton::clicked, this, &SshTaskFields::SpeedButton4Click);
    transportChanged();
}

void SshTaskFields::translate(bool german)
{
    m_german = german;
    auto pick = [german](const QString &en, const QString &de) { return german ? de : en; };
    ComboBox4Label->setText(pick(QStringLiteral("Connection"), QStringLiteral("Verbindung")));
    setHint(ComboBox4, pick(QStringLiteral("Telnet: the dump is written on the host and fetched per FTP or HTTP.\r"
                                           "SSH: encrypted; the dump comes straight home, nothing stays on the host."),
                            QStringLiteral("Telnet: der Dump wird auf dem Host geschrieben und per FTP oder HTTP "
                                           "geholt.\rSSH: verschlüsselt; der Dump kommt direkt nach Hause, auf dem "
                                           "Host bleibt nichts.")));
    tsshportLabel->setText(pick(QStringLiteral("SSH Port"), QStringLiteral("SSH-Port")));
    setHint(tsshport, pick(QStringLiteral("Port of the host's SSH server (usually 22)"),
                           QStringLiteral("Port des SSH-Servers des Hosts (meist 22)")));
    tsshkeyLabel->setText(pick(QStringLiteral("SSH Key File"), QStringLiteral("SSH-Schlüsseldatei")));
    thostcompressLabel->setText(pick(QStringLiteral("Compression"), QStringLiteral("Kompression")));
    thostcompress->setText(pick(QStringLiteral("Compress on the host (zstd, else gzip)"),
                                QStringLiteral("Auf dem Host komprimieren (zstd, sonst gzip)")));
    setHint(thostcompress, pick(QStringLiteral("Faster than SSH's own compression on any fast link.\rA host with "
                                               "neither program sends the dump as it is."),
                                QStringLiteral("Schneller als die eigene Kompression von SSH auf jeder schnellen "
                                               "Leitung.\rEin Host ohne beide Programme sendet den Dump, wie er ist.")));
    setHint(tsshkey, pick(QStringLiteral("Private key for the SSH login (optional).\rEmpty: the SSH agent, your "
                                         "default keys,\rthen the host password."),
                          QStringLiteral("Privater Schlüssel für die SSH-Anmeldung (optional).\rLeer: der SSH-Agent, "
                                         "Ihre Standardschlüssel,\rdann das Host-Passwort.")));
    SpeedButton3->setText(pick(QStringLiteral("Select"), QStringLiteral("Auswahl")));
    SpeedButton4->setText(m_test->isRunning() ? pick(QStringLiteral("Testing..."), QStringLiteral("Teste..."))
                                              : pick(QStringLiteral("Test connection"), QStringLiteral("Verbindung testen")));
}

void SshTaskFields::setTask(const BackupTask &task)
{
    ComboBox4->setCurrentIndex(task.usesSsh() ? 1 : 0);
    tsshport->setText(QString::number(task.sshport));
    tsshkey->setText(task.sshkey);
    thostcompress->setChecked(task.hostcompress == QLatin1String("auto"));
}

void SshTaskFields::applyTo(BackupTask &t, const BackupTask &loaded) const
{
    // A stored transport the list does not offer stays as it was unless changed.
    if (ComboBox4->currentIndex() != (loaded.usesSsh() ? 1 : 0))
        t.transport = ComboBox4->currentIndex();
    bool ok = false;
    const int port = tsshport->text().toInt(&ok);
    t.sshport = ok ? port : loaded.sshport;
    t.sshkey = tsshkey->text();
    // A stored value the box does not know stays as it was unless changed.
    if (thostcompress->isChecked() != (loaded.hostcompress == QLatin1String("auto")))
        t.hostcompress = thostcompress->isChecked() ? QStringLiteral("auto") : QStringLiteral("off");
}

bool SshTaskFields::usesSsh() const
{
    return ComboBox4->currentIndex() == 1;
}

void SshTaskFields::addMissing(QStringList &missing) const
{
    if (usesSsh() && !tsshport->hasAcceptableInput())
        missing << tsshportLabel->text();
}

QWidget *SshTaskFields::firstField() const
{
    return ComboBox4;
}

// Fields that the chosen transport does not use are greyed out (and not
// required on OK): an SSH run has no remote file to fetch.
void SshTaskFields::transportChanged()
{
    const bool ssh = usesSsh();
    for (const char *name : TelnetOnly)
        if (QWidget *w = m_form.findChild<QWidget *>(QString::fromLatin1(name)))
            w->setEnabled(!ssh);
    for (QWidget *w : {static_cast<QWidget *>(tsshport), static_cast<QWidget *>(tsshkey),
                       static_cast<QWidget *>(SpeedButton3), static_cast<QWidget *>(thostcompress)})
        w->setEnabled(ssh);
    SpeedButton4->setEnabled(ssh && !m_test->isRunning());
}

void SshTaskFields::setSettings(const SshClientSettings &settings)
{
    m_test->setSettings(settings);
}

void SshTaskFields::cancelTest()
{
    m_test->cancel();
}

void SshTaskFields::SpeedButton3Click()
{
    // Opened without a loop of its own; the choice arrives by signal.
    auto *dialog = new QFileDialog(&m_form, m_german ? QStringLiteral("SSH-Schlüsseldatei wählen")
                                                     : QStringLiteral("Choose the SSH key file"),
                                   tsshkey->text().isEmpty() ? QDir::homePath() + QStringLiteral("/.ssh") : tsshkey->text());
    dialog->setObjectName(QStringLiteral("SshKeyDialog"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setFilter(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    connect(dialog, &QFileDialog::fileSelected, tsshkey,
            [this](const QString &file) { tsshkey->setText(QDir::toNativeSeparators(file)); });
    dialog->open();
}

void SshTaskFields::SpeedButton4Click()
{
    m_test->start(m_form.task());
}
