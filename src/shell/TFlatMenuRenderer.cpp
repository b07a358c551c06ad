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

#include "shell/MenuColours.h"

using namespace MenuColours;

namespace {

const char *const ImageListProperty = "flatMenuImageList";
const char *const ImageIndexProperty = "flatMenuImageIndex";

// Width of a popup frame: border, two pixels inside it, and the shadow.
constexpr int FlatFrameWidth = 3;
// The desktop widens every owner-drawn item by the width of a check mark;
// the submenu arrow lives there, and it keeps the text off the right edge
// (and off the shadow band of a selected bar item).
constexpr int DesktopItemPadding = 12;

// Drawing in the desktop's own conventions: rectangles exclude their right
// column and bottom row, lines exclude their end point.
class Canvas {
public:
    explicit Canvas(QPainter *p) : m_p(p) {}

    void fill(int l, int t, int r, int b, const QColor &c) const
    {
        if (r > l && b > t)
            m_p->fillRect(QRect(l, t, r - l, b - t), c);
    }
    void pixel(int x, int y, const QColor &c) const { m_p->fillRect(QRect(x, y, 1, 1), c); }
    void frame(int l, int t, int r, int b, const QColor &c) const
    {
        if (r <= l || b <= t)
            return;
        fill(l, t, r, t + 1, c);
        fill(l, b - 1, r, b, c);
        fill(l, t, l + 1, b, c);
        fill(r - 1, t, r, b, c);
    }
    // Outline in the pen colour, inside filled with the brush colour.
    void rectangle(int l, int t, int r, int b, const QColor &pen, const QColor &brush) const
    {
        fill(l, t, r, b, brush);
        frame(l, t, r, b, pen);
    }
    void ellipse(int l, int t, int r, int b, const QColor &pen, const QColor &brush) const
    {
        if (r - l < 2 || b - t < 2)
            return;
        m_p->save();
        m_p->setPen(pen);
        m_p->setBrush(brush);
        m_p->drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
        m_p->restore();
    }
    void roundRect(int l, int t, int r, int b, int corner, const QColor &pen, const QColor &brush) const
    {
        if (r - l < 2 || b - t < 2)
            return;
        m_p->save();
        m_p->setPen(pen);
        m_p->setBrush(brush);
        m_p->drawRoundedRect(QRect(l, t, r - l - 1, b - t - 1), corner / 2.0, corner / 2.0);
        m_p->restore();
    }
    void line(int x0, int y0, int x1, int y1, const QColor &c) const
    {
        if (y0 == y1) {
            fill(std::min(x0, x1 + 1), y0, std::max(x0 + 1, x1), y0 + 1, c);
            return;
        }
        if (x0 == x1) {
            fill(x0, std::min(y0, y1 + 1), x0 + 1, std::max(y0 + 1, y1), c);
            return;
        }
        const int dx = x1 - x0;
        const int dy = y1 - y0;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        for (int i = 0; i < steps; ++i)
            pixel(x0 + roundHalfEven(1LL * i * dx, steps), y0 + roundHalfEven(1LL * i * dy, steps), c);
    }
    void polyline(std::initializer_list<QPoint> points, const QColor &c) const
    {
        const QPoint *prev = nullptr;
        for (const QPoint &pt : points) {
            if (prev)
                line(prev->x(), prev->y(), pt.x(), pt.y(), c);
            prev = &pt;
        }
    }

private:
    QPainter *m_p;
};

bool isSeparatorItem(const QStyleOptionMenuItem &item)
{
    return item.menuItemType == QStyleOptionMenuItem::Separator || item.text == QLatin1String("-");
}

QString captionOf(const QString &text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? text : text.left(tab);
}

QString captionOf(const QStyleOptionMenuItem &item)
{
    return captionOf(item.text);
}

QString shortcutOf(const QStyleOptionMenuItem &item)
{
    const qsizetype tab = item.text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : item.text.mid(tab + 1);
}

QImage iconBitmap(const QIcon &icon)
{
    if (icon.isNull())
        return {};
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
    return icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

int textWidth(const QFontMetrics &fm, const QString &text)
{
    // The ampersand only marks the next letter; it takes no room.
    int w = fm.horizontalAdvance(text);
    if (text.contains(QLatin1Char('&')))
        w -= fm.horizontalAdvance(QLatin1Char('&'));
    return w;
}

} // namespace

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

// ------------------------------------------------------------------ the items

QAction *TFlatMenuRenderer::actionOf(const QStyleOptionMenuItem &item, const QWidget *menu)
{
    if (auto *m = qobject_cast<const QMenu *>(menu))
        return m->actionAt(item.rect.center());
    if (auto *bar = qobject_cast<const QMenuBar *>(menu))
        return bar->actionAt(item.rect.center());
    return nullptr;
}

QAction *TFlatMenuRenderer::actionByCaption(const QStyleOptionMenuItem &item, const QWidget *menu)
{
    // While a menu measures, its item rectangles are not known yet, so the
    // item is found by its caption.
    if (!menu)
        return nullptr;
    const QString caption = captionOf(item);
    for (QAction *a : menu->actions()) {
        if (!a->isSeparator() && captionOf(a->text()) == caption)
            return a;
    }
    return nullptr;
}

TFlatMenuRenderer::ItemImage TFlatMenuRenderer::itemImage(const QStyleOptionMenuItem &item, const QWidget *menu,
                                                          QAction *action, const QColor &iconColumn) const
{
    ItemImage out;
    if (menu && action) {
        const QVariant list = menu->property(ImageListProperty);
        const int index = action->property(ImageIndexProperty).isValid()
                              ? action->property(ImageIndexProperty).toInt()
                              : -1;
        if (list.isValid() && index >= 0) {
            const auto images = list.value<QList<QPixmap>>();
            if (index < images.size() && !images.at(index).isNull()) {
                // The list's image (transparent where its mask is) on the
                // icon column's colour.
                QSize size = images.first().size();
                QImage bmp(size, QImage::Format_ARGB32);
                bmp.fill(iconColumn);
                QPainter p(&bmp);
                p.drawPixmap(0, 0, images.at(index));
                p.end();
                out.bitmap = bmp;
                out.fromImageList = true;
                return out;
            }
        }
    }
    out.bitmap = iconBitmap(item.icon);
    return out;
}

QSize TFlatMenuRenderer::MeasureItem(const QStyleOptionMenuItem &item, const QSize &proposed, const QWidget *menu,
                                     bool barItem) const
{
    const bool separator = !barItem && isSeparatorItem(item);
    const QFont font = effectiveFont();
    const QFontMetrics fm = menu ? QFontMetrics(font, menu) : QFontMetrics(font);

    QString text;
    if (!separator) {
        text = captionOf(item);
        const QString shortcut = shortcutOf(item);
        // "WWW" keeps caption and shortcut apart.
        if (!shortcut.isEmpty())
            text += shortcut + QStringLiteral("WWW");
    }

    const ItemImage image = itemImage(item, menu, actionByCaption(item, menu), QColor());
    const int imageWidth = image.bitmap.isNull() ? 0 : image.bitmap.width();
    const int imageHeight = image.bitmap.isNull() ? 0 : image.bitmap.height();
    const int iconWidth = barItem ? imageWidth : std::max(imageWidth, m_iconWidth);

    const int width = textWidth(fm, text) + iconWidth + 10;
    QSize size(std::max(width, proposed.width()), 4);
    if (!separator) {
        const int th = fm.height();
        const int height = std::max(th + roundHalfEven(3LL * th, 4), imageHeight + 4);
        size.setHeight(std::max(height, proposed.height()));
    }
    return size;
}

void TFlatMenuRenderer::DrawItem(const QStyleOptionMenuItem &item, QPainter *canvas, const QWidget *menu,
                                 bool barItem) const
{
    if (!m_active || !canvas)
        return;

    // 1. Colours and kind of item.
    const EffectiveMenuColours c = RefreshColours(item.palette, depthOf(canvas));
    const bool high = m_highColour;
    const QColor fontColour = m_fontColor.resolve(item.palette);
    const bool separator = !barItem && isSeparatorItem(item);
    const bool rtl = item.direction == Qt::RightToLeft;
    const bool selected = item.state & QStyle::State_Selected;
    const bool enabled = item.state & QStyle::State_Enabled;
    const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
    const bool radio = item.checkType == QStyleOptionMenuItem::Exclusive;
    QAction *action = actionOf(item, menu);

    canvas->save();
    canvas->setRenderHint(QPainter::Antialiasing, false);
    canvas->setFont(effectiveFont());
    if (rtl)
        canvas->setLayoutDirection(Qt::RightToLeft);
    const Canvas cv(canvas);
    const int iw = m_iconWidth;

    // 2. The rectangle reaches one pixel further down.
    const int L = item.rect.left();
    const int T = item.rect.top();
    const int R = item.rect.left() + item.rect.width();
    const int B = item.rect.top() + item.rect.height() + 1;
    const QString text = QLatin1Char(' ') + captionOf(item);
    const QString shortcut = shortcutOf(item);

    // 3. The icon column.
    const int colL = rtl ? R - iw : L;
    const int colR = colL + iw;

    const ItemImage image = itemImage(item, menu, action, c.iconColumn);
    const QImage &bmp = image.bitmap;

    // 4. The check box.
    int boxL, boxT, boxR, boxB;
    if (image.fromImageList) {
        boxL = colL + 1;
        boxT = T + 2;
        boxR = colR - 3;
        boxB = B - 2;
    } else {
        boxL = colL + (iw - 10) / 2;
        boxT = T + (B - T - 10) / 2;
        boxR = boxL + 10;
        boxB = boxT + 10;
    }

    // 5. The text area.
    int aL, aR;
    if (!rtl) {
        aL = L + iw;
        aR = R;
        if (!bmp.isNull() && bmp.width() > iw)
            aL = L + bmp.width() + 4;
    } else {
        aL = L;
        aR = R - iw;
        if (!bmp.isNull() && bmp.width() > iw)
            aR = R - bmp.width() - 4;
    }
    if (barItem) {
        aL = L;
        aR = R;
        if (image.fromImageList) {
            if (rtl)
                aR += 5;
            else
                aL -= 5;
        }
    }
    int aT = T;
    const int aB = B;

    // 6. Background. (The area is painted afresh for every item here, so a
    // selected disabled item is filled too: it keeps its unselected look.)
    auto gradientStep = [&](int x) {
        // Steps grow fast across the icon column and slowly after it.
        int s = 0;
        for (int col = L; col <= x; ++col) {
            s += (col > L && col < L + iw + 5) ? 3 : 1;
            s = std::min(s, 96);
        }
        return s;
    };
    const bool gradientFill = !barItem && m_gradient && high;
    if (barItem) {
        cv.fill(L, T, R, B, c.menuBar);
    } else if (gradientFill) {
        for (int x = L; x < R + 2; ++x) {
            const int mirrored = rtl ? (R + 1 - (x - L)) : x;
            cv.fill(mirrored, T, mirrored + 1, B, Lighten(c.iconColumn, gradientStep(x)));
        }
    } else {
        cv.fill(L, T, R, B, c.menuBackground);
        cv.fill(colL, T, colR, B, c.iconColumn);
    }

    // 7. Selection.
    const bool popupSelection = !barItem && selected && m_drawSelect && enabled;
    const int selR = R - (m_flatMenu ? 1 : 0);
    if (selected && m_drawSelect) {
        if (barItem) {
            cv.fill(L, T, R, B, c.iconColumn);
            if (!rtl && high) {
                cv.polyline({QPoint(L, B - 1), QPoint(L, T), QPoint(R - 8, T), QPoint(R - 8, B)}, c.menuBorder);
                const QColor bar = c.menuBar;
                cv.fill(R - 7, T, R, B, Darken(bar, 10));
                cv.fill(R - 7, T + 3, R - 2, B, Darken(bar, 30));
                cv.fill(R - 7, T + 5, R - 3, B, Darken(bar, 60));
                cv.fill(R - 7, T + 6, R - 5, B, Darken(bar, 100));
                cv.polyline({QPoint(R - 5, T + 1), QPoint(R - 1, T + 1), QPoint(R - 1, T + 6)}, bar);
                cv.polyline({QPoint(R - 3, T + 2), QPoint(R - 2, T + 2), QPoint(R - 2, T + 3), QPoint(R - 3, T + 3)},
                            bar);
                cv.polyline({QPoint(R - 6, T + 3), QPoint(R - 3, T + 3), QPoint(R - 3, T + 6), QPoint(R - 4, T + 6),
                             QPoint(R - 4, T + 3)},
                            Darken(bar, 10));
                cv.polyline({QPoint(R - 5, T + 5), QPoint(R - 4, T + 5), QPoint(R - 4, T + 9)}, Darken(bar, 30));
                cv.polyline({QPoint(R - 6, T + 5), QPoint(R - 6, T + 7)}, Darken(bar, 40));
            } else {
                cv.polyline({QPoint(L, B - 1), QPoint(L, T), QPoint(R - 3, T), QPoint(R - 3, B)}, c.menuBorder);
                cv.fill(R - 2, T + 2, R, B, c.menuShadow);
            }
        } else if (enabled) {
            cv.rectangle(L, T + 1, selR, B - 1, c.selectionFrame, c.selectionFill);
        }
    }

    // The colour under a point, as painted above; the bold look of the
    // default item darkens it.
    auto backgroundAt = [&](int x, int y) -> QColor {
        if (barItem)
            return selected && m_drawSelect ? c.iconColumn : c.menuBar;
        if (popupSelection && x >= L && x < selR && y >= T + 1 && y < B - 1) {
            const bool onFrame = x == L || x == selR - 1 || y == T + 1 || y == B - 2;
            return onFrame ? c.selectionFrame : c.selectionFill;
        }
        if (gradientFill) {
            const int col = rtl ? (R + 1 - (x - L)) : x;
            return Lighten(c.iconColumn, gradientStep(col));
        }
        if (x >= colL && x < colR)
            return c.iconColumn;
        return c.menuBackground;
    };

    // 8. Check marks.
    if (!barItem && checked) {
        const QColor fill = selected ? c.checkAreaSelected : c.checkArea;
        if (image.fromImageList) {
            if (radio)
                cv.roundRect(boxL, boxT, boxR, boxB, 6, c.selectionFrame, fill);
            else
                cv.rectangle(boxL, boxT, boxR, boxB, c.selectionFrame, fill);
        } else if (radio) {
            cv.ellipse(boxL, boxT, boxR, boxB, c.selectionFrame, fill);
        } else {
            cv.rectangle(boxL, boxT, boxR, boxB, c.checkFrame, fill);
            const QColor black(0, 0, 0);
            cv.line(boxL + 1, boxT + 5, boxL + 4, boxB - 2, black);
            cv.line(boxL + 2, boxT + 5, boxL + 4, boxB - 3, black);
            cv.line(boxL + 2, boxT + 4, boxL + 5, boxB - 3, black);
            cv.line(boxL + 4, boxB - 3, boxR + 2, boxT - 1, black);
            cv.line(boxL + 4, boxB - 2, boxR - 2, boxT + 3, black);
        }
    }

    // 9. The icon.
    if (!bmp.isNull() && !separator) {
        int top = T + 4;
        int left;
        if (bmp.width() <= iw)
            left = colL + (iw - bmp.width()) / 2 - 1;
        else
            left = rtl ? colR - bmp.width() - 2 : colL + 2;
        QImage picture = bmp;
        const bool lifted = selected && enabled && !checked;
        if (lifted && !barItem) {
            --left;
            --top;
        }
        if (!selected && enabled && !checked && high)
            picture = FadeBitmap(picture, 30);
        if (!enabled)
            picture = GreyBitmap(picture, 90);
        if (lifted)
            DrawBitmapShadow(canvas, picture, left + 2, top + 2, Darken(c.selectionFill, 50));
        canvas->drawImage(left, top, TransparentCopy(picture));
    }

    // 10. Separator line or text.
    if (separator) {
        const int y = aT + roundHalfEven(aB - aT, 2);
        if (rtl)
            cv.line(aR - 7, y, aL, y, c.separator);
        else
            cv.line(aL + 7, y, aR, y, c.separator);
    } else {
        if (rtl)
            aR -= 5;
        else
            aL += 5;

        QColor colour = c.disabledText;
        if (enabled)
            colour = fontColour;
        if (selected)
            colour = c.selectedText;
        if (!enabled)
            colour = c.disabledText;
        if (selected && barItem)
            colour = ContrastText(c.iconColumn, fontColour);

        const QFontMetrics fm = canvas->fontMetrics();
        aT += (aB - aT - fm.height()) / 2;
        // Alignment is meant on screen, not mirrored by the reading direction.
        const int flags = Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignTop | Qt::AlignAbsolute
                          | (rtl ? Qt::AlignRight : Qt::AlignLeft);
        auto drawTextAt = [&](int dx, int dy, const QColor &col) {
            canvas->setPen(col);
            canvas->drawText(QRect(aL + dx, aT + dy, aR - aL, aB - aT), flags, text);
        };
        if (item.menuItemType == QStyleOptionMenuItem::DefaultItem && enabled) {
            // Four darker copies give the default item its bold look.
            struct Copy { int dx, dy, n; };
            for (const Copy &k : {Copy{1, 0, 30}, Copy{1, 2, 30}, Copy{0, 1, 40}, Copy{1, 1, 60}}) {
                const int x = rtl ? aR - 1 + k.dx : aL + k.dx;
                drawTextAt(k.dx, k.dy, Darken(backgroundAt(x, aT + k.dy), k.n));
            }
        }
        drawTextAt(0, 0, colour);

        if (!shortcut.isEmpty() && !barItem) {
            canvas->setPen(high ? Darken(colour, -40) : colour);
            const QString keys = shortcut + QLatin1Char(' ');
            if (rtl)
                canvas->drawText(QRect(aL + 10, aT, aR - aL - 10, aB - aT),
                                 Qt::TextSingleLine | Qt::AlignTop | Qt::AlignAbsolute | Qt::AlignLeft, keys);
            else
                canvas->drawText(QRect(aL, aT, aR - 10 - aL, aB - aT),
                                 Qt::TextSingleLine | Qt::AlignTop | Qt::AlignAbsolute | Qt::AlignRight, keys);
        }

        if (!barItem && item.menuItemType == QStyleOptionMenuItem::SubMenu) {
            // The arrow to the submenu, in the text's colour.
            const int cy = T + (B - 1 - T) / 2;
            for (int i = 0; i < 4; ++i) {
                const int x = rtl ? L + 8 - i : R - 9 + i;
                cv.fill(x, cy - 3 + i, x + 1, cy + 4 - i, colour);
            }
        }
    }
    canvas->restore();

    // 11. The popup's flat frame is painted with the menu's frame.
    // 12. Items below this one that were added at run time get this look too.
    if (action && action->menu())
        attachSubmenuTree(action->menu());
}

void TFlatMenuRenderer::drawFlatFrame(QPainter *p, const QRect &rect, bool rtl, const EffectiveMenuColours &c) const
{
    // The items start FlatFrameWidth pixels inside the window on every side:
    // on the left and at the top two pixels lie between border and items, on
    // the right and at the bottom the border touches the items and the two
    // outer pixels are the shadow.
    const Canvas cv(p);
    const int L = rect.left();
    const int T = rect.top();
    const int R = rect.left() + rect.width();
    const int B = rect.top() + rect.height();
    const int iw = m_iconWidth;
    const int itemsL = L + FlatFrameWidth;
    const int itemsR = R - FlatFrameWidth;

    // 1. The border.
    cv.frame(L, T, R - 2, B - 2, c.menuBorder);

    // 2. The strips inside the border. On the icon side they carry the icon
    // column's colour so that the column reaches the border; they stop above
    // the bottom border line, which stays whole.
    const bool gradientFill = m_gradient && m_highColour;
    if (!rtl) {
        if (!gradientFill) {
            cv.fill(L + 1, T + 1, R - 3, T + 3, c.menuBackground);
            cv.fill(L + 1, T + 2, itemsL + iw, T + 3, c.iconColumn);
        }
        cv.fill(L + 1, T + 1, L + 2, B - 3, c.iconColumn);
        cv.fill(L + 2, T + 2, L + 3, B - 3, c.iconColumn);
    } else {
        if (!gradientFill) {
            cv.fill(L + 1, T + 1, R - 3, T + 3, c.menuBackground);
            cv.fill(L + 1, T + 1, L + 3, B - 3, c.menuBackground);
            cv.fill(itemsR - iw, T + 2, itemsR, T + 3, c.iconColumn);
        }
    }

    // 3. The shadow, with its two outer corners in the icon column's colour.
    cv.fill(L + 2, B - 2, R, B, c.menuShadow);
    cv.fill(R - 2, T + 2, R, B, c.menuShadow);
    cv.fill(L, B - 2, L + 2, B, c.iconColumn);
    cv.fill(R - 2, T, R, T + 2, c.iconColumn);
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
