#pragma once

#include <QDialog>

#include "restore/ServerRestore.h"
#include "tasks/BackupTask.h"

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// Where "Restore into database..." loads a backup: the task's own database
// on the host (SSH tasks only), or a server the user names. Restoring
// overwrites data, so it goes on only once the chosen database's own name
// is typed.
class RestoreTargetDialog : public QDialog {
    Q_OBJECT
public:
    RestoreTargetDialog(const BackupTask &task, const QString &file, bool german, QWidget *parent = nullptr);

    bool intoHost() const;
    ServerTarget server() const;
    QString typedName() const;
    // The name that must be typed: the chosen target's database.
    QString expectedName() const;

    // "Restoring overwrites the data of TARGET with FILE. Type ..."
    static QString question(const QString &target, const QString &file, const QString &database, bool german);

private:
    void update();
    QString pick(const char *english, const char *german) const;

    BackupTask m_task;
    QString m_file;
    bool m_german;
    QRadioButton *m_host = nullptr;
    QRadioButton *m_server = nullptr;
    QLineEdit *m_serverHost = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QLineEdit *m_database = nullptr;
    QLabel *m_question = nullptr;
    QLineEdit *m_typed = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
