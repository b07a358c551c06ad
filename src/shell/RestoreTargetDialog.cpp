#include "shell/RestoreTargetDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "restore/HostRestore.h"
#include "restore/RestoreTexts.h"

RestoreTargetDialog::RestoreTargetDialog(const BackupTask &task, const QString &file, bool german, QWidget *parent)
    : QDialog(parent), m_task(task), m_file(file), m_german(german)
{
    setObjectName(QStringLiteral("RestoreTargetDialog"));
    setWindowTitle(pick("Restore into database", "In Datenbank wiederherstellen"));
    auto *layout = new QVBoxLayout(this);

    m_host = new QRadioButton(this);
    m_host->setObjectName(QStringLiteral("intoHost"));
    m_host->setText(task.usesSsh() ? pick("The task's own database: %1, over SSH", "Die Datenbank der Aufgabe: %1, über SSH")
                                         .arg(HostRestore::target(task, german))
                                   : pick("The task's own database: needs an SSH task", "Die Datenbank der Aufgabe: braucht eine SSH-Aufgabe"));
    m_host->setEnabled(task.usesSsh());
    m_server = new QRadioButton(pick("A server I name, through the local client program:",
                                     "Ein Server, den ich nenne, über das lokale Clientprogramm:"),
                                this);
    m_server->setObjectName(QStringLiteral("intoServer"));
    layout->addWidget(m_host);
    layout->addWidget(m_server);

    auto *form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    const ServerTarget defaults;
    m_serverHost = new QLineEdit(defaults.host, this);
    m_serverHost->setObjectName(QStringLiteral("serverHost"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("serverPort"));
    m_port->setRange(1, 65535);
    m_port->setValue(defaults.port);
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("serverUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("serverPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_database = new QLineEdit(task.database, this);
    m_database->setObjectName(QStringLiteral("serverDatabase"));
    form->addRow(pick("Server:", "Server:"), m_serverHost);
    form->addRow(pick("Port:", "Port:"), m_port);
    form->addRow(pick("User:", "Benutzer:"), m_user);
    form->addRow(pick("Password:", "Passwort:"), m_password);
    form->addRow(pick("Database:", "Datenbank:"), m_database);
    layout->addLayout(form);

    m_question = new QLabel(this);
    m_question->setObjectName(QStringLiteral("question"));
    m_question->setWordWrap(true);
    layout->addWidget(m_question);
    m_typed = new QLineEdit(this);
    m_typed->setObjectName(QStringLiteral("typedName"));
    layout->addWidget(m_typed);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(pick("Restore", "Wiederherstellen"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(pick("Cancel", "Abbrechen"));
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    (task.usesSsh() ? m_host : m_server)->setChecked(true);
    for (QRadioButton *r : {m_host, m_server})
        connect(r, &QRadioButton::toggled, this, &RestoreTargetDialog::update);
    for (QLineEdit *e : {m_serverHost, m_database, m_typed})
        connect(e, &QLineEdit::textChanged, this, &RestoreTargetDialog::update);
    connect(m_port, &QSpinBox::valueChanged, this, &RestoreTargetDialog::update);
    update();
    resize(520, sizeHint().height());
}

QString RestoreTargetDialog::pick(const char *english, const char *german) const
{
    return QString::fromUtf8(m_german ? german : english);
}

QString RestoreTargetDialog::question(const QString &target, const QString &file, const QString &database, bool german)
{
    return QString::fromUtf8(german ? "Das Wiederherstellen überschreibt die Daten von %1 mit %2.\nGeben Sie zum "
                                      "Fortfahren den Datenbanknamen \"%3\" ein:"
                                    : "Restoring overwrites the data of %1 with %2.\nType the database name \"%3\" to go on:")
        .arg(target, file, database);
}

bool RestoreTargetDialog::intoHost() const
{
    return m_host->isChecked();
}

ServerTarget RestoreTargetDialog::server() const
{
    ServerTarget t;
    t.host = m_serverHost->text().trimmed();
    t.port = m_port->value();
    t.user = m_user->text();
    t.password = m_password->text();
    t.database = m_database->text().trimmed();
    return t;
}

QString RestoreTargetDialog::typedName() const
{
    return m_typed->text();
}

QString RestoreTargetDialog::expectedName() const
{
    return intoHost() ? m_task.database : server().database;
}

void RestoreTargetDialog::update()
{
    const bool named = m_server->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{m_serverHost, m_port, m_user, m_password, m_database})
        w->setEnabled(named);
    const QString target = named ? ServerRestore::target(server(), m_german) : HostRestore::target(m_task, m_german);
    m_question->setText(question(target, m_file, expectedName(), m_german));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!expectedName().isEmpty() && typedName() == expectedName());
}
