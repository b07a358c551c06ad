#include "shell/MenuColor.h"

#include <QPalette>

MenuColor MenuColor::system(System which)
{
    MenuColor c;
    c.m_system = which;
    return c;
}

QColor MenuColor::resolve(const QPalette &palette) const
{
    // The palette roles that the desktop's system colours map onto (this is
    // also how Qt fills its palette from the Windows colours).
    switch (m_system) {
    case None:
        return m_rgb;
    case ButtonFace:
        return palette.color(QPalette::Active, QPalette::Button);
    case Highlight:
        return palette.color(QPalette::Active, QPalette::Highlight);
    case ButtonShadow:
        return palette.color(QPalette::Active, QPalette::Dark);
    case MenuText:
        return palette.color(QPalette::Active, QPalette::WindowText);
    case InactiveCaption:
        // No palette role holds a title-bar colour; the disabled text colour
        // is the palette's grey for things that are not active.
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case ActiveBorder:
        // The window frame is drawn in the window colour.
        return palette.color(QPalette::Active, QPalette::Window);
    }
    return m_rgb;
}
