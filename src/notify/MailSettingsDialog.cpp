#include "notify/MailSettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "notify/FailureMail.h"
#include "notify/MailSender.h"
#include "schedule/OverdueWatch.h"
#include "shell/LanguageTexts.h"
#include "tasks/TaskStore.h"
#include "secrets/Keyring.h"
#include "secrets/SecretTexts.h"
#include "secrets/TaskSecrets.h"

MailSettingsDialog::MailSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent)
    : QDialog(parent), m_store(store), m_texts(texts)
{
    setObjectName(QStringLiteral("MailSettingsDialog"));
    auto *form = new QFormLayout;
    auto field = [&](QWidget *w, const char *name, int label) {
        w->setObjectName(QString::fromLatin1(name));
        m_labels[label] = new QLabel(this);
        form->addRow(m_labels[label], w);
    };
    field(m_server = new QLineEdit(this), "mailServer", 0);
    field(m_port = new QSpinBox(this), "mailPort", 1);
    m_port->setRange(1, 65535);
    field(m_security = new QComboBox(this), "mailSecurity", 2);
    m_security->addItems({QString(), QStringLiteral("STARTTLS"), QStringLiteral("TLS")});
    // A new choice of security suggests its usual port.
    connect(m_security, &QComboBox::activated, this,
            [this](int index) { m_port->setValue(MailSettings::defaultPort(index)); });
    field(m_user = new QLineEdit(this), "mailUser", 3);
    field(m_password = new QLineEdit(this), "mailPassword", 4);
    m_password->setEchoMode(QLineEdit::Password);
    field(m_sender_ = new QLineEdit(this), "mailSender", 5);
    field(m_recipient = new QLineEdit(this), "mailRecipient", 6);
    m_plainPassword = new QCheckBox(this);
    m_plainPassword->setObjectName(QStringLiteral("mailPlainPassword"));
    form->addRow(QString(), m_plainPassword);
    // The consent concerns an unencrypted connection only.
    connect(m_security, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_plainPassword->setEnabled(index == MailSettings::None); });
    field(m_overdueDays = new QSpinBox(this), "overdueDays", 7);
    m_overdueDays->setRange(0, 365);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("mailStatus"));
    m_status->setWordWrap(true);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_test = m_buttons->addButton(QString(), QDialogButtonBox::ActionRole);
    m_test->setObjectName(QStringLiteral("sendTestMail"));
    connect(m_test, &QPushButton::clicked, this, &MailSettingsDialog::sendTestMail);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &MailSettingsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &MailSettingsDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_status);
    layout->addWidget(m_buttons);

    // Only the answer to the latest test counts (tagged with its number).
    connect(&m_sender, &MailSender::finished, this, [this](const QString &tag, bool ok, const QString &error) {
        if (tag != QStringLiteral("test-%1").arg(m_testNumber))
            return;
        m_test->setEnabled(true);
        m_status->setText(ok ? m_texts.pick(QStringLiteral("Test mail sent."), QStringLiteral("Testmail gesendet."))
                             : FailureMail::notSentLine(m_texts.englishChecked(), error));
    });
}

void MailSettingsDialog::translate()
{
    const char *const english[] = {"SMTP server:", "Port:", "Encryption:", "User:", "Password:", "Sender:",
                                   "Recipient:", "Warn after days without success (0: never):"};
    const char *const german[] = {"SMTP-Server:", "Port:", "Verschlüsselung:", "Benutzer:", "Passwort:",
                                  "Absender:", "Empfänger:", "Warnen nach Tagen ohne Erfolg (0: nie):"};
    for (int i = 0; i < 8; ++i)
        m_labels[i]->setText(m_texts.pick(QString::fromUtf8(english[i]), QString::fromUtf8(german[i])));
    setWindowTitle(m_texts.pick(QStringLiteral("Notifications"), QStringLiteral("Benachrichtigungen")));
    m_security->setItemText(0, m_texts.pick(QStringLiteral("None"), QStringLiteral("Keine")));
    m_test->setText(m_texts.pick(QStringLiteral("Send test mail"), QStringLiteral("Testmail senden")));
    m_plainPassword->setText(m_texts.pick(QStringLiteral("Send user name and password without encryption"),
                                          QStringLiteral("Benutzername und Passwort unverschlüsselt senden")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(m_texts.pick(QStringLiteral("Cancel"), QStringLiteral("Abbrechen")));
}

void MailSettingsDialog::openWithStoredValues()
{
    translate();
    const MailSettings m = MailSettings::read(m_store);
    m_server->setText(m.server);
    m_port->setValue(m.port);
    m_security->setCurrentIndex(m.security);
    m_user->setText(m.user);
    m_password->setText(m.password);
    // Kept in the keyring and not read here: an empty field keeps it.
    m_inKeyring = m.passwordInKeyring;
    m_password->setPlaceholderText(m_inKeyring ? m_texts.pick(QStringLiteral("(in the keyring)"),
                                                              QStringLiteral("(im Schlüsselbund)"))
                                               : QString());
    m_sender_->setText(m.sender);
    m_recipient->setText(m.recipient);
    m_plainPassword->setChecked(m.plainPassword);
    m_plainPassword->setEnabled(m.security == MailSettings::None);
    m_overdueDays->setValue(OverdueWatch::readDays(m_store));
    m_status->clear();
    m_test->setEnabled(true);
    ++m_testNumber;  // answers to earlier tests no longer belong here
    open();
}

MailSettings MailSettingsDialog::typedSettings() const
{
    MailSettings m;
    m.server = m_server->text().trimmed();
    m.port = m_port->value();
    m.security = m_security->currentIndex();
    m.user = m_user->text();
    m.password = m_password->text();
    m.passwordInKeyring = m_inKeyring && m.password.isEmpty();
    m.sender = m_sender_->text().trimmed();
    m.recipient = m_recipient->text().trimmed();
    // Stored only where it applies, so a later switch to no encryption asks again.
    m.plainPassword = m.loginInClear() && m_plainPassword->isChecked();
    return m;
}

int MailSettingsDialog::typedOverdueDays() const
{
    return m_overdueDays->value();
}

QString MailSettingsDialog::statusText() const
{
    return m_status->text();
}

void MailSettingsDialog::sendTestMail()
{
    const MailSettings m = typedSettings();
    if (!m.isSet()) {
        m_status->setText(m_texts.pick(QStringLiteral("Server, sender and recipient are needed."),
                                       QStringLiteral("Server, Absender und Empfänger werden benötigt.")));
        return;
    }
    if (refusesLoginInClear(m))
        return;
    m_test->setEnabled(false);
    m_status->setText(m_texts.pick(QStringLiteral("Sending test mail ..."), QStringLiteral("Sende Testmail ...")));
    const QDateTime now = QDateTime::currentDateTime();
    const QString id = QStringLiteral("test-%1").arg(++m_testNumber);
    if (!m.passwordInKeyring || m.user.isEmpty()) {
        m_sender.send(m, FailureMail::compose(m, FailureMail::test(m_texts.englishChecked(), now), now), id);
        return;
    }
    Keyring::read(TaskSecrets::mailPassword(), this, [this, m, now, id](Keyring::Result result, const QString &pw) {
        if (result != Keyring::Result::Done) {
            m_status->setText(SecretTexts::lockedOrUnreachable(m_texts.german()));
            m_test->setEnabled(true);
            return;
        }
        MailSettings withPassword = m;
        withPassword.password = pw;
        m_sender.send(withPassword,
                      FailureMail::compose(withPassword, FailureMail::test(m_texts.englishChecked(), now), now), id);
    }, true);
}

bool MailSettingsDialog::refusesLoginInClear(const MailSettings &m)
{
    if (!m.loginInClear() || m.plainPassword)
        return false;
    m_status->setText(m_texts.pick(
        QStringLiteral("Without encryption the user name and password would cross the network in clear text. "
                       "Choose STARTTLS or TLS, or confirm sending them unencrypted."),
        QStringLiteral("Ohne Verschlüsselung gingen Benutzername und Passwort im Klartext über das Netz. "
                       "Wählen Sie STARTTLS oder TLS, oder bestätigen Sie das unverschlüsselte Senden.")));
    return true;
}

void MailSettingsDialog::accept()
{
    if (refusesLoginInClear(typedSettings()))
        return;
    const MailSettings typed = typedSettings();
    if (typed.password.isEmpty() || !TaskSecrets::useKeyring(m_store)) {
        save(typed);
        return;
    }
    // A typed password goes to the keyring; where it refuses, to the file as before.
    m_buttons->setEnabled(false);
    TaskSecrets::writeChecked(TaskSecrets::mailPassword(), typed.password, m_texts.german(), this,
                              [this, typed](const QString &problem) {
                                  m_buttons->setEnabled(true);
                                  MailSettings m = typed;
                                  m.passwordInKeyring = problem.isEmpty();
                                  if (m.passwordInKeyring)
                                      m.password.clear();
                                  save(m);
                              }, true);
}

void MailSettingsDialog::save(const MailSettings &m)
{
    if (!m.save(m_store) || !OverdueWatch::saveDays(m_store, typedOverdueDays())) {
        m_status->setText(m_texts.pick(QStringLiteral("The settings could not be saved."),
                                       QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.")));
        return;
    }
    emit settingsSaved();
    QDialog::accept();
}
