// Measuring and drawing the items of the flat menus.
#include "shell/TFlatMenuRenderer.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionMenuItem>

#include "shell/FlatMenuParts.h"
#include "shell/MenuCanvas.h"
#include "shell/MenuColours.h"

using namespace MenuColours;
using namespace FlatMenuParts;

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
    const MenuCanvas cv(canvas);
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
    const MenuCanvas cv(p);
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
