#include "tasks/TaskTimeEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

namespace {
const QChar kBlank = QLatin1Char('_');
}

const QString TaskTimeEdit::BlankTime = QStringLiteral("  :  ");
// The same wording in both languages.
const QString TaskTimeEdit::InvalidInputMessage =
    QStringLiteral("Ungültiger Eingabewert. Mit der Taste ESC machen Sie die Änderungen rückgängig.");

TaskTimeEdit::TaskTimeEdit(QWidget *parent) : QLineEdit(parent)
{
    // "0" optional digit, "9" required digit, "_" shows unfilled positions.
    setInputMask(QStringLiteral("09:99;_"));
    setMaskedText(BlankTime);
}

QString TaskTimeEdit::maskedText() const
{
    QString text = displayText();
    text.replace(kBlank, QLatin1Char(' '));
    return text;
}

void TaskTimeEdit::setMaskedText(const QString &text)
{
    // Qt skips spaces when it fits text into a mask; the blank character
    // keeps each character in its own position.
    QString fitted = text;
    fitted.replace(QLatin1Char(' '), kBlank);
    setText(fitted);
    setModified(false);
    m_undoText = maskedText();
}

bool TaskTimeEdit::checkOnLeave()
{
    if (!needsInput()) {
        m_undoText = maskedText();
        return true;
    }
    if (m_reporting)
        return false;
    m_reporting = true;
    QApplication::beep();
    setFocus(Qt::OtherFocusReason);
    QPointer<TaskTimeEdit> self(this);
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), InvalidInputMessage,
                    QMessageBox::Ok, window());
    box.exec();
    if (!self)
        return false;
    m_reporting = false;
    if (window()->isVisible())
        setFocus(Qt::OtherFocusReason);
    return false;
}

void TaskTimeEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    // Leaving means moving to another control of the dialog, not the window
    // losing activation or a context menu opening.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (m_reporting || !needsInput()) {
        if (!m_reporting)
            m_undoText = maskedText();
        return;
    }
    // Not from inside the focus change: report once it has settled.
    QTimer::singleShot(0, this, [this] {
        if (window()->isVisible() && needsInput())
            checkOnLeave();
    });
}

void TaskTimeEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && isModified()) {
        setMaskedText(m_undoText);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
