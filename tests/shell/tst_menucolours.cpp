#include <QApplication>
#include <QPainter>
#include <QtTest>

#include "MenuStandIn.h"
#include "shell/MenuColours.h"
#include "shell/TFlatMenuRenderer.h"

using namespace MenuColours;

Q_DECLARE_METATYPE(QColor)

namespace {
QString rgb(const QColor &c)
{
    return QStringLiteral("(%1,%2,%3,%4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}
} // namespace
#define QCOMPARE_COLOUR(actual, expected) QCOMPARE(rgb(actual), rgb(expected))

class TestMenuColours : public QObject {
    Q_OBJECT

private slots:
    void lighten_data()
    {
        QTest::addColumn<QColor>("in");
        QTest::addColumn<int>("p");
        QTest::addColumn<QColor>("out");
        QTest::newRow("button face 86") << QColor(212, 208, 200) << 86 << QColor(249, 248, 247);
        QTest::newRow("highlight 68") << QColor(10, 36, 106) << 68 << QColor(177, 185, 207);
        QTest::newRow("none") << QColor(1, 2, 3) << 0 << QColor(1, 2, 3);
        QTest::newRow("full") << QColor(1, 2, 3) << 100 << QColor(255, 255, 255);
        QTest::newRow("capped at 100") << QColor(1, 2, 3) << 250 << QColor(255, 255, 255);
        // Halves go to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
        QTest::newRow("halves to even") << QColor(205, 105, 5) << 1 << QColor(205, 107, 7);
        QTest::newRow("halves to even 2") << QColor(245, 225, 205) << 5 << QColor(245, 227, 207);
        QTest::newRow("keeps alpha") << QColor(0, 0, 0, 77) << 30 << QColor(76, 76, 76, 77);
    }
    void lighten()
    {
        QFETCH(QColor, in);
        QFETCH(int, p);
        QFETCH(QColor, out);
        QCOMPARE_COLOUR(Lighten(in, p), out);
    }

    void darkenGreyAndContrast()
    {
        QCOMPARE_COLOUR(Darken(QColor(100, 100, 100), 30), QColor(70, 72, 70));
        QCOMPARE_COLOUR(Darken(QColor(212, 208, 200), 90), QColor(122, 120, 110));
        QCOMPARE_COLOUR(Darken(QColor(10, 10, 10), 90), QColor(0, 0, 0));
        QCOMPARE_COLOUR(Darken(QColor(250, 240, 230), -40), QColor(255, 255, 255));
        QCOMPARE_COLOUR(Darken(QColor(100, 100, 100), -40), QColor(140, 142, 140));
        QCOMPARE_COLOUR(Darken(QColor(0, 0, 0), 1), QColor(0, 1, 0));

        QCOMPARE_COLOUR(GreyLevel(QColor(30, 60, 91), 90), QColor(150, 150, 150));  // 181 div 3 = 60
        QCOMPARE_COLOUR(GreyLevel(QColor(30, 60, 90), 500), QColor(160, 160, 160));
        QCOMPARE_COLOUR(GreyLevel(QColor(250, 250, 250), 90), QColor(240, 240, 240));
        QCOMPARE_COLOUR(GreyLevel(QColor(0, 0, 0), 0), QColor(0, 0, 0));

        const QColor font(1, 2, 3);
        QCOMPARE_COLOUR(ContrastText(QColor(160, 0, 160), font), font);
        QCOMPARE_COLOUR(ContrastText(QColor(0, 201, 0), font), font);
        QCOMPARE_COLOUR(ContrastText(QColor(152, 200, 150), font), font);  // 302 div 2 = 151
        // 301 div 2 = 150 is not light enough: the background lightened by 90
        // (93.6 -> 94, 49.5 -> 50, 94.5 -> 94).
        QCOMPARE_COLOUR(ContrastText(QColor(151, 200, 150), font), QColor(245, 250, 244));
        // 220.5 rounds to 220.
        QCOMPARE_COLOUR(ContrastText(QColor(10, 36, 106), font), QColor(230, 233, 240));
    }

    void bitmapsRecolouredPixelByPixel()
    {
        // A run of equal pixels, a different one, then the first again.
        QImage img(4, 2, QImage::Format_ARGB32);
        const QRgb a = qRgb(100, 50, 0), b = qRgba(0, 0, 0, 0), c = qRgb(30, 60, 91);
        const QRgb row0[] = {a, a, c, a};
        const QRgb row1[] = {b, c, c, b};
        for (int x = 0; x < 4; ++x) {
            img.setPixel(x, 0, row0[x]);
            img.setPixel(x, 1, row1[x]);
        }
        const QImage faded = FadeBitmap(img, 30);
        QCOMPARE(faded.size(), img.size());
        // 100 + 46.5 -> 146, 50 + 61.5 -> 112, 0 + 76.5 -> 76; 30 + 67.5 -> 98, 60 + 58.5 -> 118, 91 + 49.2 -> 140
        const QRgb fa = qRgb(146, 112, 76), fc = qRgb(98, 118, 140);
        const QRgb expectFaded[2][4] = {{fa, fa, fc, fa}, {qRgba(76, 76, 76, 0), fc, fc, qRgba(76, 76, 76, 0)}};
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                QCOMPARE(rgb(QColor::fromRgba(faded.pixel(x, y))), rgb(QColor::fromRgba(expectFaded[y][x])));

        const QImage grey = GreyBitmap(img, 90);
        QCOMPARE(grey.pixel(0, 0), qRgb(140, 140, 140));  // 90 + 150 div 3
        QCOMPARE(grey.pixel(2, 0), qRgb(150, 150, 150));
        QCOMPARE(grey.pixel(3, 0), qRgb(140, 140, 140));
        QCOMPARE(qAlpha(grey.pixel(0, 1)), 0);
    }

    void bitmapShadowAndTransparency()
    {
        // Background red (bottom-left); one green and one blue pixel, one
        // transparent pixel.
        const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
        QImage bmp(3, 2, QImage::Format_ARGB32);
        bmp.fill(red);
        bmp.setPixel(1, 0, green);
        bmp.setPixel(2, 1, blue);
        bmp.setPixel(0, 0, qRgba(0, 0, 0, 0));
        QImage canvas(6, 5, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            DrawBitmapShadow(&p, bmp, 2, 2, QColor(10, 20, 30));
        }
        int painted = 0;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x) {
                const bool shade = (x == 3 && y == 2) || (x == 4 && y == 3);
                QCOMPARE(canvas.pixel(x, y), shade ? qRgb(10, 20, 30) : qRgb(255, 255, 255));
                painted += shade;
            }
        QCOMPARE(painted, 2);

        const QImage clear = TransparentCopy(bmp);
        QCOMPARE(qAlpha(clear.pixel(0, 1)), 0);
        QCOMPARE(qAlpha(clear.pixel(2, 0)), 0);
        QCOMPARE(clear.pixel(1, 0), green);
        QCOMPARE(clear.pixel(2, 1), blue);
    }

    void systemColoursFollowThePalette()
    {
        QPalette pal = classicPalette();
        QCOMPARE_COLOUR(MenuColor::system(MenuColor::ButtonFace).resolve(pal), QColor(212, 208, 200));
        QCOMPARE_COLOUR(MenuColor::system(MenuColor::Highlight).resolve(pal), QColor(10, 36, 106));
        QCOMPARE_COLOUR(MenuColor::system(MenuColor::ButtonShadow).resolve(pal), QColor(128, 128, 128));
        QCOMPARE_COLOUR(MenuColor::system(MenuColor::MenuText).resolve(pal), QColor(0, 0, 0));
        pal.setColor(QPalette::Active, QPalette::Highlight, QColor(0, 120, 215));
        QCOMPARE_COLOUR(MenuColor::system(MenuColor::Highlight).resolve(pal), QColor(0, 120, 215));
        QCOMPARE_COLOUR(MenuColor(QColor(1, 2, 3)).resolve(pal), QColor(1, 2, 3));
        QVERIFY(MenuColor::system(MenuColor::Highlight) != MenuColor(QColor(0, 120, 215)));
    }

    void effectiveColoursFromSystemColours()
    {
        QWidget owner;
        TFlatMenuRenderer r(&owner);
        MenuStandIn::setUpLikeMainWindow(&r);
        const QPalette pal = classicPalette();

        EffectiveMenuColours c = r.RefreshColours(pal, 32);
        QVERIFY(r.highColour());
        QCOMPARE_COLOUR(c.menuBackground, QColor(249, 248, 247));
        QCOMPARE_COLOUR(c.iconColumn, QColor(219, 216, 209));
        QCOMPARE_COLOUR(c.selectionFill, QColor(177, 185, 207));
        QCOMPARE_COLOUR(c.selectionFrame, QColor(10, 36, 106));
        QCOMPARE_COLOUR(c.selectedText, QColor(0, 0, 0));
        QCOMPARE_COLOUR(c.checkArea, QColor(194, 200, 218));
        QCOMPARE_COLOUR(c.checkAreaSelected, QColor(132, 146, 180));  // 122.5 -> 122, 109.5 -> 110, 74.5 -> 74
        QCOMPARE_COLOUR(c.checkFrame, QColor(10, 36, 106));
        QCOMPARE_COLOUR(c.menuBar, QColor(212, 208, 200));
        QCOMPARE_COLOUR(c.disabledText, QColor(141, 141, 141));
        QCOMPARE_COLOUR(c.separator, QColor(160, 160, 160));
        QCOMPARE_COLOUR(c.menuBorder, QColor(122, 120, 110));
        QCOMPARE_COLOUR(c.menuShadow, QColor(136, 134, 124));

        c = r.RefreshColours(pal, 16);
        QVERIFY(r.highColour());
        c = r.RefreshColours(pal, 8);
        QVERIFY(!r.highColour());
        const QColor white(255, 255, 255), face(212, 208, 200), shadow(128, 128, 128);
        QCOMPARE_COLOUR(c.menuBackground, white);
        QCOMPARE_COLOUR(c.iconColumn, face);
        QCOMPARE_COLOUR(c.selectionFill, white);
        QCOMPARE_COLOUR(c.selectionFrame, QColor(10, 36, 106));
        QCOMPARE_COLOUR(c.menuBar, face);
        QCOMPARE_COLOUR(c.disabledText, shadow);
        QCOMPARE_COLOUR(c.separator, shadow);
        QCOMPARE_COLOUR(c.checkFrame, QColor(10, 36, 106));
        QCOMPARE_COLOUR(c.checkArea, white);
        QCOMPARE_COLOUR(c.checkAreaSelected, white);
        QCOMPARE_COLOUR(c.menuBorder, shadow);
        QCOMPARE_COLOUR(c.menuShadow, shadow);
    }

    void effectiveColoursFromProperties()
    {
        QWidget owner;
        TFlatMenuRenderer r(&owner);
        r.setUseSystemColors(false);
        r.setColor(QColor(1, 1, 1));
        r.setIconBackColor(QColor(2, 2, 2));
        r.setSelectColor(QColor(100, 100, 100));
        r.setSelectBorderColor(QColor(4, 4, 4));
        r.setSelectFontColor(QColor(5, 5, 5));
        r.setMenuBarColor(QColor(6, 6, 6));
        r.setDisabledColor(QColor(7, 7, 7));
        r.setCheckedColor(QColor(8, 8, 8));
        r.setSeparatorColor(QColor(9, 9, 9));
        const QFont chosen(QStringLiteral("Tahoma"), 8);
        r.setFont(chosen);
        const QPalette pal = classicPalette();

        EffectiveMenuColours c = r.RefreshColours(pal, 24);
        QCOMPARE_COLOUR(c.menuBackground, QColor(1, 1, 1));
        QCOMPARE_COLOUR(c.iconColumn, QColor(2, 2, 2));
        QCOMPARE_COLOUR(c.selectionFill, QColor(100, 100, 100));
        QCOMPARE_COLOUR(c.selectionFrame, QColor(4, 4, 4));
        QCOMPARE_COLOUR(c.selectedText, QColor(5, 5, 5));
        QCOMPARE_COLOUR(c.menuBar, QColor(6, 6, 6));
        QCOMPARE_COLOUR(c.disabledText, QColor(7, 7, 7));
        QCOMPARE_COLOUR(c.checkFrame, QColor(8, 8, 8));
        QCOMPARE_COLOUR(c.separator, QColor(9, 9, 9));
        QCOMPARE_COLOUR(c.checkArea, QColor(216, 216, 216));          // select colour lightened: 100 + 116.25
        QCOMPARE_COLOUR(c.checkAreaSelected, QColor(178, 178, 178));  // 100 + 77.5 -> 178
        QCOMPARE_COLOUR(c.menuBorder, QColor(122, 120, 110));
        QCOMPARE_COLOUR(c.menuShadow, QColor(136, 134, 124));
        QCOMPARE(r.font(), chosen);  // kept: only the system colours bring the system font

        c = r.RefreshColours(pal, 8);
        QCOMPARE_COLOUR(c.menuBackground, QColor(1, 1, 1));
        QCOMPARE_COLOUR(c.checkArea, QColor(255, 255, 255));
        QCOMPARE_COLOUR(c.checkAreaSelected, QColor(192, 192, 192));
        QCOMPARE_COLOUR(c.menuBorder, QColor(128, 128, 128));
        QCOMPARE_COLOUR(c.menuShadow, QColor(128, 128, 128));

        r.setUseSystemColors(true);
        r.RefreshColours(pal, 32);
        QCOMPARE(r.font(), QApplication::font("QMenu"));
    }

    void systemMenuFontPrefersTahoma()
    {
        const QFont before = QApplication::font("QMenu");
        QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8), "QMenu");
        QFont font;
        MenuColor colour = QColor(1, 2, 3);
        TFlatMenuRenderer::SystemMenuFont(font, colour);
        QCOMPARE(font.family(), QStringLiteral("Tahoma"));
        QCOMPARE(font.pointSize(), 8);
        QCOMPARE(colour, MenuColor::system(MenuColor::MenuText));

        QApplication::setFont(QFont(QStringLiteral("Segoe UI"), 9), "QMenu");
        TFlatMenuRenderer::SystemMenuFont(font, colour);
        QCOMPARE(font.family(), QStringLiteral("Segoe UI"));
        QApplication::setFont(before, "QMenu");
    }
};

QTEST_MAIN(TestMenuColours)
#include "tst_menucolours.moc"
