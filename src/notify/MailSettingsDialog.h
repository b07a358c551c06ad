#pragma once

#include <QDialog>

#include "notify/MailSender.h"
#include "notify/MailSettings.h"

class LanguageTexts;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TaskStore;

// The "Options" dialog for failure mail and the overdue warning. Opened
// without a nested loop: OK saves and closes, Cancel closes. "Send test mail"
// sends with the values as typed and shows the answer in the dialog.
class MailSettingsDialog : public QDialog {
    Q_OBJECT
public:
    MailSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent = nullptr);

    // Fills the fields from the store and captions them in the current
    // language; then shows the dialog.
    void openWithStoredValues();

    MailSettings typedSettings() const;
    int typedOverdueDays() const;
    QString statusText() const;

    void sendTestMail();
    MailSender &testMailSender() { return m_sender; }
    void accept() override;

signals:
    // The settings reached the store.
    void settingsSaved();

private:
    void translate();
    // Shows why a login without TLS is not taken without the user's consent.
    bool refusesLoginInClear(const MailSettings &m);
    // Saves and closes; a refusal is said and the dialog stays.
    void save(const MailSettings &m);

    const TaskStore &m_store;
    const LanguageTexts &m_texts;
    MailSender m_sender;
    QLineEdit *m_server = nullptr;
    QSpinBox *m_port = nullptr;
    QComboBox *m_security = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_sender_ = nullptr;
    QLineEdit *m_recipient = nullptr;
    QCheckBox *m_plainPassword = nullptr;
    QSpinBox *m_overdueDays = nullptr;
    QLabel *m_labels[8] = {};
    QLabel *m_status = nullptr;
    QPushButton *m_test = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
    quint64 m_testNumber = 0;
    bool m_inKeyring = false;  // the stored password is in the keyring
};
