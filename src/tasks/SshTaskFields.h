#pragma once

#include <QObject>
#include <QStringList>

class LanguageTexts;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;
class SshConnectionTest;
class Ttaskform;
struct BackupTask;
struct SshClientSettings;

// The task editor's SSH rows: the transport, the SSH port, the key file with
// its "Select" link and "Test connection". Greys out the fields of the form
// that an SSH run does not use.
class SshTaskFields : public QObject {
    Q_OBJECT
public:
    // The connection test, whose offered settings the dump fields take.
    SshConnectionTest *connectionTest() const { return m_test; }
    // Builds the section into the form from row y on; y ends below it.
    SshTaskFields(Ttaskform &form, const LanguageTexts &language, int &y);

    void translate(bool german);
    void setTask(const BackupTask &task);
    // Writes the section's values into t; loaded is the task the form was set to.
    void applyTo(BackupTask &t, const BackupTask &loaded) const;
    bool usesSsh() const;
    // The section's own part of the check on OK.
    void addMissing(QStringList &missing) const;
    QWidget *firstField() const;

    void setSettings(const SshClientSettings &settings);
    void cancelTest();  // the editor closes

    void SpeedButton3Click();  // "Select": choose the key file
    void SpeedButton4Click();  // "Test connection"

private:
    void transportChanged();

    Ttaskform &m_form;
    bool m_german = false;
    QComboBox *ComboBox4 = nullptr;  // transport: telnet, SSH
    QLineEdit *tsshport = nullptr;
    QLineEdit *tsshkey = nullptr;
    QLabel *thostcompressLabel = nullptr;
    QCheckBox *thostcompress = nullptr;
    QPushButton *SpeedButton3 = nullptr;
    QPushButton *SpeedButton4 = nullptr;
    QLabel *Heading8 = nullptr, *ComboBox4Label = nullptr, *tsshportLabel = nullptr, *tsshkeyLabel = nullptr;
    SshConnectionTest *m_test = nullptr;
};
