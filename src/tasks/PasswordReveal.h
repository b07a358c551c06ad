#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "secrets/Keyring.h"

class QAction;
class QLineEdit;

// "Show password" inside a password field: shows the text, and hides it
// again. A field left empty for a task whose passwords are in the keyring
// reads that one password from the keyring first, only then; the keyring
// may ask to be unlocked by itself.
class PasswordReveal : public QObject {
    Q_OBJECT
public:
    // entry: the keyring entry behind an empty field; none: the field is all.
    using EntrySource = std::function<std::optional<Keyring::Entry>()>;
    PasswordReveal(QLineEdit *edit, EntrySource entry, QObject *parent = nullptr);

    void translate(bool german);
    // Back to stars (a new task in the editor).
    void hide();
    QAction *action() const { return m_action; }

private:
    void toggle();

    QLineEdit *m_edit;
    EntrySource m_entry;
    QAction *m_action;
    bool m_german = false;
};
