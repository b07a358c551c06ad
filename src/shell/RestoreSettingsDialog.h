#pragma once

#include <QDialog>

class LanguageTexts;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TaskStore;

// The "Options" dialog for test restores: which local server program
// proves the backups (empty: the one looked for), and how long one test may
// take. Shows what would be used as the path is typed. Opened without a
// nested loop: OK saves and closes, Cancel closes.
class RestoreSettingsDialog : public QDialog {
    Q_OBJECT
public:
    RestoreSettingsDialog(const TaskStore &store, const LanguageTexts &texts, QWidget *parent = nullptr);

    void openWithStoredValues();
    // What the typed path finds: "Uses /usr/sbin/mariadbd with /usr/bin/mariadb".
    QString foundText() const;
    QString statusText() const;
    void accept() override;

private:
    void translate();
    void showFound();
    void browse();

    const TaskStore &m_store;
    const LanguageTexts &m_texts;
    QLabel *m_serverLabel = nullptr;
    QLineEdit *m_server = nullptr;
    QPushButton *m_browse = nullptr;
    QLabel *m_found = nullptr;
    QLabel *m_limitLabel = nullptr;
    QSpinBox *m_limit = nullptr;
    QLabel *m_status = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
