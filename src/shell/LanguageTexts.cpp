#include "shell/LanguageTexts.h"

const QString WarningPrefix = QStringLiteral("!!! ");

void LanguageTexts::refill()
{
    if (Language == 0) {
        CloseQuestion = QStringLiteral("Do you really want to close this application\r"
                                       "and abort the backup-capabilities for your mySQL-database ?");
        SavedSuffix = QStringLiteral(" saved successfully");
        DownloadFailed = QStringLiteral("Download failed");
        SendDumpCommand = QStringLiteral("Send dump-command");
        SendPassword = QStringLiteral("Send password");
        FinishingSession = QStringLiteral("Finishing Telnet-session");
        SuccessfulOn = QStringLiteral("Successful on ");
        NotSuccessfulOn = WarningPrefix + QStringLiteral("Not Successful on ");
    } else if (Language == 1 || CloseQuestion.isEmpty()) {
        CloseQuestion = QStringLiteral("Möchten Sie die Anwendung wirklich beenden\r"
                                       "und die Datensicherungsfunktion für Ihre mySQL-Datenbank abbrechen ?");
        SavedSuffix = QStringLiteral(" erfolgreich gespeichert");
        DownloadFailed = QStringLiteral("Download gescheitert");
        SendDumpCommand = QStringLiteral("Sende dump-command");
        SendPassword = QStringLiteral("Sende Passwort");
        FinishingSession = QStringLiteral("Beende Telnet-Sitzung");
        SuccessfulOn = QStringLiteral("Erfolgreich am ");
        NotSuccessfulOn = WarningPrefix + QStringLiteral("Nicht Erfolgreich am ");
    }
}
