#include "shell/HowToTopics.h"

namespace {

// Topic 4 is about one (invented) German hosting provider.
const QString Provider = QStringLiteral("Kestelwerk Netzdienste GmbH");

struct Topic {
    QString titleEn;
    QString titleDe;
    QStringList stepsEn;
    QStringList stepsDe;
};

const Topic *topics()
{
    static const Topic table[HowToTopics::Count] = {
        {QStringLiteral("How to backup a new database"),
         QStringLiteral("Neue Datenbanken sichern"),
         {QStringLiteral("Click the list \"Backup-Parameter\" and choose \"New\" in the contextmenu (right mouse button) "
                         "of the \"Back-Parameter\"-Listing. Fill out the complete form with your parameters."),
          QStringLiteral("Click \"OK\" in the \"Task.Parameter\"-window."),
          QStringLiteral("The new backup-task will be added to the \"Back-Parameter\"-Listing.")},
         {QStringLiteral("Gehen Sie zur Liste Task-Parameter und wählen Sie mit dem Kontextmenü (rechte Maustaste) "
                         "\"Neu\" und füllen Sie bitte alle Eingabefelder aus."),
          QStringLiteral("Klicken Sie im \"Task.Parameter\"-Fenster \"OK\"."),
          QStringLiteral("Der neue Backup-Task wird in die Liste der Backup-Tasks eingefügt.")}},

        {QStringLiteral("How to edit a backup-task"),
         QStringLiteral("Backup-Task bearbeiten"),
         {QStringLiteral("Click the list \"Backup-Parameter\" and choose an existing backup-task with the left button of "
                         "your mouse. Choose the command \"Edit\" in the contextmenu (right mouse button) of the "
                         "\"Back-Parameter\"-Listing."),
          QStringLiteral("Edit the parameters. If you change the name of the backup-task the backup-task will be added "
                         "to the list of backup-tasks."),
          QStringLiteral("Click \"OK\" in the \"Task.Parameter\"-window to apply the changes.")},
         {QStringLiteral("Gehen Sie zur Liste Task-Parameter, klicken Sie einen vorhandenen Task an und wählen Sie mit "
                         "dem Kontextmenü (rechte Maustaste) \"Bearbeiten\"."),
          QStringLiteral("Führen Sie die Änderungen durch. Falls Sie den Namen ändern wird dieser Task der Liste der "
                         "Backup-Task hinzugefügt."),
          QStringLiteral("Klicken Sie im \"Task.Parameter\"-Fenster \"OK\" um die Änderungen zu übernehmen.")}},

        {QStringLiteral("How to duplicate a backup-task"),
         QStringLiteral("Backup-Task duplizieren"),
         {QStringLiteral("Click the list \"Backup-Parameter\" and choose an existing backup-task with the left button of "
                         "your mouse. Choose the command \"Duplicate\" in the contextmenu (right mouse button) of the "
                         "\"Back-Parameter\"-Listing."),
          QStringLiteral("Edit the the name of the backup-task in the \"Task.Parameter\"-window."),
          QStringLiteral("Click \"OK\" in the \"Task.Parameter\"-window to apply the changes and save this duplicated "
                         "task.")},
         {QStringLiteral("Gehen Sie zur Liste Task-Parameter, klicken Sie einen vorhandenen Task an und wählen Sie mit "
                         "dem Kontextmenü (rechte Maustaste) \"Duplizieren\"."),
          QStringLiteral("Geben Sie den neuen Namen an."),
          QStringLiteral("Klicken Sie im \"Task.Parameter\"-Fenster \"OK\" um den neuen, duplizierten Task in die Liste "
                         "der Backup-Tasks zu übernehmen.")}},

        {QStringLiteral("Several backups of the same database daily"),
         QStringLiteral("Mehrere Sicherungen pro Tag"),
         {QStringLiteral("By design the schedule of a backup is daily. If you intend to make more backups a day then "
                         "duplicate this particular backup-task and set different times to these tasks."),
          QStringLiteral("Take care that all these task are set \"active\".")},
         {QStringLiteral("Standardmäßig werden Sicherungen täglich durchgeführt. Um mehrere Sicherungen einer Datenbank "
                         "pro Tag durchzuführen, duplizieren Sie den entsprechenden Backup-Task der Datenbank und "
                         "versehen ihn mit unterschiedlichen Zeiten."),
          QStringLiteral("Achten Sie darauf, dass der Backup-Task \"aktiv\" ist.")}},

        {QStringLiteral("How to backup from German ISP \"") + Provider + QStringLiteral("\""),
         QStringLiteral("Backup bei der ") + Provider,
         {QStringLiteral("Home-directory of your Internet-Site: \"/srv/kestelwerk/kunden/"
                         "[insert the first two letters of your domain, e.g. mu for musterseite.example]/"
                         "[insert your full domain name with www., e.g. www.musterseite.example]/htdocs/\""),
          QStringLiteral("Database-server: sqlhost.kestelwerk.example")},
         {QStringLiteral("Home-Verzeichnis der Internet-Site: \"/srv/kestelwerk/kunden/"
                         "[die ersten zwei Buchstaben Ihrer Domain einsetzen, z. B. mu für musterseite.example]/"
                         "[Ihren vollständigen Domainnamen mit www. einsetzen, z. B. www.musterseite.example]/htdocs/\""),
          QStringLiteral("Datenbank-Server: sqlhost.kestelwerk.example")}},

        {QStringLiteral("Compression, checksums and keeping backups"),
         QStringLiteral("Komprimierung, Prüfsummen und Aufbewahrung"),
         {QStringLiteral("Choose a compression under \"Stored Backups\" in the \"Task.Parameter\"-window: \"gzip\" "
                         "stores the backup-file as NAME.gz, \"zstd\" as NAME.zst. The file is compressed while it is "
                         "downloaded. Open it with zcat, gzip -d, zstdcat or zstd -d; files stored earlier stay as "
                         "they are."),
          QStringLiteral("Beside every backup-file lies a checksum file NAME.sha256. To check a backup, run "
                         "\"sha256sum -c NAME.sha256\" in its directory. A backup whose checksum does not match "
                         "what was written is not kept, and the run counts as failed."),
          QStringLiteral("With \"Create daily Backup-Subdirectories\" the three keep counts decide how long backups "
                         "stay: the newest daily ones, the newest of each week and the newest of each month. After "
                         "every successful run older backup-files of this task (and their checksum files) are "
                         "deleted, and the protocol says how many. Other files are never touched. 0 in all three "
                         "keeps every backup."),
          QStringLiteral("Without daily subdirectories the daily count says how many copies are kept: the latest "
                         "under the file name, the older ones as NAME.1, NAME.2 and so on.")},
         {QStringLiteral("Wählen Sie unter \"Gespeicherte Backups\" im \"Task.Parameter\"-Fenster eine "
                         "Komprimierung: \"gzip\" speichert die Backup-Datei als NAME.gz, \"zstd\" als NAME.zst. "
                         "Die Datei wird schon beim Herunterladen komprimiert. Öffnen Sie sie mit zcat, gzip -d, "
                         "zstdcat oder zstd -d; früher gespeicherte Dateien bleiben, wie sie sind."),
          QStringLiteral("Neben jeder Backup-Datei liegt eine Prüfsummendatei NAME.sha256. Um ein Backup zu prüfen, "
                         "rufen Sie in seinem Verzeichnis \"sha256sum -c NAME.sha256\" auf. Ein Backup, dessen "
                         "Prüfsumme nicht zum Geschriebenen passt, wird nicht behalten, und der Lauf gilt als "
                         "gescheitert."),
          QStringLiteral("Mit \"Erzeuge tägliche Unterverzeichnisse\" bestimmen die drei Zahlen, wie lange Backups "
                         "bleiben: die neuesten täglichen, das neueste jeder Woche und das neueste jedes Monats. Nach "
                         "jedem erfolgreichen Lauf werden ältere Backup-Dateien dieses Tasks (und ihre "
                         "Prüfsummendateien) gelöscht, und das Protokoll nennt ihre Anzahl. Andere Dateien werden nie "
                         "berührt. 0 in allen dreien behält jedes Backup."),
          QStringLiteral("Ohne tägliche Unterverzeichnisse sagt die tägliche Zahl, wie viele Kopien bleiben: die "
                         "neueste unter dem Dateinamen, ältere als NAME.1, NAME.2 und so weiter.")}},

        {QStringLiteral("How to backup over SSH"),
         QStringLiteral("Sicherung über SSH"),
         {QStringLiteral("In the \"Task.Parameter\"-window choose \"SSH\" as \"Connection\", enter your SSH login name "
                         "as \"Host User\" and the port of the host's SSH server (usually 22). FTP directory, remote "
                         "directory and download method are not needed: the dump comes through the encrypted "
                         "connection straight into your local directory, and nothing is written on the host."),
          QStringLiteral("Log in with a key (recommended): make one with \"ssh-keygen -t ed25519\", add its public part "
                         "(the .pub file) to ~/.ssh/authorized_keys on the host and choose the private key file under "
                         "\"SSH Key File\". Without a key file the program tries your SSH agent, then your default "
                         "keys (~/.ssh/id_ed25519, id_ecdsa, id_rsa), then the host password. A key with a passphrase "
                         "works through the SSH agent."),
          QStringLiteral("Click \"Test connection\". The first time, the program shows the fingerprint of the host's "
                         "key: compare it with the one your provider gives you and answer \"Yes\" only if they match. "
                         "The key is kept in ~/.ssh/known_hosts. Scheduled backups refuse a host whose key is unknown "
                         "or has changed."),
          QStringLiteral("A successful test shows the version of mysqldump on the host. The database password "
                         "reaches mysqldump through the encrypted connection, never on the host's command line.")},
         {QStringLiteral("Wählen Sie im \"Task.Parameter\"-Fenster \"SSH\" als \"Verbindung\", geben Sie Ihren "
                         "SSH-Benutzernamen als \"Host User\" ein und den Port des SSH-Servers des Hosts (meist 22). "
                         "FTP-Verzeichnis, Remote-Verzeichnis und Download-Methode entfallen: Der Dump kommt durch "
                         "die verschlüsselte Verbindung direkt in Ihr lokales Verzeichnis, auf dem Host wird nichts "
                         "geschrieben."),
          QStringLiteral("Melden Sie sich am besten mit einem Schlüssel an: Erzeugen Sie ihn mit \"ssh-keygen -t "
                         "ed25519\", tragen Sie seinen öffentlichen Teil (die .pub-Datei) auf dem Host in "
                         "~/.ssh/authorized_keys ein und wählen Sie die private Schlüsseldatei unter "
                         "\"SSH-Schlüsseldatei\". Ohne Schlüsseldatei versucht das Programm Ihren SSH-Agenten, dann "
                         "Ihre Standardschlüssel (~/.ssh/id_ed25519, id_ecdsa, id_rsa), dann das Host-Passwort. Ein "
                         "Schlüssel mit Passphrase funktioniert über den SSH-Agenten."),
          QStringLiteral("Klicken Sie \"Verbindung testen\". Beim ersten Mal zeigt das Programm den Fingerabdruck des "
                         "Host-Schlüssels: Vergleichen Sie ihn mit dem Ihres Providers und antworten Sie nur dann mit "
                         "\"Ja\", wenn beide übereinstimmen. Der Schlüssel wird in ~/.ssh/known_hosts gespeichert. "
                         "Automatische Sicherungen verweigern einen Host, dessen Schlüssel unbekannt ist oder sich "
                         "geändert hat."),
          QStringLiteral("Ein erfolgreicher Test zeigt die Version von mysqldump auf dem Host. Das Datenbank-Passwort "
                         "erreicht mysqldump durch die verschlüsselte Verbindung, nie über die Befehlszeile des "
                         "Hosts.")}},
        {QStringLiteral("Off-site copy (rclone, restic)"),
         QStringLiteral("Externe Kopie (rclone, restic)"),
         {QStringLiteral("A second copy of each stored backup can go off this computer, to a server, a cloud storage "
                         "or a USB disk, through rclone or restic. Install the one you use (Debian packages \"rclone\" "
                         "and \"restic\"); the \"Task.Parameter\"-window says when it is missing. The local backup "
                         "stays as it is, whatever the copy does."),
          QStringLiteral("rclone, encrypted: run \"rclone config\" in a terminal. First make a remote for the storage "
                         "itself, for instance named \"store\", of the type \"sftp\" (a server with SSH) or \"s3\" "
                         "(Amazon S3 or a compatible service), with its address and login. Then make a second remote "
                         "named \"secret\" of the type \"crypt\" whose remote is \"store:backups\": it encrypts the "
                         "files and their names before they leave this computer. Keep the crypt passwords in a safe "
                         "place: without them nobody can read the files."),
          QStringLiteral("In the \"Task.Parameter\"-window, under \"Off-site Copy\", enter the destination "
                         "\"secret:vaultwick\". Leave \"Config/Password File\" empty for rclone's own configuration "
                         "(~/.config/rclone/rclone.conf), or select another one. Click \"Test destination\": it writes "
                         "a small file there, reads it back and removes it."),
          QStringLiteral("restic: put the repository's password into a file only you can read, for instance with "
                         "\"openssl rand -base64 32 > ~/.config/vaultwick-restic.pw\" and \"chmod 600 "
                         "~/.config/vaultwick-restic.pw\". Then create the repository: \"restic init -r "
                         "sftp:user@host:/srv/backups --password-file ~/.config/vaultwick-restic.pw\" (or a REST server "
                         "such as \"rest:http://host:8000/\", or a folder such as \"/media/usb/vw-repo\")."),
          QStringLiteral("In the \"Task.Parameter\"-window enter the destination \"restic:\" followed by the "
                         "repository, such as \"restic:sftp:user@host:/srv/backups\", and select the password file "
                         "under \"Config/Password File\". \"Test destination\" opens the repository and names this "
                         "task's last snapshot."),
          QStringLiteral("Warning: the restic password is the only key to that repository. Lose it and the backups "
                         "there are lost: nobody can open them, not even with the repository's files. Keep a copy of "
                         "the password somewhere else than this computer, such as a password manager or on paper."),
          QStringLiteral("\"Keep There\" with \"same as local\" keeps as many backups on the destination as here; "
                         "clear it to give the destination daily, weekly and monthly counts of its own."),
          QStringLiteral("So that the nightly upload leaves your line usable, set \"Options\" - \"Off-site bandwidth "
                         "limit ...\" in KiB/s (0: no limit; 1024 KiB/s is about 8 Mbit/s)."),
          QStringLiteral("The \"Stored backups\" window says for each backup whether it is on the destination. For "
                         "restic it also lists the task's snapshots; \"Restore snapshot into database...\" first brings "
                         "the chosen one's dump back from the repository.")},
         {QStringLiteral("Eine zweite Kopie jeder gespeicherten Sicherung kann diesen Rechner verlassen, auf einen "
                         "Server, einen Cloud-Speicher oder eine USB-Platte, über rclone oder restic. Installieren "
                         "Sie das Programm, das Sie nutzen (Debian-Pakete \"rclone\" und \"restic\"); das "
                         "\"Task.Parameter\"-Fenster sagt, wenn es fehlt. Die lokale Sicherung bleibt, wie sie ist, "
                         "was auch immer die Kopie tut."),
          QStringLiteral("rclone, verschlüsselt: Starten Sie \"rclone config\" in einem Terminal. Legen Sie zuerst ein "
                         "Remote für den Speicher selbst an, etwa namens \"store\", vom Typ \"sftp\" (ein Server mit "
                         "SSH) oder \"s3\" (Amazon S3 oder ein kompatibler Dienst), mit Adresse und Anmeldung. Legen "
                         "Sie dann ein zweites Remote namens \"secret\" vom Typ \"crypt\" an, dessen Remote "
                         "\"store:backups\" ist: Es verschlüsselt die Dateien und ihre Namen, bevor sie diesen Rechner "
                         "verlassen. Bewahren Sie die crypt-Passwörter sicher auf: Ohne sie kann niemand die Dateien "
                         "lesen."),
          QStringLiteral("Geben Sie im \"Task.Parameter\"-Fenster unter \"Externe Kopie\" das Ziel "
                         "\"secret:vaultwick\" ein. Lassen Sie \"Konfig-/Passwortdatei\" leer für die eigene "
                         "Konfiguration von rclone (~/.config/rclone/rclone.conf) oder wählen Sie eine andere. "
                         "Klicken Sie \"Ziel testen\": Es schreibt eine kleine Datei dorthin, liest sie zurück und "
                         "entfernt sie."),
          QStringLiteral("restic: Schreiben Sie das Passwort des Repositorys in eine Datei, die nur Sie lesen können, "
                         "etwa mit \"openssl rand -base64 32 > ~/.config/vaultwick-restic.pw\" und \"chmod 600 "
                         "~/.config/vaultwick-restic.pw\". Legen Sie dann das Repository an: \"restic init -r "
                         "sftp:user@host:/srv/backups --password-file ~/.config/vaultwick-restic.pw\" (oder ein "
                         "REST-Server wie \"rest:http://host:8000/\" oder ein Ordner wie \"/media/usb/vw-repo\")."),
          QStringLiteral("Geben Sie im \"Task.Parameter\"-Fenster als Ziel \"restic:\" und dahinter das Repository "
                         "ein, etwa \"restic:sftp:user@host:/srv/backups\", und wählen Sie die Passwortdatei unter "
                         "\"Konfig-/Passwortdatei\". \"Ziel testen\" öffnet das Repository und nennt den letzten "
                         "Snapshot dieses Tasks."),
          QStringLiteral("Achtung: Das restic-Passwort ist der einzige Schlüssel zu diesem Repository. Geht es "
                         "verloren, sind die Sicherungen dort verloren: Niemand kann sie öffnen, auch nicht mit den "
                         "Dateien des Repositorys. Bewahren Sie eine Kopie des Passworts außerhalb dieses Rechners "
                         "auf, etwa in einem Passwort-Manager oder auf Papier."),
          QStringLiteral("\"Dort behalten\" mit \"wie lokal\" behält am Ziel so viele Sicherungen wie hier; nehmen Sie "
                         "den Haken weg, um dem Ziel eigene tägliche, wöchentliche und monatliche Zahlen zu geben."),
          QStringLiteral("Damit das nächtliche Hochladen Ihre Leitung nutzbar lässt, stellen Sie unter \"Optionen\" - "
                         "\"Bandbreite externer Kopien ...\" eine Grenze in KiB/s ein (0: keine; 1024 KiB/s sind etwa "
                         "8 Mbit/s)."),
          QStringLiteral("Das Fenster \"Gespeicherte Backups\" sagt für jede Sicherung, ob sie am Ziel ist. Für restic "
                         "listet es auch die Snapshots des Tasks; \"Snapshot in Datenbank wiederherstellen...\" holt "
                         "zuerst den Dump des gewählten aus dem Repository.")}},
    };
    return table;
}

}

namespace HowToTopics {

QString layoutSteps(const QStringList &steps)
{
    const QChar cr(13);
    QString out;
    for (int i = 0; i < steps.size(); ++i) {
        if (i > 0)
            out += QString(cr) + cr;
        out += QString::number(i + 1) + QLatin1Char(')') + cr + steps[i];
    }
    return out;
}

QStringList titles(bool german)
{
    QStringList list;
    for (int i = 0; i < Count; ++i)
        list << (german ? topics()[i].titleDe : topics()[i].titleEn);
    return list;
}

QString text(int index, bool german)
{
    if (index < 0 || index >= Count)
        return QString();
    const Topic &t = topics()[index];
    return layoutSteps(german ? t.stepsDe : t.stepsEn);
}

}
