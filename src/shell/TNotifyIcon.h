#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <functional>

class QTimer;

// The program's icon in the notification area. Owned by the main window; it
// hides the main window into the tray and brings it back, shows the tray
// menu on a right click while the program is hidden, and carries the hint.
//
// Where the desktop has no notification area, nothing is lost: the program
// runs on, and "minimise to tray" leaves an ordinary minimised window.
class TNotifyIcon : public QObject {
    Q_OBJECT
public:
    // The tip shows at most this many characters of the hint: room for the
    // title, the schedule's state, the next backup and the failure count.
    static constexpr int MaxTipLength = 127;

    // mainWindow: the window that goes to the tray (also the owner when
    // parent is null); popupMenu: the tray menu, shown only while hidden.
    // The icon starts with the main window's title as its hint, and the main
    // window's own minimise (title bar) goes to the tray from now on.
    TNotifyIcon(QWidget *mainWindow, QMenu *popupMenu, QObject *parent = nullptr);
    ~TNotifyIcon() override;

    QString Hint() const { return m_hint; }
    // Does nothing when the text equals the current hint.
    void SetHint(const QString &hint);
    // The hint as the tip carries it: its first MaxTipLength characters (one
    // fewer where the last would split a character outside the basic plane).
    QString tipText() const;

    QIcon Icon() const { return m_icon; }
    void SetIcon(const QIcon &icon);

    // The warning variant of the program's icon while a backup has failed;
    // the program's own icon otherwise.
    void SetWarning(bool warning);
    bool warning() const { return m_warning; }

    // A desktop notification (the desktop's notification service). Skipped,
    // with false, where there is no notification area.
    bool ShowMessage(const QString &title, const QString &text);

    QMenu *PopupMenu() const { return m_popup; }
    void SetPopupMenu(QMenu *menu) { m_popup = menu; }

    // Whether the desktop offers a notification area right now.
    bool trayAvailable() const;
    // The main window is hidden in the tray (no task-bar button).
    bool isInTray() const { return m_inTray; }
    // In the tray or minimised as an ordinary window: what a run asks at its
    // start to know whether to go back afterwards.
    bool isApplicationMinimized() const;

    // Brings the main window back from the tray or from being minimised and
    // shows it; a window that is not minimised is only shown and raised.
    void RestoreFromTray();
    // Sends the main window to the tray; without one, minimises it. Does
    // nothing while a modal window is open (the title bar's minimise then
    // leaves an ordinary minimised window).
    void MinimizeToTray();

    // Shows the tray menu at the cursor when the program is hidden; reports
    // whether it did.
    bool ShowPopup();

    // How often the icon itself has been updated (tip or picture changed).
    int iconUpdates() const { return m_iconUpdates; }
    // The platform icon, for wiring and inspection.
    QSystemTrayIcon *trayIcon() const { return m_tray; }

    // Replaces the question "is there a notification area?" (tests, and
    // desktops known to lie about it). An empty function restores the default.
    void setTrayAvailabilityProbe(std::function<bool()> probe);
    // How often, while in the tray, to check that the tray is still there.
    void setTrayWatchInterval(int ms);

signals:
    void OnClick();
    void OnDblClick();
    // After the main window went to the tray (or was minimised without one).
    void OnMinimize();
    // After the main window came back.
    void OnRestore();
    // A notification was handed to the desktop.
    void messageShown(const QString &title, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onActivated(QSystemTrayIcon::ActivationReason reason);
    void UpdateIcon();
    void DoMinimize();
    void DoRestore();
    void hideIntoTray();
    void checkTrayStillThere();

    QPointer<QWidget> m_window;
    QPointer<QMenu> m_popup;
    QSystemTrayIcon *m_tray = nullptr;
    QTimer *m_trayWatch = nullptr;
    QIcon m_icon;
    QIcon m_programIcon;
    bool m_warning = false;
    QString m_hint;
    int m_iconUpdates = 0;
    bool m_inTray = false;
    bool m_hidingScheduled = false;
    Qt::WindowStates m_stateBeforeTray = Qt::WindowNoState;
    std::function<bool()> m_probe;
};
