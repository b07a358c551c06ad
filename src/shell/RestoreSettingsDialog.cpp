#include "shell/RestoreSettingsDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "restore/RestorePrograms.h"
#include "shell/LanguageTexts.h"
#include "tasks/AppSettings.h"

RestoreSettingsDialog::RestoreSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent)
    : QDialog(parent), m_store(store), m_texts(texts)
{
    setObjectName(QStringLiteral("RestoreSettingsDialog"));
    setWindowModality(Qt::WindowModal);
    auto *grid = new QGridLayout(this);
    m_serverLabel = new QLabel(this);
    m_server = new QLineEdit(this);
    m_server->setObjectName(QStringLiteral("serverProgram"));
    m_server->setPlaceholderText(QStringLiteral("/usr/sbin/mariadbd"));
    m_browse = new QPushButton(this);
    m_browse->setObjectName(QStringLiteral("browse"));
    m_found = new QLabel(this);
    m_found->setObjectName(QStringLiteral("found"));
    m_found->setWordWrap(true);
    m_limitLabel = new QLabel(this);
    m_limit = new QSpinBox(this);
    m_limit->setObjectName(QStringLiteral("limitMinutes"));
    m_limit->setRange(1, 24 * 60);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(m_serverLabel, 0, 0, 1, 2);
    grid->addWidget(m_server, 1, 0);
    grid->addWidget(m_browse, 1, 1);
    grid->addWidget(m_found, 2, 0, 1, 2);
    grid->addWidget(m_limitLabel, 3, 0);
    grid->addWidget(m_limit, 3, 1);
    grid->addWidget(m_status, 4, 0, 1, 2);
    grid->addWidget(m_buttons, 5, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    connect(m_server, &QLineEdit::textChanged, this, &RestoreSettingsDialog::showFound);
    connect(m_browse, &QPushButton::clicked, this, &RestoreSettingsDialog::browse);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &RestoreSettingsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(520, sizeHint().height());
}

void RestoreSettingsDialog::translate()
{
    setWindowTitle(m_texts.pick(QStringLiteral("Test restore"), QStringLiteral("Testwiederherstellung")));
    m_serverLabel->setText(m_texts.pick(
        QStringLiteral("Server program for test restores (empty: mariadbd or mysqld, as found):"),
        QStringLiteral("Serverprogramm für Testwiederherstellungen (leer: mariadbd oder mysqld, wie gefunden):")));
    m_browse->setText(m_texts.pick(QStringLiteral("Browse..."), QStringLiteral("Durchsuchen...")));
    m_limitLabel->setText(m_texts.pick(QStringLiteral("Time limit of one test restore (minutes):"),
                                       QStringLiteral("Zeitlimit einer Testwiederherstellung (Minuten):")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(m_texts.pick(QStringLiteral("Cancel"), QStringLiteral("Abbrechen")));
}

void RestoreSettingsDialog::openWithStoredValues()
{
    translate();
    const RestoreOptions options = AppSettings(m_store).ReadRestoreOptions({});
    m_server->setText(options.serverProgram);
    m_limit->setValue(options.limitMs / 60000);
    m_status->clear();
    showFound();
    resize(qMax(width(), sizeHint().width()), sizeHint().height());
    open();
}

QString RestoreSettingsDialog::foundText() const
{
    return m_found->text();
}

QString RestoreSettingsDialog::statusText() const
{
    return m_status->text();
}

void RestoreSettingsDialog::showFound()
{
    const RestorePrograms p = RestorePrograms::find(m_server->text().trimmed());
    if (p.found())
        m_found->setText(m_texts.pick(QStringLiteral("Uses %1 with %2"), QStringLiteral("Verwendet %1 mit %2")).arg(p.server, p.client));
    else if (!m_server->text().trimmed().isEmpty())
        m_found->setText(m_texts.pick(QStringLiteral("Not a server program with its client beside it: test restores are skipped"),
                                      QStringLiteral("Kein Serverprogramm mit seinem Client daneben: Testwiederherstellungen entfallen")));
    else
        m_found->setText(m_texts.pick(QStringLiteral("No server program found: test restores are skipped"),
                                      QStringLiteral("Kein Serverprogramm gefunden: Testwiederherstellungen entfallen")));
}

void RestoreSettingsDialog::browse()
{
    auto *files = new QFileDialog(this, m_texts.pick(QStringLiteral("Server program"), QStringLiteral("Serverprogramm")),
                                  QStringLiteral("/usr/sbin"));
    files->setAttribute(Qt::WA_DeleteOnClose);
    files->setFileMode(QFileDialog::ExistingFile);
    connect(files, &QFileDialog::fileSelected, m_server, &QLineEdit::setText);
    files->open();
}

void RestoreSettingsDialog::accept()
{
    if (!AppSettings(m_store).SaveRestoreOptions(m_server->text(), m_limit->value())) {
        m_status->setText(m_texts.pick(QStringLiteral("The settings could not be saved."),
                                       QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.")));
        return;
    }
    QDialog::accept();
}
