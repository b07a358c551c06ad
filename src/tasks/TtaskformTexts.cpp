// The task editor's texts in the interface language.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "shell/LanguageTexts.h"
#include "tasks/DumpOptionFields.h"
#include "tasks/OffsiteFields.h"
#include "tasks/SshTaskFields.h"
#include "tasks/TaskFormGeometry.h"
#include "tasks/Ttaskform.h"

using namespace TaskFormGeometry;

namespace {
const QString kExampleDomain = QStringLiteral("\"www.example.com\"");
}

void FitLabelToWidth(QLabel *label, const QFont &font)
{
    QFont f = font;
    while (QFontMetrics(f).horizontalAdvance(label->text()) > label->width() && f.pointSizeF() > 6.0)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    label->setFont(f);
}


void Ttaskform::TranslateTaskForm(int language)
{
    if (language != 0 && language != 1)
        return;
    const bool de = language == 1;
    auto pick = [de](const QString &en, const QString &ger) { return de ? ger : en; };

    // "Name" and "Host User" read the same in both languages and keep their design.
    ttnameHelp->setText(pick(QStringLiteral("Enter a unique name for this backup-task"),
                             QStringLiteral("Geben Sie einen eindeutigen Namen für diesen Task ein")));
    tHostLabel->setText(QStringLiteral("Host Name"));
    tHostHelp->setText(pick(QStringLiteral("Enter your full domain of the site here, i.e. "),
                            QStringLiteral("Geben Sie die vollständige Domain ein, Bsp. "))
                       + kExampleDomain);
    tuserHelp->setText(pick(QStringLiteral("Enter your host-username here"),
                            QStringLiteral("Geben Sie hier Ihren Benutzernamen ein")));
    tpasswordLabel->setText(pick(QStringLiteral("Host Password"), QStringLiteral("Host Passwort")));
    tpasswordHelp->setText(pick(QStringLiteral("Enter your password here"),
                                QStringLiteral("Geben Sie hier Ihr Benutzer-Passwort ein")));
    tftpdirLabel->setText(pick(QStringLiteral("FTP Directory"), QStringLiteral("FTP-Verzeichnis")));
    tftpdirHelp->setText(pick(QStringLiteral("Subdirectory of FTP-server where the backup-files are stored (optional)"),
                              QStringLiteral("Verzeichnis, in dem die Backup-Dateien gespeichert werden (optional).")));
    CheckBox2Label->setText(pick(QStringLiteral("FTP Security"), QStringLiteral("FTP-Sicherheit")));
    CheckBox2->setText(pick(QStringLiteral("FTP with TLS (FTPS)"), QStringLiteral("FTP mit TLS (FTPS)")));
    CheckBox2Help->setText(pick(QStringLiteral("Without TLS, FTP sends the host password in clear text"),
                                QStringLiteral("Ohne TLS sendet FTP das Host-Passwort im Klartext")));
    setHint(CheckBox2, pick(QStringLiteral("The FTP server must offer TLS (AUTH TLS)\rwith a valid certificate."),
                            QStringLiteral("Der FTP-Server muss TLS (AUTH TLS)\rmit gültigem Zertifikat anbieten.")));
    const QString canBeBlank = pick(QStringLiteral("This parameter can be left blank."),
                                    QStringLiteral("Dieser Parameter kann leer gelassen werden."));
    setHint(tftpdirLabel, canBeBlank);
    setHint(trdirLabel, canBeBlank);
    tsqlLabel->setText(QStringLiteral("mySQL-Server"));
    tsqlHelp->setText(pick(QStringLiteral("Enter the name of the mySQL-Server here"),
                           QStringLiteral("Geben Sie hier den Namen Ihres mySQL-Servers ein")));
    tdatabaseLabel->setText(pick(QStringLiteral("Databasename"), QStringLiteral("Datenbank-Name")));
    tdatabaseHelp->setText(pick(QStringLiteral("Enter the name of the mySQL-database here"),
                                QStringLiteral("Geben Sie hier den Namen der mySQL-Datenbank ein")));
    setHint(tdatabase, pick(QStringLiteral("Several: separated by blanks or commas,\r* for every database of the user;\reach is stored in a file of its own"),
                            QStringLiteral("Mehrere: durch Leerzeichen oder Kommas getrennt,\r* für jede Datenbank des Benutzers;\rjede wird in einer eigenen Datei gespeichert")));
    tdbuserLabel->setText(pick(QStringLiteral("Database-Username"), QStringLiteral("Datenbank-Benutzername")));
    tdbuserHelp->setText(pick(QStringLiteral("Enter your mySQL database-username"),
                              QStringLiteral("Geben Sie hier Ihren Datenbank-Benutzernamen ein")));
    setHint(tdbuser, pick(QStringLiteral("Can be left blank\r if mySQL-Username matches\rTelnet-Username"),
                          QStringLiteral("Kann leer gelassen werden,\rfalls der mySQL-Benutzername mit\r"
                                         "dem Telnet-Benutzernamen identisch ist")));
    tdbpasswdLabel->setText(pick(QStringLiteral("Database Password"), QStringLiteral("Datenbank-Passwort")));
    tdbpasswdHelp->setText(pick(QStringLiteral("Enter your database-password here"),
                                QStringLiteral("Geben Sie hier Ihr Datenbank-Passwort ein")));
    tbkfileLabel->setText(pick(QStringLiteral("Backup-Filename"), QStringLiteral("Backup-Dateiname")));
    tbkfileHelp->setText(pick(QStringLiteral("Enter the filename in which the sql-data should be stored"),
                              QStringLiteral("Geben Sie den Dateinamen, in den die SQL-Daten geschreiben werden, ein")));
    trdirLabel->setText(pick(QStringLiteral("Remote-Backupdirectory"), QStringLiteral("Remote-Backup-Verzeichnis")));
    setHint(trdir, pick(QStringLiteral("Attention:\rThis remote-directory must already exist."),
                        QStringLiteral("Hinweis:\rDiese Remote-Verzeichnis muss existieren.")));
    tdirLabel->setText(pick(QStringLiteral("Local Storage-Directory"), QStringLiteral("Lokales Sicherungsverzeichnis")));
    SpeedButton1->setText(pick(QStringLiteral("Select"), QStringLiteral("Auswahl")));
    tinetpathLabel->setText(pick(QStringLiteral("URL for HTTP-Download "), QStringLiteral("URL für HTTP-Download")));
    tinetpathHelp->setText(pick(QStringLiteral("without filename"), QStringLiteral("ohne Dateiname")));
    setHint(tinetpath, pick(QStringLiteral("Please put \"http://\" at the beginning"),
                            QStringLiteral("Bitte mit führendem \"http://\" eingeben")));
    Heading6->setText(pick(QStringLiteral("Scheduled Backup"), QStringLiteral("Automatisches Backup")));
    ttimeLabel->setText(pick(QStringLiteral("Daily Backup at"), QStringLiteral("Tägliches Backup um")));
    ttimeHelp->setText(pick(QStringLiteral("Enter time of scheduled daily backups (form: 24h)"),
                            QStringLiteral("Geben Sie die Uhrzeit für die automatische Datensicherung ein")));
    ComboBox1Label->setText(pick(QStringLiteral("Scheduled Backup-Task"), QStringLiteral("Tägliches Backup")));
    ComboBox1Help->setText(pick(QStringLiteral("Set \"active\" for scheduled, unattended backup-tasks"),
                                QStringLiteral("Wählen Sie \"active\" für automatische, unüberwachte Datensicherung")));
    CheckBox1Label->setText(pick(QStringLiteral("Archives"), QStringLiteral("Archive")));
    CheckBox1->setText(pick(QStringLiteral("Create daily Backup-Subdirectories"),
                            QStringLiteral("Erzeuge tägliche Unterverzeichnisse")));
    ComboBox2Label->setText(pick(QStringLiteral("Download-method"), QStringLiteral("Download-Methode")));
    ComboBox2Help->setText(pick(QStringLiteral("Choose a method zu download the backup-file"),
                                QStringLiteral("Wählen Sie eine Methode um die Backup-Datei herunterzuladen")));
    Heading7->setText(pick(QStringLiteral("Stored Backups"), QStringLiteral("Gespeicherte Backups")));
    ComboBox3Label->setText(pick(QStringLiteral("Compression"), QStringLiteral("Komprimierung")));
    ComboBox3->setItemText(0, pick(QStringLiteral("none"), QStringLiteral("keine")));
    ComboBox3Help->setText(pick(QStringLiteral("Stored as .gz or .zst, always with a .sha256 checksum file"),
                                QStringLiteral("Gespeichert als .gz oder .zst, immer mit Prüfsummendatei .sha256")));
    setHint(ComboBox3, pick(QStringLiteral("gzip: smaller, readable everywhere\rzstd: faster, often smaller still"),
                            QStringLiteral("gzip: kleiner, überall lesbar\rzstd: schneller, oft noch kleiner")));
    tkeepdailyLabel->setText(pick(QStringLiteral("Keep Backups"), QStringLiteral("Backups behalten")));
    const QString units[] = {pick(QStringLiteral("daily"), QStringLiteral("tägliche")),
                             pick(QStringLiteral("weekly"), QStringLiteral("wöchentliche")),
                             pick(QStringLiteral("monthly"), QStringLiteral("monatliche"))};
    for (int i = 0; i < m_keepUnits.size(); ++i)
        m_keepUnits[i]->setText(units[i]);
    const QString keepHint = pick(
        QStringLiteral("0 in all three keeps every backup.\rWithout daily subdirectories the daily count is the number "
                       "of copies:\rthe latest as the file name, older ones as .1, .2 ..."),
        QStringLiteral("0 in allen dreien behält jedes Backup.\rOhne tägliche Unterverzeichnisse ist die tägliche Zahl "
                       "die Anzahl der Kopien:\rdie neueste unter dem Dateinamen, ältere als .1, .2 ..."));
    for (QSpinBox *box : {tkeepdaily, tkeepweekly, tkeepmonthly})
        setHint(box, keepHint);
    setHint(tkeepdailyLabel, keepHint);
    tTestRestoreLabel->setText(pick(QStringLiteral("Test Restore"), QStringLiteral("Testwiederherstellung")));
    tpingurlLabel->setText(pick(QStringLiteral("Health Check URL"), QStringLiteral("Überwachungs-URL")));
    setHint(tpingurl, pick(QStringLiteral("Optional: a check service's address (such as https://hc-ping.com/...).\r"
                                          "It hears of each run's start, success or failure, and raises\r"
                                          "the alarm when no backup comes, also when this computer is off."),
                           QStringLiteral("Optional: die Adresse eines Überwachungsdienstes (etwa https://hc-ping.com/...).\r"
                                          "Er erfährt Start, Erfolg oder Fehlschlag jedes Laufs und schlägt\r"
                                          "Alarm, wenn kein Backup kommt, auch wenn dieser Computer aus ist.")));
    tTestRestore->setText(pick(QStringLiteral("Load each backup into a throwaway local server"),
                               QStringLiteral("Jedes Backup in einen lokalen Wegwerf-Server laden")));
    setHint(tTestRestore, pick(QStringLiteral("Proves that the backup restores: needs MariaDB or MySQL installed here\r"
                                              "(mariadbd or mysqld). Nothing outside can reach the test server."),
                               QStringLiteral("Beweist, dass sich das Backup wiederherstellen lässt: braucht hier MariaDB "
                                              "oder MySQL\r(mariadbd oder mysqld). Von außen ist der Testserver nicht erreichbar.")));
    m_ssh->translate(de);
    m_dump->translate(de);
    m_offsite->translate(de);
    m_captionLanguage = language;
    showKeyringPlaceholders();
    updateKeepingSummary();

    for (QLabel *label : findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        const QString name = label->objectName();
        if (name.endsWith(QLatin1String("Label")) || name.endsWith(QLatin1String("Help"))
            || name.endsWith(QLatin1String("Unit")))
            FitLabelToWidth(label, font());
    }
}
