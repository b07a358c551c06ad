#include <QMainWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QtTest>

#include "shell/TNotifyIcon.h"

namespace {
struct Fixture {
    QMainWindow window;
    QMenu *menu = nullptr;
    TNotifyIcon *icon = nullptr;
    bool tray = true;

    explicit Fixture(bool withTray)
        : tray(withTray)
    {
        window.setWindowTitle(QStringLiteral("Vaultwick Task"));
        window.resize(400, 300);
        menu = new QMenu(&window);
        menu->addAction(QStringLiteral("&Restore"));
        menu->addAction(QStringLiteral("&Minimize"));
        menu->addSeparator();
        menu->addAction(QStringLiteral("&Close"));
        icon = new TNotifyIcon(&window, menu);
        icon->setTrayAvailabilityProbe([this] { return tray; });
        window.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&window), "main window not shown");
    }
};

}

class TestNotifyIcon : public QObject {
    Q_OBJECT
private slots:
    void hintStartsAsTitleIsCutToTheTipLengthAndIsNotResetWhenUnchanged()
    {
        Fixture f(true);
        QCOMPARE(f.icon->Hint(), QStringLiteral("Vaultwick Task"));
        QCOMPARE(f.icon->trayIcon()->toolTip(), QStringLiteral("Vaultwick Task"));

        // The scheduler's two-line hint: the carriage return becomes a line
        // break in the shown tip, the hint itself keeps it.
        const QString active = QStringLiteral("Vaultwick Task\rAutomatic Backup active");
        f.icon->SetHint(active);
        QCOMPARE(f.icon->Hint(), active);
        QCOMPARE(f.icon->tipText(), active);
        QCOMPARE(f.icon->trayIcon()->toolTip(), QStringLiteral("Vaultwick Task\nAutomatic Backup active"));

        const int updates = f.icon->iconUpdates();
        f.icon->SetHint(active);
        QCOMPARE(f.icon->iconUpdates(), updates);
        f.icon->SetHint(QStringLiteral("Vaultwick Task\rNo Automatic Backup"));
        QCOMPARE(f.icon->iconUpdates(), updates + 1);

        const int max = TNotifyIcon::MaxTipLength;
        const QString longHint = QString(max + 7, QLatin1Char('x')) + QStringLiteral("END");
        f.icon->SetHint(longHint);
        QCOMPARE(f.icon->Hint(), longHint);
        QCOMPARE(f.icon->tipText(), QString(max, QLatin1Char('x')));
        QCOMPARE(f.icon->trayIcon()->toolTip().size(), max);

        // A cut never leaves half of a character outside the basic plane.
        const QString clef = QString::fromUtf8("\xF0\x9D\x84\x9E");  // two UTF-16 units
        f.icon->SetHint(QString(max - 1, QLatin1Char('y')) + clef);
        QCOMPARE(f.icon->tipText(), QString(max - 1, QLatin1Char('y')));
        f.icon->SetHint(QString(max - 2, QLatin1Char('y')) + clef + QStringLiteral("z"));
        QCOMPARE(f.icon->tipText(), QString(max - 2, QLatin1Char('y')) + clef);

        // An empty hint clears the tip.
        f.icon->SetHint(QString());
        QVERIFY(f.icon->trayIcon()->toolTip().isEmpty());
        QCOMPARE(f.icon->iconUpdates(), updates + 5);
    }

    void settingTheOwnIconAgainDoesNotTouchTheIcon()
    {
        Fixture f(true);
        QVERIFY(!f.icon->Icon().isNull());  // the program icon, not a blank
        const int updates = f.icon->iconUpdates();
        f.icon->SetIcon(f.icon->Icon());
        QCOMPARE(f.icon->iconUpdates(), updates);
        QPixmap red(16, 16);
        red.fill(Qt::red);
        f.icon->SetIcon(QIcon(red));
        QCOMPARE(f.icon->iconUpdates(), updates + 1);
    }

    void warningIconAndNotificationsOnlyWithATray()
    {
        Fixture f(true);
        const qint64 plain = f.icon->Icon().cacheKey();
        f.icon->SetWarning(true);
        const QImage warning = f.icon->Icon().pixmap(32, 32).toImage();
        bool red = false;
        for (int y = 16; y < 32 && !red; ++y) {
            for (int x = 16; x < 32 && !red; ++x)
                red = warning.pixelColor(x, y) == QColor(220, 0, 0);
        }
        QVERIFY(red);
        f.icon->SetWarning(false);
        QCOMPARE(f.icon->Icon().cacheKey(), plain);

        QSignalSpy shown(f.icon, &TNotifyIcon::messageShown);
        QVERIFY(f.icon->ShowMessage(QStringLiteral("Vaultwick Task"), QStringLiteral("Backup of Shop failed")));
        QCOMPARE(shown.count(), 1);
        f.tray = false;  // no notification area: skipped
        QVERIFY(!f.icon->ShowMessage(QStringLiteral("Vaultwick Task"), QStringLiteral("Backup of Shop failed")));
        QCOMPARE(shown.count(), 1);
    }

    void popupOpensOnlyWhileTheProgramIsHidden()
    {
        Fixture f(true);
        // Visible: a right click shows nothing.
        emit f.icon->trayIcon()->activated(QSystemTrayIcon::Context);
        QVERIFY(!f.menu->isVisible());
        QVERIFY(!f.icon->ShowPopup());

        f.icon->MinimizeToTray();
        emit f.icon->trayIcon()->activated(QSystemTrayIcon::Context);
        QTRY_VERIFY(f.menu->isVisible());
        f.menu->hide();

        // Left and double clicks do nothing but report.
        QSignalSpy clicks(f.icon, &TNotifyIcon::OnClick);
        QSignalSpy doubles(f.icon, &TNotifyIcon::OnDblClick);
        emit f.icon->trayIcon()->activated(QSystemTrayIcon::Trigger);
        emit f.icon->trayIcon()->activated(QSystemTrayIcon::DoubleClick);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(doubles.count(), 1);
        QVERIFY(!f.menu->isVisible());
        QVERIFY(!f.window.isVisible());

        f.icon->RestoreFromTray();
        QVERIFY(!f.icon->ShowPopup());
    }

    void minimizeAndRestoreRoundTripThroughTheTray()
    {
        Fixture f(true);
        f.window.showMaximized();
        QSignalSpy minimized(f.icon, &TNotifyIcon::OnMinimize);
        QSignalSpy restored(f.icon, &TNotifyIcon::OnRestore);

        QVERIFY(!f.icon->isApplicationMinimized());
        f.icon->MinimizeToTray();
        QVERIFY(f.icon->isInTray());
        QVERIFY(f.icon->isApplicationMinimized());
        QVERIFY(!f.window.isVisible());  // no window, no task-bar button
        QCOMPARE(minimized.count(), 1);
        f.icon->MinimizeToTray();        // already there: nothing happens
        QCOMPARE(minimized.count(), 1);

        f.icon->RestoreFromTray();
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.icon->isInTray());
        QVERIFY(!f.icon->isApplicationMinimized());
        QVERIFY(f.window.isMaximized());  // back as it was
        QCOMPARE(restored.count(), 1);

        // A visible window is only shown again, not restored.
        f.icon->RestoreFromTray();
        QCOMPARE(restored.count(), 1);
        QVERIFY(f.window.isVisible());
    }

    void titleBarMinimiseGoesToTheTray()
    {
        Fixture f(true);
        f.window.showMinimized();
        QTRY_VERIFY(f.icon->isInTray());
        QVERIFY(!f.window.isVisible());
        f.icon->RestoreFromTray();
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.window.isMinimized());
    }

    // Without a notification area the program must stay reachable.
    void withoutTrayMinimisingLeavesAnOrdinaryMinimisedWindow()
    {
        Fixture f(false);
        f.icon->MinimizeToTray();
        QVERIFY(!f.icon->isInTray());
        QVERIFY(f.window.isVisible());
        QVERIFY(f.window.isMinimized());
        QVERIFY(f.icon->isApplicationMinimized());  // a run still goes back afterwards

        f.icon->RestoreFromTray();
        QVERIFY(!f.window.isMinimized());
        QVERIFY(!f.icon->isApplicationMinimized());

        f.window.showMinimized();  // title bar
        QTest::qWait(20);  // negative check: without a tray nothing hides the window
        QVERIFY(f.window.isVisible());
        QVERIFY(!f.icon->isInTray());
    }

    void trayThatDisappearsGivesTheWindowBack()
    {
        Fixture f(true);
        f.icon->setTrayWatchInterval(20);
        f.icon->MinimizeToTray();
        QTest::qWait(60);  // negative check: some tray watches pass without giving the window back
        QVERIFY(!f.window.isVisible());  // still there: stays hidden
        f.tray = false;  // the panel went away
        QTRY_VERIFY_WITH_TIMEOUT(f.window.isVisible(), 2000);
        QVERIFY(f.window.isMinimized());
        QVERIFY(!f.icon->isInTray());
        f.icon->RestoreFromTray();
        QVERIFY(!f.window.isMinimized());
    }
};

QTEST_MAIN(TestNotifyIcon)
#include "tst_notifyicon.moc"
