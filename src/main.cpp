#include <QApplication>
#include <QSessionManager>
#include <QEventLoop>
#include <QPalette>
#include <QTimer>
#include <QToolTip>

#include "engine/SessionEndWatcher.h"
#include "engine/SingleInstance.h"
#include "engine/TForm1.h"

namespace {
// Shows the splash for its time. Paint events still run so it is drawn, but
// clicks and keys are held back, and no CPU is burnt while waiting.
void showSplash(QWidget &splash, int ms)
{
    splash.show();
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vaultwick"));
    QApplication::setOrganizationName(QStringLiteral("Korvane"));

    SingleInstance instance;
    if (!instance.claim())
        return 0;

    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(200, 205, 220));
    QToolTip::setPalette(tips);

    auto *splash = new QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    splash->resize(640, 299);
    showSplash(*splash, 2400);

    TForm1 form;
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, [&form] {
        form.restoreFromTray();
        form.show();
        form.raise();
        form.activateWindow();
    });
    SessionEndWatcher sessionEnd;
    QObject::connect(&sessionEnd, &SessionEndWatcher::sessionEnding, &form, &TForm1::SessionEnding);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form, [&form](QSessionManager &) {
        form.SessionEnding();
    });
    delete splash;
    form.show();
    return app.exec();
}
