// Writes values into a settings file the way the program's store keeps them,
// before the program starts: vw_e2e_store FILE KEY=VALUE...
// KEY is the full path, e.g. "tasks/Shop FTP/Options/host". QSettings does
// the INI quoting, so values may hold blanks, ";", "," and quotes.
#include <QCoreApplication>
#include <QSettings>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: vw_e2e_store FILE KEY=VALUE...\n");
        return 2;
    }
    QSettings settings(args.at(1), QSettings::IniFormat);
    for (int i = 2; i < args.size(); ++i) {
        const qsizetype eq = args.at(i).indexOf(QLatin1Char('='));
        if (eq <= 0) {
            std::fprintf(stderr, "not KEY=VALUE: %s\n", qPrintable(args.at(i)));
            return 2;
        }
        settings.setValue(args.at(i).left(eq), args.at(i).mid(eq + 1));
    }
    settings.sync();
    return settings.status() == QSettings::NoError ? 0 : 1;
}
