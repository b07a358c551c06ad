#pragma once

#include <QColor>
#include <QMetaType>

class QPalette;

// A menu colour: either a fixed RGB value or a reference to one of the
// desktop's system colours, looked up in the palette each time it is used,
// so a change of the desktop colours reaches the menus without a restart.
class MenuColor {
public:
    enum System {
        None,            // a fixed RGB value
        ButtonFace,
        Highlight,
        ButtonShadow,
        MenuText,
        InactiveCaption,
        ActiveBorder,
    };

    MenuColor() = default;
    MenuColor(const QColor &rgb) : m_rgb(rgb) {}  // NOLINT: a plain colour converts
    static MenuColor system(System which);

    bool isSystem() const { return m_system != None; }
    System systemColour() const { return m_system; }

    // The colour to paint with; system colours come from the palette's
    // active group, whatever group the item itself is drawn in.
    QColor resolve(const QPalette &palette) const;

    bool operator==(const MenuColor &other) const
    {
        return m_system == other.m_system && (isSystem() || m_rgb == other.m_rgb);
    }
    bool operator!=(const MenuColor &other) const { return !(*this == other); }

private:
    System m_system = None;
    QColor m_rgb = Qt::black;
};

Q_DECLARE_METATYPE(MenuColor)
