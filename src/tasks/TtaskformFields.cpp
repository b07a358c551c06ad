// The task editor's fields read back into a task, and the check for what a
// task needs before it can run.
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>

#include "shell/LanguageTexts.h"
#include "tasks/DumpOptionFields.h"
#include "tasks/OffsiteFields.h"
#include "tasks/PasswordReveal.h"
#include "tasks/SshTaskFields.h"
#include "tasks/TaskTimeEdit.h"
#include "tasks/Ttaskform.h"

BackupTask Ttaskform::task() const
{
    BackupTask t = m_loaded;
    t.name = ttname->text();
    t.host = tHost->text();
    t.hostuser = tuser->text();
    t.hostpw = tpassword->text();
    t.ftpdir = tftpdir->text();
    t.mysql = tsql->text();
    t.database = tdatabase->text();
    t.dbuser = tdbuser->text();
    t.dbpw = tdbpasswd->text();
    t.backupfile = tbkfile->text();
    t.remotedir = trdir->text();
    t.localdir = tdir->text();
    t.httpath = tinetpath->text();
    t.backuptime = ttime->maskedText();
    t.run = ComboBox1->currentIndex();
    t.subdirectory = CheckBox1->isChecked();
    t.method = ComboBox2->currentIndex();
    t.compress = ComboBox3->currentIndex();
    t.testrestore = tTestRestore->isChecked();
    t.pingurl = tpingurl->text().trimmed();
    t.ftptls = CheckBox2->isChecked();
    t.keepdaily = tkeepdaily->value();
    t.keepweekly = tkeepweekly->value();
    t.keepmonthly = tkeepmonthly->value();
    m_ssh->applyTo(t, m_loaded);
    t.dumpoptions = m_dump->options();
    t.dumpprogram = m_dump->program();
    m_offsite->applyTo(t, m_loaded);
    return t;
}

QStringList Ttaskform::missingParameters() const
{
    QStringList missing;
    const bool ssh = m_ssh->usesSsh();
    const std::pair<const QLineEdit *, const QLabel *> required[] = {
        {ttname, ttnameLabel},       {tHost, tHostLabel},         {tuser, tuserLabel},
        {tpassword, tpasswordLabel}, {tsql, tsqlLabel},           {tdatabase, tdatabaseLabel},
        {tdbpasswd, tdbpasswdLabel}, {tbkfile, tbkfileLabel},     {tdir, tdirLabel},
    };
    // Empty means no text at all: blanks count as filled.
    for (const auto &[field, caption] : required) {
        // Over SSH a key may stand in for the host password.
        if (ssh && field == tpassword)
            continue;
        // Left empty, the keyring's password stays.
        if (keepsPasswordsInKeyring() && (field == tpassword || field == tdbpasswd))
            continue;
        if (field->text().isEmpty())
            missing << caption->text();
    }
    if (ttime->maskedText() == TaskTimeEdit::BlankTime)
        missing << ttimeLabel->text();
    if (!ssh && ComboBox2->currentIndex() == 1 && tinetpath->text().isEmpty())
        missing << tinetpathLabel->text();
    m_ssh->addMissing(missing);
    return missing;
}

QString Ttaskform::missingParametersMessage(const QStringList &missing) const
{
    QString text = m_language.german()
                       ? QStringLiteral("Ihr Task kann nicht aktiviert werden, da folgende Parameter fehlen:")
                       : QStringLiteral("Your task can not be actived, because the following parameters are missing:");
    text += QStringLiteral("\r\r");
    for (const QString &caption : missing)
        text += QStringLiteral("   ") + caption + QLatin1Char('\r');
    return text;
}

QString Ttaskform::withTrailingSlash(const QString &text)
{
    if (text.isEmpty() || text.endsWith(QLatin1Char('/')))
        return text;
    return text + QLatin1Char('/');
}

void Ttaskform::normalise(QLineEdit *edit)
{
    const QString text = withTrailingSlash(edit->text());
    if (text != edit->text())
        edit->setText(text);
}

void Ttaskform::showKeyringPlaceholders()
{
    // A task in the keyring shows its passwords as kept there, unread: a
    // field left empty keeps them, one typed into replaces them.
    const QString kept = keepsPasswordsInKeyring()
                             ? (m_captionLanguage == 1 ? QStringLiteral("(im Schlüsselbund)")
                                                       : QStringLiteral("(in the keyring)"))
                             : QString();
    tpassword->setPlaceholderText(kept);
    tdbpasswd->setPlaceholderText(kept);
    for (PasswordReveal *reveal : {m_revealHost, m_revealDatabase}) {
        reveal->translate(m_captionLanguage == 1);
        reveal->hide();
    }
}

bool Ttaskform::keepsPasswordsInKeyring() const
{
    return m_loaded.secrets == QLatin1String("keyring");
}
