#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSet>
#include <QtGlobal>
#include <curl/curl.h>

namespace {
// The options with their descriptions in both languages.
struct OptionText {
    QStringList names;
    const char *valueName;
    const char *english;
    const char *german;
};

const OptionText kOptions[] = {
    {{QStringLiteral("h"), QStringLiteral("?"), QStringLiteral("help")}, nullptr,
     "Shows this help.", "Zeigt diese Hilfe."},
    {{QStringLiteral("v"), QStringLiteral("version")}, nullptr,
     "Shows the versions of the program, Qt and libcurl.",
     "Zeigt die Versionen des Programms, von Qt und libcurl."},
    {{QStringLiteral("list")}, nullptr,
     "Lists the tasks, one per line, tab-separated: name, active or inactive, daily time, "
     "transport, download method, last outcome.",
     "Listet die Aufgaben, eine je Zeile, durch Tabulatoren getrennt: Name, aktiv oder inaktiv, "
     "tägliche Zeit, Verbindung, Download-Methode, letztes Ergebnis."},
    {{QStringLiteral("json")}, nullptr,
     "With --list: a JSON array instead.", "Mit --list: stattdessen ein JSON-Array."},
    {{QStringLiteral("run")}, "NAME",
     "Runs the task NAME now, without a window. Exit status 0 stored, 1 failed, 2 usage "
     "error or unknown task, 3 the task is busy.",
     "Führt die Aufgabe NAME jetzt aus, ohne Fenster. Rückgabewert 0 gespeichert, 1 "
     "gescheitert, 2 Aufruffehler oder unbekannte Aufgabe, 3 die Aufgabe läuft gerade."},
    {{QStringLiteral("run-due")}, nullptr,
     "Runs the active tasks that are due or were missed.",
     "Führt die aktiven Aufgaben aus, die fällig sind oder versäumt wurden."},
    {{QStringLiteral("verify")}, "NAME",
     "Checks the checksum of the newest stored backup of the task NAME and loads it into a throwaway "
     "local server. Exit status 0 passed, 1 failed, 2 usage error or unknown task.",
     "Prüft die Prüfsumme der neuesten gespeicherten Sicherung der Aufgabe NAME und lädt sie in einen "
     "lokalen Wegwerf-Server. Rückgabewert 0 bestanden, 1 gescheitert, 2 Aufruffehler oder unbekannte Aufgabe."},
    {{QStringLiteral("restore")}, "NAME",
     "Loads the newest stored backup of the task NAME into the task's own database on the host, over "
     "its SSH login; with --yes only, as it overwrites. Exit status 0 restored, 1 failed, 2 usage error.",
     "Lädt die neueste gespeicherte Sicherung der Aufgabe NAME über deren SSH-Anmeldung in ihre eigene "
     "Datenbank auf dem Host; nur mit --yes, da sie überschreibt. Rückgabewert 0 wiederhergestellt, 1 "
     "gescheitert, 2 Aufruffehler."},
    {{QStringLiteral("yes")}, nullptr,
     "With --restore: yes, overwrite the database.", "Mit --restore: ja, die Datenbank überschreiben."},
    {{QStringLiteral("backup")}, "FILE",
     "With --verify or --restore: this stored file instead of the newest.",
     "Mit --verify oder --restore: diese gespeicherte Datei statt der neuesten."},
};

// Qt's own options of a window program, which the window program keeps.
const QSet<QString> &qtWindowOptions()
{
    static const QSet<QString> names{
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"), QStringLiteral("reverse"), QStringLiteral("session"),
        QStringLiteral("display"), QStringLiteral("style"), QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount"), QStringLiteral("geometry"), QStringLiteral("name"),
        QStringLiteral("title"), QStringLiteral("qmljsdebugger"), QStringLiteral("nograb"),
        QStringLiteral("dograb"), QStringLiteral("sync")};
    return names;
}

void addOptions(QCommandLineParser &parser, bool german)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionText &o : kOptions) {
        QCommandLineOption option(o.names, QString::fromUtf8(german ? o.german : o.english));
        if (o.valueName)
            option.setValueName(QString::fromLatin1(o.valueName));
        parser.addOption(option);
    }
}

QString pick(bool german, const char *english, const char *germanText)
{
    return QString::fromUtf8(german ? germanText : english);
}
}

namespace CommandLine {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

bool wanted(const QStringList &arguments)
{
    QSet<QString> own;
    for (const OptionText &o : kOptions)
        for (const QString &n : o.names)
            own.insert(n);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (!arg.startsWith(QLatin1Char('-')))
            continue;
        QString name = arg.mid(arg.startsWith(QStringLiteral("--")) ? 2 : 1);
        name = name.left(name.indexOf(QLatin1Char('=')));
        if (own.contains(name))
            return true;
        if (arg.startsWith(QStringLiteral("--")) && !qtWindowOptions().contains(name))
            return true;
    }
    return false;
}

CommandLineRequest parse(const QStringList &arguments, bool german)
{
    QCommandLineParser parser;
    addOptions(parser, german);
    CommandLineRequest request;
    auto fail = [&](const QString &text) {
        request = CommandLineRequest();
        request.mode = CommandLineRequest::UsageError;
        request.error = text;
        return request;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(pick(german, "Unexpected argument: ", "Unerwartetes Argument: ")
                    + parser.positionalArguments().constFirst());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("version"))) {
        request.mode = parser.isSet(QStringLiteral("help")) ? CommandLineRequest::Help : CommandLineRequest::Version;
        return request;
    }

    int actions = 0;
    if (parser.isSet(QStringLiteral("list"))) {
        request.mode = CommandLineRequest::List;
        ++actions;
    }
    if (parser.isSet(QStringLiteral("run"))) {
        request.mode = CommandLineRequest::Run;
        request.taskName = parser.value(QStringLiteral("run"));
        ++actions;
        if (parser.values(QStringLiteral("run")).size() > 1)
            ++actions;
    }
    if (parser.isSet(QStringLiteral("run-due"))) {
        request.mode = CommandLineRequest::RunDue;
        ++actions;
    }
    if (parser.isSet(QStringLiteral("verify"))) {
        request.mode = CommandLineRequest::Verify;
        request.taskName = parser.value(QStringLiteral("verify"));
        actions += int(parser.values(QStringLiteral("verify")).size());
    }
    if (parser.isSet(QStringLiteral("restore"))) {
        request.mode = CommandLineRequest::Restore;
        request.taskName = parser.value(QStringLiteral("restore"));
        actions += int(parser.values(QStringLiteral("restore")).size());
    }
    if (actions > 1)
        return fail(pick(german, "Give only one of --list, --run, --run-due, --verify and --restore.",
                         "Bitte nur eine von --list, --run, --run-due, --verify und --restore angeben."));
    const bool onFile = request.mode == CommandLineRequest::Verify || request.mode == CommandLineRequest::Restore;
    request.backupFile = parser.value(QStringLiteral("backup"));
    if (parser.isSet(QStringLiteral("backup")) && (!onFile || request.backupFile.isEmpty()))
        return fail(pick(german, "--backup FILE goes with --verify or --restore.",
                         "--backup DATEI gehört zu --verify oder --restore."));
    request.confirmed = parser.isSet(QStringLiteral("yes"));
    if (request.confirmed && request.mode != CommandLineRequest::Restore)
        return fail(pick(german, "--yes goes with --restore.", "--yes gehört zu --restore."));
    if (onFile && request.taskName.isEmpty())
        return fail(pick(german, "--verify and --restore need the name of a task.",
                         "--verify und --restore brauchen den Namen einer Aufgabe."));
    request.json = parser.isSet(QStringLiteral("json"));
    if (request.json && request.mode != CommandLineRequest::List)
        return fail(pick(german, "--json goes with --list.", "--json gehört zu --list."));
    if (request.mode == CommandLineRequest::Run && request.taskName.isEmpty())
        return fail(pick(german, "--run needs the name of a task.", "--run braucht den Namen einer Aufgabe."));
    if (actions == 0)
        return fail(pick(german, "Nothing to do.", "Nichts zu tun."));
    return request;
}

QString helpText(bool german)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        pick(german, "Daily backups of MySQL databases on a web host. Without options the program "
                     "starts in the notification area.",
             "Tägliche Sicherung von MySQL-Datenbanken auf einem Webhost. Ohne Optionen startet "
             "das Programm im Infobereich."));
    addOptions(parser, german);
    return parser.helpText();
}

QString versionText()
{
    const curl_version_info_data *curl = curl_version_info(CURLVERSION_NOW);
    return QStringLiteral("%1 %2\nQt %3\nlibcurl %4\n")
        .arg(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
             QString::fromLatin1(qVersion()),
             QString::fromLatin1(curl && curl->version ? curl->version : "?"));
}

}
