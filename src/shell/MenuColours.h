#pragma once

#include <QColor>
#include <QImage>

class QPainter;

// Colour arithmetic and icon recolouring of the flat menus. Channels are
// 0..255; the alpha channel of a colour or pixel is kept as it is.
namespace MenuColours {

// num / den rounded to the nearest integer, halves to the even neighbour.
int roundHalfEven(long long num, long long den);

// Each channel v moves p percent of the way to 255 (p is capped at 100).
QColor Lighten(const QColor &colour, int p);
// R - n, G - n + 2, B - n, each clamped; a negative n lightens.
QColor Darken(const QColor &colour, int n);
// The grey (g, g, g) with g = min(n, 100) + (R + G + B) / 3, at most 240.
QColor GreyLevel(const QColor &colour, int n);
// A text colour that stands out on a background: the menu font's colour on
// light backgrounds, a very light tint of the background on dark ones.
QColor ContrastText(const QColor &background, const QColor &fontColour);

// Every pixel lightened by p percent.
QImage FadeBitmap(const QImage &bitmap, int p);
// Every pixel replaced by its GreyLevel with n.
QImage GreyBitmap(const QImage &bitmap, int n);
// Paints the bitmap's silhouette in one colour with its top-left at (x, y):
// the bottom-left pixel's colour is the background and is left out, and so
// are fully transparent pixels.
void DrawBitmapShadow(QPainter *canvas, const QImage &bitmap, int x, int y, const QColor &colour);
// The bitmap with its background (the bottom-left pixel's colour) made
// transparent, ready to be drawn over the menu.
QImage TransparentCopy(const QImage &bitmap);

} // namespace MenuColours
