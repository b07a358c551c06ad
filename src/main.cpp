#include <QApplication>
#include <QCoreApplication>
#include <QSessionManager>
#include <QIcon>
#include <QPalette>
#include <QToolTip>

#include "cli/CommandLine.h"
#include "cli/CommandLineProgram.h"
#include "engine/SessionEndWatcher.h"
#include "engine/SingleInstance.h"
#include "engine/TForm1.h"
#include "shell/AboutResources.h"
#include "shell/QtTranslation.h"
#include "shell/TAboutForm.h"
#include "tasks/AppSettings.h"
#include "tasks/TaskStore.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {
// A core file would hold the host and database passwords of every task.
void preventCoreDumps()
{
#ifdef Q_OS_UNIX
    // Hard limit too, so nothing started from here can raise it again.
    // (Not PR_SET_DUMPABLE: it hides /proc/<pid>/exe from the user's other
    // processes, and the lock files of the single instance, the task runs and
    // the store would then take a live copy's lock for a dead one's.)
    const struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
}

void identifyProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Vaultwick"));
    QCoreApplication::setOrganizationName(QStringLiteral("Korvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VW_VERSION));
}

// From a shell, a timer or a script: no window, no display needed.
int commandLineMain(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    identifyProgram();
    TaskStore store;
    int language = 0;
    try {
        language = AppSettings(store).ReadLanguage();
    } catch (...) {
    }
    QtTranslation qtTexts;
    qtTexts.apply(language);
    CommandLineProgram program(CommandLine::parse(QCoreApplication::arguments(), language != 0), store, language);
    const int status = program.start();
    if (status >= 0)
        return status;
    QObject::connect(&program, &CommandLineProgram::finished, &app, &QCoreApplication::exit);
    return app.exec();
}

int windowMain(int argc, char *argv[])
{
    QApplication app(argc, argv);
    identifyProgram();
    // Hidden in the tray is not closed: only the confirmed close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    SingleInstance instance;
    if (!instance.claim())
        return 0;

    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(200, 205, 220));
    QToolTip::setPalette(tips);

    EnsureAboutResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/about/vaultwick.png")));

    auto *splash = new TAboutForm();
    splash->showSplash(2400);

    TForm1 form;
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, [&form] {
        form.Restore1Click();
        form.show();
        form.raise();
        form.activateWindow();
    });
    SessionEndWatcher sessionEnd;
    QObject::connect(&sessionEnd, &SessionEndWatcher::sessionEnding, &form, &TForm1::SessionEnding);
    // Saving the session's state is no end of the program: keep settings and
    // log safe and go on.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager &) { form.SessionSaveRequested(); });
    QObject::connect(&form, &TForm1::closing, &instance, &SingleInstance::stopAnswering);
    // However the program ends (the desktop session's end included), a run
    // is broken off and settings and log are kept; only then may a waiting
    // copy take over the store.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &form, [&form] {
        form.session().abortAll();
        form.SaveSettings();
        form.protocol().Save();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::release);
    delete splash;
    form.show();
    return app.exec();
}
}

int main(int argc, char *argv[])
{
    preventCoreDumps();
    if (CommandLine::wanted(CommandLine::argumentsOf(argc, argv)))
        return commandLineMain(argc, argv);
    return windowMain(argc, argv);
}
