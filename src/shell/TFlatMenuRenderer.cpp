#include "shell/TFlatMenuRenderer.h"

#include <QAction>
#include <QApplication>
#include <QActionEvent>
#include <QChildEvent>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSet>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>

#include "shell/FlatMenuParts.h"
#include "shell/MenuColours.h"

using namespace MenuColours;
using namespace FlatMenuParts;

TFlatMenuRenderer::TFlatMenuRenderer(QWidget *owner)
    : m_owner(owner)
{
    setParent(owner);
    setObjectName(QStringLiteral("TFlatMenuRenderer"));
    SystemMenuFont(m_font, m_fontColor);
    m_selectFontColor = m_fontColor;
    if (m_owner)
        m_owner->installEventFilter(this);
}

TFlatMenuRenderer::~TFlatMenuRenderer()
{
    detach();
}

// ---------------------------------------------------------------- properties

void TFlatMenuRenderer::setFont(const QFont &font)
{
    m_font = font;
    relayoutMenus();
    redrawMenuBar();
}

void TFlatMenuRenderer::setMenuBarColor(const MenuColor &c)
{
    m_menuBarColor = c;
    redrawMenuBar();
}

void TFlatMenuRenderer::setUseSystemColors(bool on)
{
    m_useSystemColors = on;
    relayoutMenus();
    redrawMenuBar();
}

void TFlatMenuRenderer::setOverrideOwnerDraw(bool on)
{
    m_overrideOwnerDraw = on;
    if (m_active) {
        detach();
        attach();
    }
}

void TFlatMenuRenderer::setActive(bool on)
{
    m_active = on;
    detach();
    if (on)
        attach();
    redrawMenuBar();
}

void TFlatMenuRenderer::SystemMenuFont(QFont &font, MenuColor &colour)
{
    QFont menuFont = QApplication::font("QMenu");
    if (menuFont.family() == QLatin1String("MS Sans Serif"))
        menuFont.setFamily(QStringLiteral("Tahoma"));
    font = menuFont;
    colour = MenuColor::system(MenuColor::MenuText);
}

void TFlatMenuRenderer::setImageList(QWidget *menu, const QList<QPixmap> &images)
{
    if (menu)
        menu->setProperty(ImageListProperty, QVariant::fromValue(images));
}

void TFlatMenuRenderer::setImageIndex(QAction *item, int index)
{
    if (item)
        item->setProperty(ImageIndexProperty, index);
}

// ----------------------------------------------------------- attach / detach

bool TFlatMenuRenderer::ownedByOwner(const QWidget *widget) const
{
    for (const QWidget *p = widget->parentWidget(); p; p = p->parentWidget()) {
        if (p == m_owner)
            return true;
        // Menus of another window (a dialog parented to the owner) are its own.
        if (p->isWindow() && !qobject_cast<const QMenu *>(p))
            return false;
    }
    return false;
}

QList<QWidget *> TFlatMenuRenderer::ownerMenus() const
{
    QList<QWidget *> out;
    if (!m_owner)
        return out;
    QSet<QWidget *> seen;
    std::function<void(QWidget *)> add = [&](QWidget *w) {
        if (!w || seen.contains(w))
            return;
        seen.insert(w);
        out.append(w);
        for (QAction *a : w->actions())
            add(a->menu());
    };
    for (QMenuBar *bar : m_owner->findChildren<QMenuBar *>()) {
        if (ownedByOwner(bar))
            add(bar);
    }
    for (QMenu *menu : m_owner->findChildren<QMenu *>()) {
        if (ownedByOwner(menu))
            add(menu);
    }
    return out;
}

void TFlatMenuRenderer::attachWidget(QWidget *widget, bool mayOverride)
{
    if (!widget)
        return;
    const bool tracked = std::any_of(m_attached.cbegin(), m_attached.cend(),
                                     [widget](const QPointer<QWidget> &w) { return w == widget; });
    if (widget->style() == this) {
        if (!tracked) {
            widget->installEventFilter(this);
            m_attached.append(widget);
        }
        return;
    }
    // A style set on the widget by someone else means it draws itself.
    if (widget->testAttribute(Qt::WA_SetStyle)) {
        if (!mayOverride)
            return;
        m_previousStyles.insert(widget, widget->style());
    }
    widget->setStyle(this);
    if (!tracked) {
        widget->installEventFilter(this);
        m_attached.append(widget);
    }
}

void TFlatMenuRenderer::attach()
{
    m_attachPending = false;
    for (QWidget *w : ownerMenus())
        attachWidget(w, m_overrideOwnerDraw);
}

void TFlatMenuRenderer::detach()
{
    const QList<QPointer<QWidget>> attached = m_attached;
    m_attached.clear();
    for (const QPointer<QWidget> &w : attached) {
        if (!w)
            continue;
        w->removeEventFilter(this);
        if (w->style() == this) {
            const QPointer<QStyle> previous = m_previousStyles.value(w.data());
            w->setStyle(previous.data());
        }
    }
    m_previousStyles.clear();
}

void TFlatMenuRenderer::attachSubmenuTree(QMenu *menu) const
{
    // Items added at run time below an item that has just been drawn get the
    // same look; menus that draw themselves keep their own.
    auto *self = const_cast<TFlatMenuRenderer *>(this);
    QSet<QMenu *> seen;
    std::function<void(QMenu *)> walk = [&](QMenu *m) {
        if (!m || seen.contains(m))
            return;
        seen.insert(m);
        self->attachWidget(m, false);
        for (QAction *a : m->actions())
            walk(a->menu());
    };
    walk(menu);
}

void TFlatMenuRenderer::scheduleAttach()
{
    // A child announced by ChildAdded is not fully built yet: look at it once
    // control returns to the event loop.
    if (m_attachPending)
        return;
    m_attachPending = true;
    QTimer::singleShot(0, this, [this] {
        if (m_attachPending && m_active && m_autoDetect)
            attach();
        m_attachPending = false;
    });
}

bool TFlatMenuRenderer::eventFilter(QObject *watched, QEvent *event)
{
    if (m_active && m_autoDetect) {
        switch (event->type()) {
        case QEvent::ChildAdded:
            scheduleAttach();
            break;
        case QEvent::ChildPolished: {
            // Catches a new menu before it first shows.
            QObject *child = static_cast<QChildEvent *>(event)->child();
            if (qobject_cast<QMenu *>(child) || qobject_cast<QMenuBar *>(child))
                attach();
            break;
        }
        case QEvent::ActionAdded:
        case QEvent::ActionChanged:
            if (watched != m_owner) {
                QAction *a = static_cast<QActionEvent *>(event)->action();
                if (a && a->menu() && a->menu()->style() != this)
                    attach();
            }
            break;
        default:
            break;
        }
    }
    return QProxyStyle::eventFilter(watched, event);
}

void TFlatMenuRenderer::relayoutMenus()
{
    // Item sizes depend on the font: have the menus measure again.
    for (const QPointer<QWidget> &w : std::as_const(m_attached)) {
        if (w && w->style() == this) {
            QEvent changed(QEvent::StyleChange);
            QCoreApplication::sendEvent(w, &changed);
        }
    }
}

void TFlatMenuRenderer::redrawMenuBar()
{
    if (!m_owner)
        return;
    for (QMenuBar *bar : m_owner->findChildren<QMenuBar *>())
        bar->update();
}

// -------------------------------------------------------------------- colours

int TFlatMenuRenderer::depthOf(const QPainter *painter) const
{
    if (m_displayDepth > 0)
        return m_displayDepth;
    if (painter && painter->device())
        return painter->device()->depth();
    return 32;
}

EffectiveMenuColours TFlatMenuRenderer::RefreshColours(const QPalette &palette, int bitsPerPixel) const
{
    m_highColour = bitsPerPixel >= 16;
    const bool high = m_highColour;
    const QColor buttonFace = MenuColor::system(MenuColor::ButtonFace).resolve(palette);
    const QColor highlight = MenuColor::system(MenuColor::Highlight).resolve(palette);
    const QColor buttonShadow = MenuColor::system(MenuColor::ButtonShadow).resolve(palette);
    const QColor white(255, 255, 255);

    EffectiveMenuColours c;
    c.menuBackground = m_color.resolve(palette);
    c.iconColumn = m_iconBackColor.resolve(palette);
    c.selectionFill = m_selectColor.resolve(palette);
    c.selectionFrame = m_selectBorderColor.resolve(palette);
    c.selectedText = m_selectFontColor.resolve(palette);
    c.menuBar = m_menuBarColor.resolve(palette);
    c.disabledText = m_disabledColor.resolve(palette);
    c.checkFrame = m_checkedColor.resolve(palette);
    c.separator = m_separatorColor.resolve(palette);
    if (high) {
        c.checkArea = Lighten(c.selectionFill, 75);
        c.checkAreaSelected = Lighten(c.selectionFill, 50);
        c.menuBorder = Darken(buttonFace, 90);
        c.menuShadow = Darken(buttonFace, 76);
    } else {
        c.checkArea = white;
        c.checkAreaSelected = QColor(192, 192, 192);
        c.menuBorder = buttonShadow;
        c.menuShadow = buttonShadow;
    }

    if (m_useSystemColors) {
        SystemMenuFont(m_font, m_fontColor);
        c.selectedText = m_fontColor.resolve(palette);
        c.menuBackground = high ? Lighten(buttonFace, 86) : white;
        c.iconColumn = high ? Lighten(buttonFace, 16) : buttonFace;
        c.selectionFill = high ? Lighten(highlight, 68) : white;
        c.selectionFrame = highlight;
        c.menuBar = buttonFace;
        c.disabledText = high ? Lighten(buttonShadow, 10) : buttonShadow;
        c.separator = high ? Lighten(buttonShadow, 25) : buttonShadow;
        c.checkFrame = highlight;
        c.checkArea = high ? Lighten(highlight, 75) : white;
        c.checkAreaSelected = high ? Lighten(highlight, 50) : white;
    }
    m_colours = c;
    return c;
}

QFont TFlatMenuRenderer::effectiveFont() const
{
    // Measuring must use the font that drawing will use, and drawing
    // reloads the desktop's menu font when it follows the system colours.
    if (m_useSystemColors)
        SystemMenuFont(m_font, m_fontColor);
    return m_font;
}

// ---------------------------------------------------------------- the style

void TFlatMenuRenderer::drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                                    const QWidget *widget) const
{
    if (m_active) {
        switch (element) {
        case CE_MenuItem:
        case CE_MenuBarItem:
            if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
                if (item->menuItemType != QStyleOptionMenuItem::Scroller
                    && item->menuItemType != QStyleOptionMenuItem::TearOff
                    && item->menuItemType != QStyleOptionMenuItem::EmptyArea) {
                    DrawItem(*item, painter, widget, element == CE_MenuBarItem);
                    return;
                }
            }
            break;
        case CE_MenuEmptyArea:
            painter->fillRect(option->rect, RefreshColours(option->palette, depthOf(painter)).menuBackground);
            return;
        case CE_MenuBarEmptyArea:
            painter->fillRect(option->rect, RefreshColours(option->palette, depthOf(painter)).menuBar);
            return;
        default:
            break;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void TFlatMenuRenderer::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                                      const QWidget *widget) const
{
    if (m_active) {
        switch (element) {
        case PE_PanelMenu:
            painter->fillRect(option->rect, RefreshColours(option->palette, depthOf(painter)).menuBackground);
            return;
        case PE_PanelMenuBar:
            painter->fillRect(option->rect, RefreshColours(option->palette, depthOf(painter)).menuBar);
            return;
        case PE_FrameMenu:
            if (m_flatMenu && qobject_cast<const QMenu *>(widget)) {
                const EffectiveMenuColours c = RefreshColours(option->palette, depthOf(painter));
                painter->save();
                painter->setRenderHint(QPainter::Antialiasing, false);
                // The menu does not give its frame option a direction.
                drawFlatFrame(painter, option->rect, widget->layoutDirection() == Qt::RightToLeft, c);
                painter->restore();
                return;
            }
            break;
        default:
            break;
        }
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize TFlatMenuRenderer::sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                                          const QWidget *widget) const
{
    if (m_active && (type == CT_MenuItem || type == CT_MenuBarItem)) {
        if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
            const bool bar = type == CT_MenuBarItem;
            QSize s = MeasureItem(*item, size, widget, bar);
            if (!bar && !isSeparatorItem(*item)) {
                // The menu adds its widest shortcut to every item's width;
                // take this item's share back so that it is not counted twice.
                const QString shortcut = shortcutOf(*item);
                if (!shortcut.isEmpty()) {
                    const QFontMetrics qfm = widget ? widget->fontMetrics() : item->fontMetrics;
                    s.setWidth(std::max(size.width(), s.width() - qfm.horizontalAdvance(shortcut)));
                }
            }
            if (bar || !isSeparatorItem(*item))
                s.rwidth() += DesktopItemPadding;
            return s;
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int TFlatMenuRenderer::pixelMetric(PixelMetric metric, const QStyleOption *option, const QWidget *widget) const
{
    if (m_active) {
        switch (metric) {
        case PM_MenuPanelWidth:
            if (m_flatMenu)
                return FlatFrameWidth;
            break;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
            if (m_flatMenu)
                return 0;
            break;
        case PM_MenuBarPanelWidth:
        case PM_MenuBarItemSpacing:
        case PM_MenuBarHMargin:
        case PM_MenuBarVMargin:
            return 0;
        default:
            break;
        }
    }
    return QProxyStyle::pixelMetric(metric, option, widget);
}

int TFlatMenuRenderer::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                                 QStyleHintReturn *returnData) const
{
    // Disabled items can be selected, as on the desktop; they just show no
    // highlight.
    if (m_active && hint == SH_Menu_AllowActiveAndDisabled)
        return 1;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void TFlatMenuRenderer::setUpForMainWindow()
{
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFontColor(MenuColor::system(MenuColor::MenuText));
    setColor(MenuColor::system(MenuColor::ButtonFace));
    setIconBackColor(MenuColor::system(MenuColor::ActiveBorder));
    setMenuBarColor(MenuColor::system(MenuColor::ButtonFace));
    setSelectColor(MenuColor::system(MenuColor::Highlight));
    setSelectBorderColor(MenuColor::system(MenuColor::Highlight));
    setSelectFontColor(MenuColor::system(MenuColor::MenuText));
    setDisabledColor(MenuColor::system(MenuColor::InactiveCaption));
    setSeparatorColor(MenuColor::system(MenuColor::ButtonFace));
    setCheckedColor(MenuColor::system(MenuColor::Highlight));
    setIconWidth(24);
    setDrawSelect(true);
    setUseSystemColors(true);
    setOverrideOwnerDraw(false);
    setGradient(false);
    setFlatMenu(true);
    setAutoDetect(true);
}
