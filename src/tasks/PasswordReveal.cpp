#include "tasks/PasswordReveal.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <QStyle>

#include "secrets/SecretTexts.h"

PasswordReveal::PasswordReveal(QLineEdit *edit, EntrySource entry, QObject *parent)
    : QObject(parent), m_edit(edit), m_entry(std::move(entry))
{
    const QIcon icon = QIcon::fromTheme(QStringLiteral("view-reveal-symbolic"),
                                        QApplication::style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_action = m_edit->addAction(icon, QLineEdit::TrailingPosition);
    m_action->setObjectName(m_edit->objectName() + QStringLiteral("Show"));
    connect(m_action, &QAction::triggered, this, &PasswordReveal::toggle);
    translate(false);
}

void PasswordReveal::translate(bool german)
{
    m_german = german;
    m_action->setToolTip(german ? QStringLiteral("Passwort zeigen") : QStringLiteral("Show password"));
}

void PasswordReveal::hide()
{
    m_edit->setEchoMode(QLineEdit::Password);
}

void PasswordReveal::toggle()
{
    if (m_edit->echoMode() == QLineEdit::Normal) {
        hide();
        return;
    }
    const std::optional<Keyring::Entry> entry = m_edit->text().isEmpty() ? m_entry() : std::nullopt;
    if (!entry) {
        m_edit->setEchoMode(QLineEdit::Normal);
        return;
    }
    Keyring::read(
        *entry, this,
        [this](Keyring::Result result, const QString &value) {
            if (result != Keyring::Result::Done) {
                m_edit->setPlaceholderText(SecretTexts::lockedOrUnreachable(m_german));
                return;
            }
            // Only into a field still empty: what the user typed meanwhile stays.
            if (m_edit->text().isEmpty())
                m_edit->setText(value);
            m_edit->setEchoMode(QLineEdit::Normal);
        },
        true);
}
