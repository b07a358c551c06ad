#include "shell/MenuColours.h"

#include <QPainter>
#include <algorithm>

namespace MenuColours {

namespace {

int clampChannel(int v)
{
    return std::clamp(v, 0, 255);
}

QImage argb(const QImage &bitmap)
{
    return bitmap.format() == QImage::Format_ARGB32 ? bitmap : bitmap.convertToFormat(QImage::Format_ARGB32);
}

// Recolours pixel by pixel; runs of equal pixels reuse the last result,
// which keeps the per-draw cost low for the flat areas of small icons.
template <typename Fn>
QImage recolour(const QImage &bitmap, Fn fn)
{
    QImage out = argb(bitmap);
    bool haveLast = false;
    QRgb lastIn = 0;
    QRgb lastOut = 0;
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = line[x];
            if (!haveLast || px != lastIn) {
                const QColor c = fn(QColor::fromRgba(px));
                lastIn = px;
                lastOut = qRgba(c.red(), c.green(), c.blue(), qAlpha(px));
                haveLast = true;
            }
            line[x] = lastOut;
        }
    }
    return out;
}

} // namespace

int roundHalfEven(long long num, long long den)
{
    if (den < 0) {
        num = -num;
        den = -den;
    }
    long long q = num / den;
    long long r = num % den;
    if (r < 0) {  // floor division
        --q;
        r += den;
    }
    const long long twice = 2 * r;
    if (twice > den || (twice == den && (q % 2 != 0)))
        ++q;
    return int(q);
}

QColor Lighten(const QColor &colour, int p)
{
    p = std::min(p, 100);
    auto ch = [p](int v) { return clampChannel(v + roundHalfEven((255LL - v) * p, 100)); };
    return QColor(ch(colour.red()), ch(colour.green()), ch(colour.blue()), colour.alpha());
}

QColor Darken(const QColor &colour, int n)
{
    return QColor(clampChannel(colour.red() - n), clampChannel(colour.green() - n + 2),
                  clampChannel(colour.blue() - n), colour.alpha());
}

QColor GreyLevel(const QColor &colour, int n)
{
    const int g = clampChannel(std::min(std::min(n, 100) + (colour.red() + colour.green() + colour.blue()) / 3, 240));
    return QColor(g, g, g, colour.alpha());
}

QColor ContrastText(const QColor &background, const QColor &fontColour)
{
    if ((background.red() + background.blue()) / 2 > 150 || background.green() > 200)
        return fontColour;
    return Lighten(background, 90);
}

QImage FadeBitmap(const QImage &bitmap, int p)
{
    return recolour(bitmap, [p](const QColor &c) { return Lighten(c, p); });
}

QImage GreyBitmap(const QImage &bitmap, int n)
{
    return recolour(bitmap, [n](const QColor &c) { return GreyLevel(c, n); });
}

void DrawBitmapShadow(QPainter *canvas, const QImage &bitmap, int x, int y, const QColor &colour)
{
    if (bitmap.isNull())
        return;
    const QImage src = argb(bitmap);
    const QRgb background = src.pixel(0, src.height() - 1);
    QImage shadow(src.size(), QImage::Format_ARGB32);
    shadow.fill(Qt::transparent);
    for (int row = 0; row < src.height(); ++row) {
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(row));
        auto *out = reinterpret_cast<QRgb *>(shadow.scanLine(row));
        for (int col = 0; col < src.width(); ++col) {
            if (in[col] == background || qAlpha(in[col]) == 0)
                continue;
            out[col] = qRgba(colour.red(), colour.green(), colour.blue(), qAlpha(in[col]));
        }
    }
    canvas->drawImage(x, y, shadow);
}

QImage TransparentCopy(const QImage &bitmap)
{
    if (bitmap.isNull())
        return bitmap;
    QImage out = argb(bitmap);
    const QRgb key = out.pixel(0, out.height() - 1);
    if (qAlpha(key) == 0)
        return out;
    for (int row = 0; row < out.height(); ++row) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(row));
        for (int col = 0; col < out.width(); ++col) {
            if (line[col] == key)
                line[col] = qRgba(0, 0, 0, 0);
        }
    }
    return out;
}

} // namespace MenuColours
