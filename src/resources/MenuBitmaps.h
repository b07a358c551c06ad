#pragma once

#include <QIcon>
#include <QPixmap>
#include <QStringList>

// The small pictures of the main window's menu entries, 16 x 16 pixels,
// drawn pixel by pixel so they stay sharp. The bottom-left pixel of every
// picture is background (transparent), as the flat menus expect.
class MenuBitmaps {
public:
    // Object names of the entries that carry a picture, in menu order.
    static QStringList entries();
    // The picture of an entry, by the entry's object name; null for others.
    static QPixmap bitmap(const QString &entryName);
    static QIcon icon(const QString &entryName);
};
