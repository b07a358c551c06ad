#include "shell/OffsiteLimitDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "shell/LanguageTexts.h"
#include "tasks/AppSettings.h"

namespace {
// 10 GiB/s: beyond any line a limit is meant for.
constexpr int kMostKiBPerSecond = 10 * 1024 * 1024;
}

OffsiteLimitDialog::OffsiteLimitDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent)
    : QDialog(parent), m_store(store), m_texts(texts)
{
    setObjectName(QStringLiteral("OffsiteLimitDialog"));
    setWindowModality(Qt::WindowModal);
    auto *grid = new QGridLayout(this);
    m_limitLabel = new QLabel(this);
    m_limit = new QSpinBox(this);
    m_limit->setObjectName(QStringLiteral("offsiteLimit"));
    m_limit->setRange(0, kMostKiBPerSecond);
    m_limit->setSingleStep(128);
    m_limit->setSuffix(QStringLiteral(" KiB/s"));
    m_limitLabel->setBuddy(m_limit);
    m_hint = new QLabel(this);
    m_hint->setWordWrap(true);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(m_limitLabel, 0, 0);
    grid->addWidget(m_limit, 0, 1);
    grid->addWidget(m_hint, 1, 0, 1, 2);
    grid->addWidget(m_status, 2, 0, 1, 2);
    grid->addWidget(m_buttons, 3, 0, 1, 2);
    grid->setColumnStretch(0, 1);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &OffsiteLimitDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    resize(480, sizeHint().height());
}

void OffsiteLimitDialog::translate()
{
    setWindowTitle(m_texts.pick(QStringLiteral("Off-site bandwidth limit"), QStringLiteral("Bandbreite externer Kopien")));
    m_limitLabel->setText(m_texts.pick(QStringLiteral("The most an off-site copy may send:"),
                                       QStringLiteral("Höchstens so viel sendet eine externe Kopie:")));
    m_limit->setSpecialValueText(m_texts.pick(QStringLiteral("no limit"), QStringLiteral("keine Grenze")));
    m_hint->setText(m_texts.pick(
        QStringLiteral("For rclone and restic, from the next copy on; 0 lets them take the whole line. "
                       "1024 KiB/s is about 8 Mbit/s."),
        QStringLiteral("Für rclone und restic, ab der nächsten Kopie; 0 lässt sie die ganze Leitung nutzen. "
                       "1024 KiB/s sind etwa 8 Mbit/s.")));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(m_texts.pick(QStringLiteral("Cancel"), QStringLiteral("Abbrechen")));
}

void OffsiteLimitDialog::openWithStoredValue()
{
    translate();
    m_limit->setValue(AppSettings(m_store).ReadOffsiteLimit());
    m_status->clear();
    // The wrapped hint's height is known only once it has its text.
    resize(qMax(width(), 480), heightForWidth(qMax(width(), 480)));
    open();
}

QString OffsiteLimitDialog::statusText() const
{
    return m_status->text();
}

void OffsiteLimitDialog::accept()
{
    const int limit = m_limit->value();
    if (!AppSettings(m_store).SaveOffsiteLimit(limit)) {
        m_status->setText(m_texts.pick(QStringLiteral("The settings could not be saved."),
                                       QStringLiteral("Die Einstellungen konnten nicht gespeichert werden.")));
        return;
    }
    QDialog::accept();
}
