#pragma once

#include <QDialog>
#include <QStringList>

#include "tasks/BackupTask.h"

class LanguageTexts;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class DumpOptionFields;
class OffsiteFields;
class PasswordReveal;
class SshTaskFields;
class TaskTimeEdit;
struct SshClientSettings;
class QFont;

// The design's texts fit its font; a wider substitute shrinks the label's
// font a little rather than cutting the text off.
void FitLabelToWidth(QLabel *label, const QFont &font);

// The task editor: a modal dialog over a copy of one task. Created once and
// kept; its caption routine runs whether it is shown or not.
class Ttaskform : public QDialog {
    Q_OBJECT
public:
    // language: the main window's; the message of the check on OK follows it.
    explicit Ttaskform(const LanguageTexts &language, QWidget *parent = nullptr);

    // Fills the fields. A run value other than 1 shows as inactive and any
    // method other than 0 as HTTP, which is how the scheduler and retrieval
    // read them.
    void setTask(const BackupTask &task);
    // The task as the fields hold it.
    BackupTask task() const;

    // The caption routine: 0 English, 1 German, anything else changes nothing.
    void TranslateTaskForm(int language);
    // The language of the captions now shown (0 until German is applied).
    int captionLanguage() const { return m_captionLanguage; }

    // The check on OK: the captions of the required fields left empty, in order.
    QStringList missingParameters() const;
    // The message listing them, lines ended by carriage returns.
    QString missingParametersMessage(const QStringList &missing) const;

    // "/" at the end of a non-empty remote directory or address.
    static QString withTrailingSlash(const QString &text);

    static const QString WindowCaption;

    // The link buttons.
    void SpeedButton1Click();  // "Select": choose the local directory
    void SpeedButton2Click();  // "OK"

    // Where "Test connection" finds known_hosts and the keys; the user's own
    // ~/.ssh unless tests say otherwise.
    void setSshSettings(const SshClientSettings &settings);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class SshTaskFields;  // build their rows with the helpers below
    friend class DumpOptionFields;
    friend class OffsiteFields;
    void buildWindow();
    QLabel *addHeading(int index, const QString &text, int &y);
    QLabel *addCaption(const QString &control, const QString &text, int y);
    QLabel *addHelp(const QString &control, int x, int y, int right = -1);  // -1: to the right edge
    QLineEdit *addText(const QString &name, int width, int y);
    QPushButton *addLink(const QString &name, const QString &text, const QRect &geometry);
    void normalise(QLineEdit *edit);
    void showError(const QString &text);
    // Enables the keep counts that apply and says in words what they keep.
    void updateKeepingSummary();
    void showKeyringPlaceholders();
    bool keepsPasswordsInKeyring() const;

    const LanguageTexts &m_language;
    int m_captionLanguage = 0;

    QLineEdit *ttname = nullptr;
    QLineEdit *tHost = nullptr;
    QLineEdit *tuser = nullptr;
    QLineEdit *tpassword = nullptr;
    QLineEdit *tftpdir = nullptr;
    QLineEdit *tsql = nullptr;
    QLineEdit *tdatabase = nullptr;
    QLineEdit *tdbuser = nullptr;
    QLineEdit *tdbpasswd = nullptr;
    PasswordReveal *m_revealHost = nullptr;
    PasswordReveal *m_revealDatabase = nullptr;
    QLineEdit *tbkfile = nullptr;
    QLineEdit *trdir = nullptr;
    QLineEdit *tdir = nullptr;
    QLineEdit *tinetpath = nullptr;
    TaskTimeEdit *ttime = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QCheckBox *CheckBox2 = nullptr;  // FTP with TLS
    QCheckBox *tTestRestore = nullptr;
    QLabel *tTestRestoreLabel = nullptr;
    QLineEdit *tpingurl = nullptr;
    QLabel *tpingurlLabel = nullptr;
    QComboBox *ComboBox2 = nullptr;
    QComboBox *ComboBox3 = nullptr;  // compression
    QSpinBox *tkeepdaily = nullptr;
    QSpinBox *tkeepweekly = nullptr;
    QSpinBox *tkeepmonthly = nullptr;
    QPushButton *SpeedButton1 = nullptr;
    QPushButton *SpeedButton2 = nullptr;
    SshTaskFields *m_ssh = nullptr;
    DumpOptionFields *m_dump = nullptr;
    OffsiteFields *m_offsite = nullptr;
    // The task last set: values the editor does not show pass through unchanged.
    BackupTask m_loaded;

    // Captions (left of a field), help texts (right of it), the sixth heading.
    QLabel *ttnameLabel = nullptr, *tHostLabel = nullptr, *tuserLabel = nullptr,
           *tpasswordLabel = nullptr, *tftpdirLabel = nullptr, *tsqlLabel = nullptr,
           *tdatabaseLabel = nullptr, *tdbuserLabel = nullptr, *tdbpasswdLabel = nullptr,
           *tbkfileLabel = nullptr, *trdirLabel = nullptr, *tdirLabel = nullptr,
           *tinetpathLabel = nullptr, *ttimeLabel = nullptr, *ComboBox1Label = nullptr,
           *CheckBox1Label = nullptr, *ComboBox2Label = nullptr, *CheckBox2Label = nullptr;
    QLabel *ttnameHelp = nullptr, *tHostHelp = nullptr, *tuserHelp = nullptr,
           *tpasswordHelp = nullptr, *tftpdirHelp = nullptr, *tsqlHelp = nullptr,
           *tdatabaseHelp = nullptr, *tdbuserHelp = nullptr, *tdbpasswdHelp = nullptr,
           *tbkfileHelp = nullptr, *tinetpathHelp = nullptr, *ttimeHelp = nullptr,
           *ComboBox1Help = nullptr, *ComboBox2Help = nullptr, *CheckBox2Help = nullptr;
    QLabel *Heading6 = nullptr;
    QLabel *Heading7 = nullptr;
    QLabel *ComboBox3Label = nullptr, *ComboBox3Help = nullptr, *tkeepdailyLabel = nullptr,
           *tkeepSummary = nullptr;
    QList<QLabel *> m_keepUnits;  // "daily", "weekly", "monthly" beside the counts
};
