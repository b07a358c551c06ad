#include <QDir>
#include <algorithm>
#include <cstdlib>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QtTest>

#include "MenuStandIn.h"
#include "resources/MenuBitmaps.h"
#include "shell/TFlatMenuRenderer.h"

// The effective colours for the classic desktop colours (button face
// 212,208,200, highlight 10,36,106, button shadow 128,128,128), worked out
// by hand from the colour rules.
namespace Expect {
const QRgb Background = qRgb(249, 248, 247);     // button face lightened by 86
const QRgb IconColumn = qRgb(219, 216, 209);     // button face lightened by 16
const QRgb SelectionFill = qRgb(177, 185, 207);  // highlight lightened by 68
const QRgb Highlight = qRgb(10, 36, 106);
const QRgb CheckArea = qRgb(194, 200, 218);      // highlight lightened by 75
const QRgb Separator = qRgb(160, 160, 160);      // button shadow lightened by 25
const QRgb Disabled = qRgb(141, 141, 141);       // button shadow lightened by 10
const QRgb Border = qRgb(122, 120, 110);         // button face darkened by 90
const QRgb Shadow = qRgb(136, 134, 124);         // button face darkened by 76
const QRgb White = qRgb(255, 255, 255);
} // namespace Expect

class TestFlatMenuRenderer : public QObject {
    Q_OBJECT

    static QImage shot(QWidget *w, const char *name)
    {
        QImage img = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QByteArray dir = qgetenv("VW_MENU_SNAPSHOTS");
        if (!dir.isEmpty())
            img.save(QDir(QString::fromLocal8Bit(dir)).filePath(QLatin1String(name) + QLatin1String(".png")));
        return img;
    }
    static QRgb at(const QImage &img, int x, int y) { return img.pixel(x, y) & 0xffffff; }
    static QString rgb(QRgb c) { return QStringLiteral("(%1,%2,%3)").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)); }
#define QCOMPARE_RGB(actual, expected) QCOMPARE(rgb(actual), rgb(expected))

    static void open(QMenu *menu, QPoint pos = QPoint(20, 20))
    {
        menu->popup(pos);
        QVERIFY(QTest::qWaitForWindowExposed(menu));
    }

    // Pixels of a region whose colour is not the given background.
    static QList<QRgb> ink(const QImage &img, const QRect &r, QRgb background)
    {
        QList<QRgb> out;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (at(img, x, y) != (background & 0xffffff))
                    out << at(img, x, y);
        return out;
    }
    // Whether c is a blend of background and text colour (antialiased text).
    static bool blendOf(QRgb c, QRgb background, QRgb text)
    {
        for (int a = 0; a <= 256; ++a) {
            auto mix = [a](int b, int t) { return b + (t - b) * a / 256; };
            if (std::abs(qRed(c) - mix(qRed(background), qRed(text))) <= 2
                && std::abs(qGreen(c) - mix(qGreen(background), qGreen(text))) <= 2
                && std::abs(qBlue(c) - mix(qBlue(background), qBlue(text))) <= 2)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(classicPalette());
        QApplication::setEffectEnabled(Qt::UI_AnimateMenu, false);
    }

    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMenu *>(w))
                w->hide();
    }

    // --------------------------------------------------------------- set-up

    void defaultsAndPublishedOrder()
    {
        QWidget owner;
        TFlatMenuRenderer r(&owner);
        QCOMPARE(r.parent(), &owner);
        QCOMPARE(r.color(), MenuColor::system(MenuColor::ButtonFace));
        QCOMPARE(r.iconBackColor(), MenuColor::system(MenuColor::ButtonFace));
        QCOMPARE(r.menuBarColor(), MenuColor::system(MenuColor::ButtonFace));
        QCOMPARE(r.selectColor(), MenuColor::system(MenuColor::Highlight));
        QCOMPARE(r.selectBorderColor(), MenuColor::system(MenuColor::Highlight));
        QCOMPARE(r.selectFontColor(), r.fontColor());
        QCOMPARE(r.fontColor(), MenuColor::system(MenuColor::MenuText));
        QCOMPARE(r.disabledColor(), MenuColor::system(MenuColor::InactiveCaption));
        QCOMPARE(r.separatorColor(), MenuColor::system(MenuColor::ButtonFace));
        QCOMPARE(r.checkedColor(), MenuColor::system(MenuColor::Highlight));
        QCOMPARE(r.iconWidth(), 24);
        QVERIFY(r.drawSelect() && r.useSystemColors());
        QVERIFY(!r.overrideOwnerDraw() && !r.gradient() && !r.flatMenu() && !r.autoDetect() && !r.active());
        QCOMPARE(r.font(), QApplication::font("QMenu"));

        QStringList names;
        const QMetaObject *mo = r.metaObject();
        for (int i = mo->propertyOffset(); i < mo->propertyCount(); ++i)
            names << QLatin1String(mo->property(i).name());
        QCOMPARE(names, QStringList({"Font", "FontColor", "Color", "IconBackColor", "MenuBarColor", "SelectColor",
                                     "SelectBorderColor", "SelectFontColor", "DisabledColor", "SeparatorColor",
                                     "CheckedColor", "IconWidth", "DrawSelect", "UseSystemColors",
                                     "OverrideOwnerDraw", "Gradient", "FlatMenu", "AutoDetect", "Active"}));
        // An inactive renderer has taken no menu.
        QMenu menu(&owner);
        QVERIFY(menu.style() != &r);
    }

    void attachesAllMenusAndDetaches()
    {
        MenuStandIn w;
        TFlatMenuRenderer *r = w.MenuRenderer1;
        const QList<QWidget *> menus = {w.MainMenu1, w.asks1, w.Info1, w.Language1, w.PopupMenu1,
                                        w.PopupMenu2, w.Befehle1, w.Ansicht1};
        for (QWidget *m : menus)
            QVERIFY2(m->style() == r, qPrintable(m->objectName()));
        QVERIFY(w.style() != r);  // the window itself keeps its style

        r->setActive(true);  // again: still attached once, nothing breaks
        for (QWidget *m : menus)
            QVERIFY(m->style() == r);

        r->setActive(false);
        for (QWidget *m : menus) {
            QVERIFY2(m->style() == QApplication::style(), qPrintable(m->objectName()));
            QVERIFY(!m->testAttribute(Qt::WA_SetStyle));
        }

        // Destroying an active renderer gives the menus back, too.
        r->setActive(true);
        delete r;
        for (QWidget *m : menus)
            QVERIFY(m->style() == QApplication::style());
        open(w.PopupMenu2);  // still drawable
        w.PopupMenu2->hide();
    }

    void leavesSelfDrawnMenusUnlessOverriding()
    {
        MenuStandIn w(false);
        QProxyStyle own;
        w.PopupMenu1->setStyle(&own);
        auto *r = new TFlatMenuRenderer(&w);
        r->setActive(true);
        QVERIFY(w.PopupMenu1->style() == &own);
        QVERIFY(w.PopupMenu2->style() == r);

        r->setOverrideOwnerDraw(true);
        QVERIFY(w.PopupMenu1->style() == r);
        // Given back as it was.
        r->setActive(false);
        QVERIFY(w.PopupMenu1->style() == &own);
        QVERIFY(w.PopupMenu2->style() == QApplication::style());
    }

    void autoDetectTakesLaterMenus()
    {
        MenuStandIn w;
        TFlatMenuRenderer *r = w.MenuRenderer1;

        // A menu of the window created later, e.g. a new context menu.
        auto *later = new QMenu(&w);
        later->addAction(QStringLiteral("&Later"));
        QCoreApplication::processEvents();
        QVERIFY(later->style() == r);

        // A submenu added to an existing menu.
        auto *sub = new QMenu(QStringLiteral("More"));
        sub->addAction(QStringLiteral("Item"));
        w.PopupMenu2->addMenu(sub);
        QVERIFY(sub->style() == r);

        // One created and shown at once.
        auto *immediate = new QMenu(&w);
        immediate->addAction(QStringLiteral("Now"));
        open(immediate);
        QVERIFY(immediate->style() == r);
        delete sub;

        // Without AutoDetect a new menu stays as it is ...
        r->setAutoDetect(false);
        auto *plain = new QMenu(&w);
        QCoreApplication::processEvents();
        QVERIFY(plain->style() != r);
        // ... but a submenu below a drawn item is taken when its item is drawn.
        auto *below = new QMenu(QStringLiteral("Below"));
        below->addAction(QStringLiteral("Deep"));
        w.PopupMenu2->addMenu(below);
        QVERIFY(below->style() != r);
        open(w.PopupMenu2);
        shot(w.PopupMenu2, "popup2_with_runtime_submenu");
        QVERIFY(below->style() == r);
        delete below;
    }

    void inactiveRendererDrawsNothing()
    {
        MenuStandIn w;
        TFlatMenuRenderer *r = w.MenuRenderer1;
        QStyleOptionMenuItem opt;
        opt.rect = QRect(0, 0, 100, 20);
        opt.palette = classicPalette();
        opt.state = QStyle::State_Enabled;
        opt.text = QStringLiteral("&Text");
        QImage img(100, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        r->setActive(false);
        {
            QPainter p(&img);
            r->DrawItem(opt, &p, nullptr, false);
        }
        QCOMPARE_RGB(at(img, 50, 10), qRgb(255, 0, 0));
        r->setActive(true);
        {
            QPainter p(&img);
            r->DrawItem(opt, &p, nullptr, false);
        }
        QCOMPARE_RGB(at(img, 2, 10), Expect::IconColumn);
        QCOMPARE_RGB(at(img, 90, 10), Expect::Background);
    }

    // ----------------------------------------------------------- measuring

    void measuresSeparatorsAndShortcuts()
    {
        MenuStandIn w;
        TFlatMenuRenderer *r = w.MenuRenderer1;
        QCOMPARE(w.asks1->actionGeometry(w.entry("N1")).height(), 4);
        QCOMPARE(w.PopupMenu1->actionGeometry(w.entry("N3")).height(), 4);

        const QFontMetrics fm(r->font(), w.asks1);
        // Text height plus three quarters of it, halves rounded to even.
        const int th = fm.height();
        const int q = 3 * th / 4, r4 = 3 * th % 4;
        const int expected = std::max(th + q + (r4 == 3 || (r4 == 2 && q % 2 == 1) ? 1 : 0), 16 + 4);
        QCOMPARE(w.asks1->actionGeometry(w.entry("Close1")).height(), expected);
        QCOMPARE(w.PopupMenu1->actionGeometry(w.entry("Minimize1")).height(), expected);  // no picture

        // An entry with a shortcut has room for caption, shortcut and "WWW".
        QAction *keyed = w.asks1->addAction(QStringLiteral("&Run Backup manually"));
        keyed->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+R")));
        keyed->setShortcutVisibleInContextMenu(true);
        const QString shortcut = keyed->shortcut().toString(QKeySequence::NativeText);
        const int needed = fm.horizontalAdvance(QStringLiteral("&Run Backup manually") + shortcut + "WWW")
                           - fm.horizontalAdvance(QLatin1Char('&')) + 24 + 10;
        QVERIFY2(w.asks1->actionGeometry(keyed).width() >= needed,
                 qPrintable(QStringLiteral("%1 < %2").arg(w.asks1->actionGeometry(keyed).width()).arg(needed)));
        // Without the shortcut the same caption needs only caption and icon column.
        const int plain = fm.horizontalAdvance(QStringLiteral("&Run Backup manually"))
                          - fm.horizontalAdvance(QLatin1Char('&')) + 24 + 10;
        QStyleOptionMenuItem opt;
        opt.text = QStringLiteral("&Run Backup manually");
        QCOMPARE(r->MeasureItem(opt, QSize(10, 10), w.asks1, false).width(), plain);
        opt.text += QLatin1Char('\t') + shortcut;
        QCOMPARE(r->MeasureItem(opt, QSize(10, 10), w.asks1, false).width(), needed);
        // Sizes only grow.
        QCOMPARE(r->MeasureItem(opt, QSize(1000, 90), w.asks1, false), QSize(1000, 90));
        opt.menuItemType = QStyleOptionMenuItem::Separator;
        opt.text.clear();
        QCOMPARE(r->MeasureItem(opt, QSize(2, 90), w.asks1, false).height(), 4);
        // Top-level items of the bar have no icon column.
        QStyleOptionMenuItem bar;
        bar.text = QStringLiteral("&Tasks");
        QCOMPARE(r->MeasureItem(bar, QSize(), w.MainMenu1, true).width(),
                 fm.horizontalAdvance(QStringLiteral("&Tasks")) - fm.horizontalAdvance(QLatin1Char('&')) + 10);
    }

    // -------------------------------------------------------------- pixels

    void iconColumnSeparatorAndFrame()
    {
        MenuStandIn w;
        open(w.asks1);
        const QImage img = shot(w.asks1, "tasks_menu");
        const QRect close = w.asks1->actionGeometry(w.entry("Close1"));
        const int mid = close.center().y();
        QCOMPARE(close.left(), 3);
        QCOMPARE_RGB(at(img, close.left() + 1, mid), Expect::IconColumn);
        QCOMPARE_RGB(at(img, close.left() + 23, mid), Expect::IconColumn);
        QCOMPARE_RGB(at(img, close.left() + 24, mid), Expect::Background);
        QCOMPARE_RGB(at(img, close.right() - 2, mid), Expect::Background);

        // The separator: one line at the middle, 7 pixels after the column.
        const QRect n1 = w.asks1->actionGeometry(w.entry("N1"));
        const int y = n1.top() + 2;
        const int columnEnd = n1.left() + 24;
        QCOMPARE_RGB(at(img, columnEnd + 6, y), Expect::Background);
        QCOMPARE_RGB(at(img, columnEnd + 7, y), Expect::Separator);
        QCOMPARE_RGB(at(img, n1.right(), y), Expect::Separator);
        QCOMPARE_RGB(at(img, columnEnd + 20, y - 1), Expect::Background);
        QCOMPARE_RGB(at(img, columnEnd + 20, y + 1), Expect::Background);
        QCOMPARE_RGB(at(img, columnEnd - 1, y), Expect::IconColumn);

        // Flat frame: border, shadow, and the column reaching the border.
        const int W = img.width(), H = img.height();
        QCOMPARE_RGB(at(img, 0, 0), Expect::Border);
        QCOMPARE_RGB(at(img, W - 3, H / 2), Expect::Border);
        QCOMPARE_RGB(at(img, W / 2, H - 3), Expect::Border);
        QCOMPARE_RGB(at(img, W - 1, H / 2), Expect::Shadow);
        QCOMPARE_RGB(at(img, W / 2, H - 1), Expect::Shadow);
        QCOMPARE_RGB(at(img, W - 1, 0), Expect::IconColumn);
        QCOMPARE_RGB(at(img, 0, H - 1), Expect::IconColumn);
        QCOMPARE_RGB(at(img, 1, H / 2), Expect::IconColumn);
        QCOMPARE_RGB(at(img, 2, H / 2), Expect::IconColumn);
        QCOMPARE_RGB(at(img, 1, H - 3), Expect::Border);  // the bottom border stays whole
        QCOMPARE_RGB(at(img, W / 2, 1), Expect::Background);
    }

    void unselectedIconsAreFadedSelectedOnesCastAShadow()
    {
        MenuStandIn w;
        open(w.asks1);
        const QImage plain = shot(w.asks1, "tasks_menu_plain");
        const QRect g = w.asks1->actionGeometry(w.entry("Close1"));
        const QImage bmp = MenuBitmaps::bitmap(QStringLiteral("Close1")).toImage();
        // Icon at column left + (24 - 16) / 2 - 1, row top + 4.
        const QPoint origin(g.left() + 3, g.top() + 4);
        int compared = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb px = bmp.pixel(x, y);
                if (qAlpha(px) == 0)
                    continue;
                // Faded by 30: v + round((255 - v) * 0.3).
                auto fade = [](int v) { return v + qRound((255 - v) * 0.3); };
                const QRgb got = at(plain, origin.x() + x, origin.y() + y);
                QVERIFY(std::abs(qRed(got) - fade(qRed(px))) <= 1 && std::abs(qBlue(got) - fade(qBlue(px))) <= 1);
                ++compared;
            }
        QVERIFY(compared > 30);

        w.asks1->setActiveAction(w.entry("Close1"));
        const QImage sel = shot(w.asks1, "tasks_menu_close_selected");
        // Framed highlight, shrunk by one at the top and on the right.
        QCOMPARE_RGB(at(sel, g.left() + 40, g.top()), Expect::Background);
        QCOMPARE_RGB(at(sel, g.left() + 40, g.top() + 1), Expect::Highlight);
        QCOMPARE_RGB(at(sel, g.left() + 40, g.top() + 2), Expect::SelectionFill);
        QCOMPARE_RGB(at(sel, g.left(), g.center().y()), Expect::Highlight);
        QCOMPARE_RGB(at(sel, g.right() - 1, g.center().y()), Expect::Highlight);
        QCOMPARE_RGB(at(sel, g.right(), g.center().y()), Expect::Background);
        QCOMPARE_RGB(at(sel, g.left() + 40, g.bottom()), Expect::Highlight);
        // The sharp icon, one pixel up and left, and its shadow in the
        // selection fill darkened by 50.
        const QRgb shadow = qRgb(127, 137, 157);
        int sharp = 0, shaded = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const QRgb px = bmp.pixel(x, y);
                if (qAlpha(px) != 0 && at(sel, origin.x() - 1 + x, origin.y() - 1 + y) == (px & 0xffffff))
                    ++sharp;
            }
        for (int y = 0; y < g.height(); ++y)
            for (int x = 0; x < 26; ++x)
                shaded += at(sel, g.left() + x, g.top() + y) == (shadow & 0xffffff);
        QVERIFY(sharp > 30);
        QVERIFY(shaded > 5);
    }

    void checkedDetailsShowsFramedTick()
    {
        MenuStandIn w;
        open(w.Ansicht1);
        const QImage img = shot(w.Ansicht1, "view_submenu");
        const QRect g = w.Ansicht1->actionGeometry(w.entry("Details1"));
        const int boxL = g.left() + 7;
        const int boxT = g.top() + (g.height() + 1 - 10) / 2;
        QCOMPARE_RGB(at(img, boxL, boxT), Expect::Highlight);
        QCOMPARE_RGB(at(img, boxL + 9, boxT + 9), Expect::Highlight);
        QCOMPARE_RGB(at(img, boxL + 9, boxT), Expect::Highlight);
        QCOMPARE_RGB(at(img, boxL + 1, boxT + 1), Expect::CheckArea);
        QCOMPARE_RGB(at(img, boxL - 1, boxT + 1), Expect::IconColumn);
        // The tick in black, its long stroke leaving the box at the top right.
        QCOMPARE_RGB(at(img, boxL + 1, boxT + 5), qRgb(0, 0, 0));
        QCOMPARE_RGB(at(img, boxL + 4, boxT + 10 - 3), qRgb(0, 0, 0));
        QCOMPARE_RGB(at(img, boxL + 11, boxT), qRgb(0, 0, 0));
        // The unchecked "Symbols" has an empty icon column.
        const QRect s = w.Ansicht1->actionGeometry(w.entry("Symbole1"));
        QVERIFY(ink(img, QRect(s.left(), s.top(), 24, s.height()), Expect::IconColumn).isEmpty());
    }

    void radioAndImageListCheckMarks()
    {
        MenuStandIn w;
        auto *menu = new QMenu(&w);
        auto *group = new QActionGroup(menu);
        QAction *radio = menu->addAction(QStringLiteral("Radio"));
        radio->setCheckable(true);
        group->addAction(radio);
        radio->setChecked(true);
        QAction *listed = menu->addAction(QStringLiteral("Listed"));
        listed->setCheckable(true);
        listed->setChecked(true);
        QPixmap red(16, 16);
        red.fill(Qt::transparent);
        {
            QPainter p(&red);
            p.fillRect(3, 3, 10, 10, Qt::red);
        }
        TFlatMenuRenderer::setImageList(menu, {red});
        TFlatMenuRenderer::setImageIndex(listed, 0);
        open(menu);
        const QImage img = shot(menu, "radio_and_image_list");

        // Radio: a round mark; its corners stay in the column colour.
        const QRect g = menu->actionGeometry(radio);
        const int boxL = g.left() + 7, boxT = g.top() + (g.height() + 1 - 10) / 2;
        QCOMPARE_RGB(at(img, boxL, boxT), Expect::IconColumn);
        QCOMPARE_RGB(at(img, boxL, boxT + 5), Expect::Highlight);
        QCOMPARE_RGB(at(img, boxL + 5, boxT + 5), Expect::CheckArea);
        QVERIFY(ink(img, QRect(boxL, boxT, 10, 10), Expect::IconColumn).size() > 20);

        // A checked item with a list image: a frame round the column, the
        // image inside it.
        const QRect l = menu->actionGeometry(listed);
        QCOMPARE_RGB(at(img, l.left() + 1, l.top() + 2), Expect::Highlight);
        QCOMPARE_RGB(at(img, l.left() + 20, l.top() + 2), Expect::Highlight);
        QCOMPARE_RGB(at(img, l.left() + 1, l.bottom() - 1), Expect::Highlight);
        QCOMPARE_RGB(at(img, l.left() + 2, l.top() + 3), Expect::CheckArea);
        QCOMPARE_RGB(at(img, l.left() + 10, l.top() + 10), qRgb(255, 0, 0));
        QCOMPARE_RGB(at(img, l.left(), l.top() + 10), Expect::IconColumn);
    }

    void gradientBackground()
    {
        MenuStandIn w;
        w.MenuRenderer1->setGradient(true);
        QStyleOptionMenuItem opt;
        opt.rect = QRect(0, 0, 120, 20);
        opt.palette = classicPalette();
        opt.state = QStyle::State_Enabled;
        QImage img(120, 21, QImage::Format_RGB32);
        img.fill(Qt::red);
        {
            QPainter p(&img);
            w.MenuRenderer1->DrawItem(opt, &p, nullptr, false);
        }
        // The step grows by 3 across the icon column and by 1 after it, up to 96.
        QCOMPARE_RGB(at(img, 0, 10), Expect::IconColumn);       // step 1
        QCOMPARE_RGB(at(img, 10, 10), qRgb(230, 228, 223));     // step 31
        QCOMPARE_RGB(at(img, 119, 10), qRgb(254, 253, 253));    // step 96
        QCOMPARE_RGB(at(img, 119, 20), qRgb(254, 253, 253));    // one pixel further down
    }

    void disabledItemIsGreyAndShowsNoSelection()
    {
        MenuStandIn w;
        QAction *edit = w.entry("Bearbeiten1");
        edit->setEnabled(false);
        open(w.PopupMenu2);
        const QRect g = w.PopupMenu2->actionGeometry(edit);
        const QImage before = shot(w.PopupMenu2, "popup2_edit_disabled").copy(g);
        w.PopupMenu2->setActiveAction(edit);
        QCOMPARE(w.PopupMenu2->activeAction(), edit);
        const QImage selected = shot(w.PopupMenu2, "popup2_edit_disabled_selected").copy(g);
        // Selecting it changes nothing: no frame, no fill.
        QCOMPARE(selected, before);
        QCOMPARE_RGB(at(selected, 40, 1), Expect::Background);

        // The icon is grey.
        const QList<QRgb> icon = ink(selected, QRect(0, 0, 24, g.height()), Expect::IconColumn);
        QVERIFY(icon.size() > 30);
        for (QRgb c : icon)
            QVERIFY2(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c), qPrintable(rgb(c)));
        // The text is in the disabled colour.
        const QList<QRgb> text = ink(selected, QRect(24, 0, g.width() - 24, g.height()), Expect::Background);
        QVERIFY(text.size() > 10);
        for (QRgb c : text)
            QVERIFY2(blendOf(c, Expect::Background, Expect::Disabled), qPrintable(rgb(c)));
        // An enabled neighbour's text is black.
        const QRect n = w.PopupMenu2->actionGeometry(w.entry("Neu1"));
        const QImage neu = shot(w.PopupMenu2, "popup2_neu").copy(n);
        bool black = false;
        for (QRgb c : ink(neu, QRect(24, 0, n.width() - 24, n.height()), Expect::Background))
            black |= qRed(c) < 60;
        QVERIFY(black);
    }

    void lowColourDesktop()
    {
        MenuStandIn w;
        w.MenuRenderer1->setDisplayDepth(8);
        open(w.asks1);
        const QRect g = w.asks1->actionGeometry(w.entry("Close1"));
        const QImage img = shot(w.asks1, "tasks_menu_256");
        QCOMPARE_RGB(at(img, g.right() - 2, g.center().y()), Expect::White);
        QCOMPARE_RGB(at(img, g.left() + 2, g.center().y()), qRgb(212, 208, 200));
        // Icons keep their colours.
        const QImage bmp = MenuBitmaps::bitmap(QStringLiteral("Close1")).toImage();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (qAlpha(bmp.pixel(x, y)) != 0)
                    QCOMPARE_RGB(at(img, g.left() + 3 + x, g.top() + 4 + y), bmp.pixel(x, y) & 0xffffff);
        // Frame border and shadow in the button shadow colour.
        QCOMPARE_RGB(at(img, 0, 0), qRgb(128, 128, 128));
        QCOMPARE_RGB(at(img, img.width() - 1, img.height() / 2), qRgb(128, 128, 128));

        w.asks1->setActiveAction(w.entry("Close1"));
        const QImage sel = shot(w.asks1, "tasks_menu_256_selected");
        QCOMPARE_RGB(at(sel, g.left() + 40, g.top() + 1), Expect::Highlight);
        QCOMPARE_RGB(at(sel, g.right() - 2, g.top() + 3), Expect::White);
    }

    void defaultItemLooksBold()
    {
        MenuStandIn w;
        QAction *restore = w.entry("Restore1");
        open(w.PopupMenu1);
        const QRect g = w.PopupMenu1->actionGeometry(restore);
        const QRect text(24, 0, g.width() - 24, g.height());
        const QImage normal = shot(w.PopupMenu1, "tray_menu").copy(g);
        w.PopupMenu1->setDefaultAction(restore);
        w.PopupMenu1->update();
        QTest::qWait(1);
        const QImage bold = shot(w.PopupMenu1, "tray_menu_default").copy(g);
        const int thin = ink(normal, text, Expect::Background).size();
        const int thick = ink(bold, text, Expect::Background).size();
        QVERIFY2(thick > thin * 13 / 10, qPrintable(QStringLiteral("%1 vs %2").arg(thick).arg(thin)));
        // The copies are darkened background, lighter than the text itself.
        QCOMPARE(ink(bold, QRect(0, 0, 24, g.height()), Expect::IconColumn).size(),
                 ink(normal, QRect(0, 0, 24, g.height()), Expect::IconColumn).size());
    }

    void selectedBarItem()
    {
        MenuStandIn w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage idle = shot(w.MainMenu1, "menu_bar");
        const QRect g = w.MainMenu1->actionGeometry(w.asks1->menuAction());
        QCOMPARE_RGB(at(idle, g.left() + 1, g.center().y()), qRgb(212, 208, 200));
        QCOMPARE_RGB(at(idle, w.MainMenu1->width() - 5, g.center().y()), qRgb(212, 208, 200));

        w.MainMenu1->setActiveAction(w.asks1->menuAction());
        QTest::qWait(1);
        const QImage sel = shot(w.MainMenu1, "menu_bar_tasks_selected");
        QCOMPARE_RGB(at(sel, g.left(), g.center().y()), Expect::Border);
        QCOMPARE_RGB(at(sel, g.left() + 3, g.top()), Expect::Border);
        QCOMPARE_RGB(at(sel, g.left() + 3, g.center().y()), Expect::IconColumn);
        QCOMPARE_RGB(at(sel, g.right() + 1 - 8, g.center().y()), Expect::Border);
        // The shadow band at the right: darkest near the bottom left of it.
        QCOMPARE_RGB(at(sel, g.right() + 1 - 7, g.bottom()), qRgb(112, 110, 100));  // bar darkened by 100
        w.asks1->hide();
    }

    void rightToLeftMenu()
    {
        MenuStandIn w;
        w.PopupMenu2->setLayoutDirection(Qt::RightToLeft);
        open(w.PopupMenu2, QPoint(300, 20));
        const QImage img = shot(w.PopupMenu2, "popup2_rtl");
        const QRect g = w.PopupMenu2->actionGeometry(w.entry("Neu1"));
        QCOMPARE_RGB(at(img, g.right() - 1, g.center().y()), Expect::IconColumn);
        QCOMPARE_RGB(at(img, g.right() - 23, g.center().y()), Expect::IconColumn);
        QCOMPARE_RGB(at(img, g.right() - 24, g.center().y()), Expect::Background);
        QCOMPARE_RGB(at(img, g.left() + 1, g.center().y()), Expect::Background);
        // The separator runs from 7 pixels before the column to the left edge.
        const QRect n = w.PopupMenu2->actionGeometry(w.entry("N4"));
        const int columnStart = n.right() + 1 - 24;
        QCOMPARE_RGB(at(img, columnStart - 7, n.top() + 2), Expect::Separator);
        QCOMPARE_RGB(at(img, columnStart - 6, n.top() + 2), Expect::Background);
        QCOMPARE_RGB(at(img, n.left() + 1, n.top() + 2), Expect::Separator);
        // Text at the right, next to the column.
        const QList<QRgb> right = ink(img, QRect(g.right() - 24 - 30, g.top(), 30, g.height()), Expect::Background);
        const QList<QRgb> left = ink(img, QRect(g.left(), g.top(), 30, g.height()), Expect::Background);
        QVERIFY(!right.isEmpty());
        QVERIFY(left.isEmpty());
    }
};

QTEST_MAIN(TestFlatMenuRenderer)
#include "tst_flatmenurenderer.moc"
