#include "shell/TNotifyIcon.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <QWindowStateChangeEvent>

#include "shell/AboutResources.h"

namespace {
// While the program sits in the tray, how often to make sure the tray is
// still there (a panel that crashes or is removed takes the icon with it).
constexpr int TrayWatchIntervalMs = 3000;

QIcon programIcon(const QWidget *window)
{
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull() && window)
        icon = window->windowIcon();
    if (icon.isNull()) {
        EnsureAboutResources();
        icon = QIcon(QStringLiteral(":/about/vaultwick.png"));
    }
    return icon;
}

// The program's icon with a red disc and an exclamation mark in its lower
// right corner, at the sizes a notification area asks for.
QIcon warningVariant(const QIcon &icon)
{
    QIcon result;
    for (int wanted : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap = icon.pixmap(wanted, wanted);
        if (pixmap.isNull()) {
            pixmap = QPixmap(wanted, wanted);
            pixmap.fill(Qt::transparent);
        }
        // A small program icon comes back smaller than asked for.
        const int size = qMin(pixmap.width(), pixmap.height());
        if (size < wanted && wanted > 16)
            continue;
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal d = size * 0.6;
        const QRectF disc(size - d, size - d, d, d);
        p.setPen(QPen(Qt::white, qMax(1.0, size / 16.0)));
        p.setBrush(QColor(220, 0, 0));
        p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(qMax(6, int(d * 0.8)));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(disc, Qt::AlignCenter, QStringLiteral("!"));
        p.end();
        result.addPixmap(pixmap);
    }
    return result;
}

QString shownTip(const QString &tip)
{
    // The tip's lines are separated by carriage returns; tool tips break at
    // line feeds.
    QString t = tip;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}
}

TNotifyIcon::TNotifyIcon(QWidget *mainWindow, QMenu *popupMenu, QObject *parent)
    : QObject(parent ? parent : mainWindow), m_window(mainWindow), m_popup(popupMenu)
{
    setObjectName(QStringLiteral("NotifyIcon1"));
    m_icon = programIcon(mainWindow);
    m_programIcon = m_icon;
    m_hint = mainWindow ? mainWindow->windowTitle() : QString();

    m_tray = new QSystemTrayIcon(m_icon, this);
    m_tray->setToolTip(shownTip(tipText()));
    // No context menu of the platform's own: it would open while the window is
    // visible too. The menu is shown by ShowPopup.
    connect(m_tray, &QSystemTrayIcon::activated, this, &TNotifyIcon::onActivated);
    // Shown even without a notification area: the icon appears if one starts
    // later.
    m_tray->show();

    m_trayWatch = new QTimer(this);
    m_trayWatch->setInterval(TrayWatchIntervalMs);
    connect(m_trayWatch, &QTimer::timeout, this, &TNotifyIcon::checkTrayStillThere);

    if (mainWindow)
        mainWindow->installEventFilter(this);
}

TNotifyIcon::~TNotifyIcon()
{
    if (m_tray)
        m_tray->hide();
}

void TNotifyIcon::SetHint(const QString &hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    UpdateIcon();
}

QString TNotifyIcon::tipText() const
{
    if (m_hint.size() <= MaxTipLength)
        return m_hint;
    const int cut = m_hint.at(MaxTipLength - 1).isHighSurrogate() ? MaxTipLength - 1 : MaxTipLength;
    return m_hint.left(cut);
}

void TNotifyIcon::SetIcon(const QIcon &icon)
{
    if (icon.cacheKey() == m_icon.cacheKey())
        return;
    m_icon = icon;
    UpdateIcon();
}

void TNotifyIcon::SetWarning(bool warning)
{
    if (warning == m_warning)
        return;
    m_warning = warning;
    SetIcon(warning ? warningVariant(m_programIcon) : m_programIcon);
}

bool TNotifyIcon::ShowMessage(const QString &title, const QString &text)
{
    if (!trayAvailable())
        return false;
    m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
    emit messageShown(title, text);
    return true;
}

void TNotifyIcon::UpdateIcon()
{
    m_tray->setIcon(m_icon);
    m_tray->setToolTip(shownTip(tipText()));
    ++m_iconUpdates;
}

void TNotifyIcon::setTrayAvailabilityProbe(std::function<bool()> probe)
{
    m_probe = std::move(probe);
}

void TNotifyIcon::setTrayWatchInterval(int ms)
{
    m_trayWatch->setInterval(ms);
}

bool TNotifyIcon::trayAvailable() const
{
    if (m_probe)
        return m_probe();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TNotifyIcon::isApplicationMinimized() const
{
    return m_inTray || (m_window && m_window->isMinimized());
}

void TNotifyIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Context:
        ShowPopup();
        break;
    case QSystemTrayIcon::Trigger:
        emit OnClick();
        break;
    case QSystemTrayIcon::DoubleClick:
        emit OnDblClick();
        break;
    default:
        break;
    }
}

bool TNotifyIcon::ShowPopup()
{
    if (!m_popup || !m_window)
        return false;
    if (m_window->isVisible() && !m_window->isMinimized())
        return false;
    m_popup->popup(QCursor::pos());
    return true;
}

namespace {
// A modal window (task editor, message box) would vanish with the main window
// into the tray, and every menu would wait behind it where nothing can reach
// it: while one is open the program never goes to the tray.
bool modalWindowOpen()
{
    return QApplication::activeModalWidget() != nullptr;
}
}

void TNotifyIcon::MinimizeToTray()
{
    if (!m_window || m_inTray || modalWindowOpen())
        return;
    if (!trayAvailable()) {
        if (!m_window->isMinimized())
            m_window->showMinimized();
        return;
    }
    m_stateBeforeTray = m_window->windowState() & ~Qt::WindowMinimized;
    hideIntoTray();
}

void TNotifyIcon::hideIntoTray()
{
    m_hidingScheduled = false;
    if (!m_window || m_inTray || !trayAvailable() || modalWindowOpen())
        return;
    m_inTray = true;
    m_window->hide();
    m_trayWatch->start();
    DoMinimize();
}

void TNotifyIcon::DoMinimize()
{
    emit OnMinimize();
}

void TNotifyIcon::RestoreFromTray()
{
    if (!m_window)
        return;
    if (m_inTray) {
        m_inTray = false;
        m_trayWatch->stop();
        m_window->setWindowState(m_stateBeforeTray);
        m_window->show();
        DoRestore();
    } else if (m_window->isMinimized()) {
        m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        m_window->show();
        DoRestore();
    } else {
        m_window->show();
    }
    m_window->raise();
    m_window->activateWindow();
}

void TNotifyIcon::DoRestore()
{
    emit OnRestore();
}

void TNotifyIcon::checkTrayStillThere()
{
    if (!m_inTray || trayAvailable())
        return;
    // The notification area went away: leave the program as a minimised
    // window so it can still be reached.
    m_inTray = false;
    m_trayWatch->stop();
    if (m_window) {
        m_window->setWindowState(m_stateBeforeTray | Qt::WindowMinimized);
        m_window->show();
    }
}

bool TNotifyIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::WindowStateChange && !m_inTray && !m_hidingScheduled
        && m_window->isMinimized() && trayAvailable() && !modalWindowOpen()) {
        // The title bar's minimise: the window is minimised by now; take it
        // from the task bar once the state change has been handled.
        const auto *change = static_cast<QWindowStateChangeEvent *>(event);
        m_stateBeforeTray = change->oldState() & ~Qt::WindowMinimized;
        m_hidingScheduled = true;
        QTimer::singleShot(0, this, [this] {
            if (m_window && m_window->isMinimized())
                hideIntoTray();
            m_hidingScheduled = false;
        });
    }
    return QObject::eventFilter(watched, event);
}
