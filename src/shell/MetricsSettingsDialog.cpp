#include "shell/MetricsSettingsDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/LanguageTexts.h"
#include "tasks/AppSettings.h"

MetricsSettingsDialog::MetricsSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent)
    : QDialog(parent), m_store(store), m_texts(texts)
{
    setObjectName(QStringLiteral("MetricsSettingsDialog"));
    setWindowModality(Qt::WindowModal);
    auto *grid = new QGridLayout(this);
    m_pathLabel = new QLabel(this);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("metricsFile"));
    m_path->setPlaceholderText(QStringLiteral("/var/lib/prometheus/node-exporter/vaultwick.prom"));
    m_browse = new QPushButton(this);
    m_hint = new QLabel(this);
    m_hint->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(m_pathLabel, 0, 0, 1, 2);
    grid->addWidget(m_path, 1, 0);
    grid->addWidget(m_browse, 1, 1);
    grid->addWidget(m_hint, 2, 0, 1, 2);
    grid->addWidget(m_status, 3, 0, 1, 2);
    grid->addWidget(m_buttons, 4, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    connect(m_browse, &QPushButton::clicked, this, &MetricsSettingsDialog::browse);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &MetricsSettingsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(560, sizeHint().height());
}

void MetricsSettingsDialog::translate()
{
    setWindowTitle(m_texts.pick(QStringLiteral("Metrics file"), QStringLiteral("Metrikdatei")));
    m_pathLabel->setText(m_texts.pick(QStringLiteral("Metrics file in the Prometheus text format (empty: none):"),
                                      QStringLiteral("Metrikdatei im Textformat von Prometheus (leer: keine):")));
    m_browse->setText(m_texts.pick(QStringLiteral("Browse..."), QStringLiteral("Durchsuchen...")));
    m_hint->setText(m_texts.pick(
        QStringLiteral("Rewritten after each run with each task's last success, its outcome and the size of its "
                       "backup, for node_exporter's textfile collector."),
        QStringLiteral("Nach jedem Lauf neu geschrieben, mit dem letzten Erfolg, dem Ergebnis und der Größe der "
                       "Sicherung jeder Aufgabe, für den Textfile-Collector von node_exporter.")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(m_texts.pick(QStringLiteral("Cancel"), QStringLiteral("Abbrechen")));
}

void MetricsSettingsDialog::openWithStoredValue()
{
    translate();
    m_path->setText(AppSettings(m_store).ReadMetricsFile());
    m_status->clear();
    // The wrapped hint's height is known only once it has its text.
    resize(qMax(width(), 560), heightForWidth(qMax(width(), 560)));
    open();
}

QString MetricsSettingsDialog::statusText() const
{
    return m_status->text();
}

void MetricsSettingsDialog::browse()
{
    auto *files = new QFileDialog(this, m_texts.pick(QStringLiteral("Metrics file"), QStringLiteral("Metrikdatei")),
                                  QFileInfo(m_path->text()).absolutePath());
    files->setAttribute(Qt::WA_DeleteOnClose);
    files->setAcceptMode(QFileDialog::AcceptSave);
    files->setNameFilter(QStringLiteral("*.prom"));
    connect(files, &QFileDialog::fileSelected, m_path, &QLineEdit::setText);
    files->open();
}

void MetricsSettingsDialog::accept()
{
    const QString path = m_path->text().trimmed();
    // The runs write it unattended: a folder that is not there would fail every night.
    if (!path.isEmpty() && (!QDir::isAbsolutePath(path) || !QFileInfo(QFileInfo(path).absolutePath()).isDir())) {
        m_status->setText(m_texts.pick(QStringLiteral("Give a full path in an existing folder."),
                                       QStringLiteral("Geben Sie einen vollständigen Pfad in einem vorhandenen Ordner an.")));
        return;
    }
    if (!AppSettings(m_store).SaveMetricsFile(path)) {
        m_status->setText(m_texts.pick(QStringLiteral("The settings could not be saved."),
                                       QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.")));
        return;
    }
    QDialog::accept();
}
