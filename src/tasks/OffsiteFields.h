#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class OffsiteProbe;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPushButton;
class QSpinBox;
class QWidget;
class Ttaskform;
struct BackupTask;

// The task editor's off-site rows: the rclone or restic destination with
// "Test destination", a line that explains the destination's forms or says
// that its program is missing, the keep counts there (the local ones or
// their own), and rclone's configuration or restic's password file with its
// "Select" link. The fields other than the destination wait until there is one.
class OffsiteFields : public QObject {
    Q_OBJECT
public:
    // Builds the section into the form from row y on; y ends below it.
    OffsiteFields(Ttaskform &form, int &y);

    void translate(bool german);
    void setTask(const BackupTask &task);
    // Writes the section's values into t; loaded is the task the form was set to.
    void applyTo(BackupTask &t, const BackupTask &loaded) const;
    // Why the values cannot work, and the field a refusal puts the focus on.
    QString problem(bool german) const;
    QWidget *problemField() const;
    QWidget *firstField() const;
    QWidget *lastField() const;

    bool isTesting() const { return bool(m_probe); }
    void cancelTest();  // the editor closes

    void SpeedButton5Click();  // "Select": the configuration or password file
    void SpeedButton6Click();  // "Test destination"

signals:
    void testFinished(bool ok);

private:
    // The destination's values as typed, in a task of their own.
    BackupTask values() const;
    // The help line, the waiting fields and the test link for what is typed.
    void refresh();
    void showResult(bool ok, const QString &report);

    Ttaskform &m_form;
    bool m_german = false;
    QLabel *Heading10 = nullptr, *toffsiteLabel = nullptr, *toffsiteHelp = nullptr, *toffsiteconfigLabel = nullptr,
           *toffsitesameLabel = nullptr;
    QLineEdit *toffsite = nullptr;
    QLineEdit *toffsiteconfig = nullptr;
    QCheckBox *toffsitesame = nullptr;
    QSpinBox *toffsitedaily = nullptr, *toffsiteweekly = nullptr, *toffsitemonthly = nullptr;
    QList<QLabel *> m_units;
    QPushButton *SpeedButton5 = nullptr;
    QPushButton *SpeedButton6 = nullptr;
    // What setTask showed, so that a stored keep value nobody touched stays as it was.
    bool m_loadedSame = true;
    int m_loadedCounts[3] = {0, 0, 0};
    OffsiteProbe *m_probe = nullptr;  // while a test runs
    QPointer<QMessageBox> m_box;
};
