#include "shell/WindowRegion.h"

QRegion BuildWindowRegion(const QImage &mask)
{
    if (mask.isNull())
        return QRegion();
    const QImage rgb = mask.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int height = rgb.height();
    QRegion region(0, 0, width, height);

    const uchar *first = rgb.constScanLine(0);
    const uchar key[3] = {first[0], first[1], first[2]};
    auto isKey = [&key](const uchar *p) { return p[0] == key[0] && p[1] == key[1] && p[2] == key[2]; };

    for (int y = 0; y < height; ++y) {
        const uchar *line = rgb.constScanLine(y);
        int x = 0;
        while (x < width) {
            if (!isKey(line + 3 * x)) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < width && isKey(line + 3 * x))
                ++x;
            region -= QRect(x0, y, x - x0, 1);
        }
    }
    return region;
}
