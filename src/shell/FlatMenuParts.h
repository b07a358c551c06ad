#pragma once

// What the flat menu renderer's measuring, drawing and style hooks share.
#include <QFontMetrics>
#include <QIcon>
#include <QImage>
#include <QString>
#include <QStyleOptionMenuItem>

namespace FlatMenuParts {
inline const char *const ImageListProperty = "flatMenuImageList";
inline const char *const ImageIndexProperty = "flatMenuImageIndex";

// Width of a popup frame: border, two pixels inside it, and the shadow.
constexpr int FlatFrameWidth = 3;
// The desktop widens every owner-drawn item by the width of a check mark;
// the submenu arrow lives there, and it keeps the text off the right edge
// (and off the shadow band of a selected bar item).
constexpr int DesktopItemPadding = 12;

inline bool isSeparatorItem(const QStyleOptionMenuItem &item)
{
    return item.menuItemType == QStyleOptionMenuItem::Separator || item.text == QLatin1String("-");
}

inline QString captionOf(const QString &text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? text : text.left(tab);
}

inline QString captionOf(const QStyleOptionMenuItem &item)
{
    return captionOf(item.text);
}

inline QString shortcutOf(const QStyleOptionMenuItem &item)
{
    const qsizetype tab = item.text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? QString() : item.text.mid(tab + 1);
}

inline QImage iconBitmap(const QIcon &icon)
{
    if (icon.isNull())
        return {};
    const QList<QSize> sizes = icon.availableSizes();
    const QSize size = sizes.isEmpty() ? QSize(16, 16) : sizes.first();
    return icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
}

inline int textWidth(const QFontMetrics &fm, const QString &text)
{
    // The ampersand only marks the next letter; it takes no room.
    int w = fm.horizontalAdvance(text);
    if (text.contains(QLatin1Char('&')))
        w -= fm.horizontalAdvance(QLatin1Char('&'));
    return w;
}

} // namespace FlatMenuParts
