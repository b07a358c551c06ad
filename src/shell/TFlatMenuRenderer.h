#pragma once

#include <QFont>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>

#include "shell/MenuColor.h"

class QAction;
class QMenu;
class QStyleOptionMenuItem;

// The colours one menu item is drawn with; derived anew for every item so
// that a change of the desktop colours shows at the next repaint.
struct EffectiveMenuColours {
    QColor menuBackground;
    QColor iconColumn;
    QColor selectionFill;
    QColor selectionFrame;
    QColor selectedText;
    QColor checkArea;
    QColor checkAreaSelected;
    QColor checkFrame;
    QColor menuBar;
    QColor disabledText;
    QColor separator;
    QColor menuBorder;
    QColor menuShadow;
};

// Draws every menu of its owner window flat: light background, shaded icon
// column, framed highlight and check marks, a separator that starts after the
// icon column, faded icons that sharpen and cast a shadow when selected, and
// a one-pixel border with a two-pixel shadow.
//
// It is a style that the renderer puts on the owner's menu bar and menus
// (and takes off again); widgets that carry a style of their own are left
// alone unless OverrideOwnerDraw is set.
class TFlatMenuRenderer : public QProxyStyle {
    Q_OBJECT
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(MenuColor FontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(MenuColor Color READ color WRITE setColor)
    Q_PROPERTY(MenuColor IconBackColor READ iconBackColor WRITE setIconBackColor)
    Q_PROPERTY(MenuColor MenuBarColor READ menuBarColor WRITE setMenuBarColor)
    Q_PROPERTY(MenuColor SelectColor READ selectColor WRITE setSelectColor)
    Q_PROPERTY(MenuColor SelectBorderColor READ selectBorderColor WRITE setSelectBorderColor)
    Q_PROPERTY(MenuColor SelectFontColor READ selectFontColor WRITE setSelectFontColor)
    Q_PROPERTY(MenuColor DisabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(MenuColor SeparatorColor READ separatorColor WRITE setSeparatorColor)
    Q_PROPERTY(MenuColor CheckedColor READ checkedColor WRITE setCheckedColor)
    Q_PROPERTY(int IconWidth READ iconWidth WRITE setIconWidth)
    Q_PROPERTY(bool DrawSelect READ drawSelect WRITE setDrawSelect)
    Q_PROPERTY(bool UseSystemColors READ useSystemColors WRITE setUseSystemColors)
    Q_PROPERTY(bool OverrideOwnerDraw READ overrideOwnerDraw WRITE setOverrideOwnerDraw)
    Q_PROPERTY(bool Gradient READ gradient WRITE setGradient)
    Q_PROPERTY(bool FlatMenu READ flatMenu WRITE setFlatMenu)
    Q_PROPERTY(bool AutoDetect READ autoDetect WRITE setAutoDetect)
    Q_PROPERTY(bool Active READ active WRITE setActive)

public:
    explicit TFlatMenuRenderer(QWidget *owner);
    // The settings the main window's renderer uses (does not activate it).
    void setUpForMainWindow();
    ~TFlatMenuRenderer() override;

    QWidget *owner() const { return m_owner; }

    // The font and its colour (the colour that enabled item texts get).
    QFont font() const { return m_font; }
    void setFont(const QFont &font);
    MenuColor fontColor() const { return m_fontColor; }
    void setFontColor(const MenuColor &colour) { m_fontColor = colour; }

    MenuColor color() const { return m_color; }
    void setColor(const MenuColor &c) { m_color = c; }
    MenuColor iconBackColor() const { return m_iconBackColor; }
    void setIconBackColor(const MenuColor &c) { m_iconBackColor = c; }
    MenuColor menuBarColor() const { return m_menuBarColor; }
    void setMenuBarColor(const MenuColor &c);
    MenuColor selectColor() const { return m_selectColor; }
    void setSelectColor(const MenuColor &c) { m_selectColor = c; }
    MenuColor selectBorderColor() const { return m_selectBorderColor; }
    void setSelectBorderColor(const MenuColor &c) { m_selectBorderColor = c; }
    MenuColor selectFontColor() const { return m_selectFontColor; }
    void setSelectFontColor(const MenuColor &c) { m_selectFontColor = c; }
    MenuColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(const MenuColor &c) { m_disabledColor = c; }
    MenuColor separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(const MenuColor &c) { m_separatorColor = c; }
    MenuColor checkedColor() const { return m_checkedColor; }
    void setCheckedColor(const MenuColor &c) { m_checkedColor = c; }
    int iconWidth() const { return m_iconWidth; }
    void setIconWidth(int pixels) { m_iconWidth = pixels; }
    bool drawSelect() const { return m_drawSelect; }
    void setDrawSelect(bool on) { m_drawSelect = on; }
    bool useSystemColors() const { return m_useSystemColors; }
    void setUseSystemColors(bool on);
    bool overrideOwnerDraw() const { return m_overrideOwnerDraw; }
    void setOverrideOwnerDraw(bool on);
    bool gradient() const { return m_gradient; }
    void setGradient(bool on) { m_gradient = on; }
    bool flatMenu() const { return m_flatMenu; }
    void setFlatMenu(bool on) { m_flatMenu = on; }
    bool autoDetect() const { return m_autoDetect; }
    void setAutoDetect(bool on) { m_autoDetect = on; }
    bool active() const { return m_active; }
    // On: takes over the owner's menus (afresh, so nothing is taken twice);
    // off: gives them back.
    void setActive(bool on);

    // The desktop's menu font and its colour; "MS Sans Serif" becomes
    // "Tahoma", which draws the same texts more clearly.
    static void SystemMenuFont(QFont &font, MenuColor &colour);

    // The colour depth the colours are derived for; 0 (the default) takes the
    // depth of the device drawn on. Lets a preview show a 256-colour desktop.
    void setDisplayDepth(int bitsPerPixel) { m_displayDepth = bitsPerPixel; }
    int displayDepth() const { return m_displayDepth; }

    // Derives the thirteen colours for a device of the given colour depth,
    // system colours taken from the palette. With UseSystemColors the font
    // is reloaded from the desktop's menu font first.
    EffectiveMenuColours RefreshColours(const QPalette &palette, int bitsPerPixel) const;
    bool highColour() const { return m_highColour; }

    // The size a menu item needs, never smaller than the proposed size
    // (a separator is always 4 high). A bar item is a top-level item of a
    // menu bar.
    QSize MeasureItem(const QStyleOptionMenuItem &item, const QSize &proposed, const QWidget *menu,
                      bool barItem) const;
    // Draws one item into item.rect.
    void DrawItem(const QStyleOptionMenuItem &item, QPainter *canvas, const QWidget *menu, bool barItem) const;

    // An image list of a menu or menu bar: its items pick an image by index
    // instead of carrying their own icon. Index -1 (the default) uses none.
    static void setImageList(QWidget *menu, const QList<QPixmap> &images);
    static void setImageIndex(QAction *item, int index);

    // QStyle
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption *option, const QSize &size,
                           const QWidget *widget = nullptr) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption *option = nullptr,
                    const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct ItemImage {
        QImage bitmap;
        bool fromImageList = false;
    };

    QList<QWidget *> ownerMenus() const;
    bool ownedByOwner(const QWidget *widget) const;
    void attach();
    void detach();
    void attachWidget(QWidget *widget, bool mayOverride);
    void attachSubmenuTree(QMenu *menu) const;
    void scheduleAttach();
    void relayoutMenus();
    void redrawMenuBar();

    int depthOf(const QPainter *painter) const;
    QFont effectiveFont() const;
    ItemImage itemImage(const QStyleOptionMenuItem &item, const QWidget *menu, QAction *action,
                        const QColor &iconColumn) const;
    static QAction *actionOf(const QStyleOptionMenuItem &item, const QWidget *menu);
    static QAction *actionByCaption(const QStyleOptionMenuItem &item, const QWidget *menu);
    void drawFlatFrame(QPainter *p, const QRect &rect, bool rtl, const EffectiveMenuColours &c) const;

    QPointer<QWidget> m_owner;

    mutable QFont m_font;
    mutable MenuColor m_fontColor = MenuColor::system(MenuColor::MenuText);
    MenuColor m_color = MenuColor::system(MenuColor::ButtonFace);
    MenuColor m_iconBackColor = MenuColor::system(MenuColor::ButtonFace);
    MenuColor m_menuBarColor = MenuColor::system(MenuColor::ButtonFace);
    MenuColor m_selectColor = MenuColor::system(MenuColor::Highlight);
    MenuColor m_selectBorderColor = MenuColor::system(MenuColor::Highlight);
    MenuColor m_selectFontColor = MenuColor::system(MenuColor::MenuText);
    MenuColor m_disabledColor = MenuColor::system(MenuColor::InactiveCaption);
    MenuColor m_separatorColor = MenuColor::system(MenuColor::ButtonFace);
    MenuColor m_checkedColor = MenuColor::system(MenuColor::Highlight);
    int m_iconWidth = 24;
    bool m_drawSelect = true;
    bool m_useSystemColors = true;
    bool m_overrideOwnerDraw = false;
    bool m_gradient = false;
    bool m_flatMenu = false;
    bool m_autoDetect = false;
    bool m_active = false;

    int m_displayDepth = 0;
    mutable bool m_highColour = true;
    mutable EffectiveMenuColours m_colours;

    // Widgets this renderer styles, and the style each had before when it
    // was taken over from someone else.
    mutable QList<QPointer<QWidget>> m_attached;
    QHash<QWidget *, QPointer<QStyle>> m_previousStyles;
    bool m_attachPending = false;
};
