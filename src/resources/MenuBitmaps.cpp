#include "resources/MenuBitmaps.h"

#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr int Size = 16;

// A painter for pixel art: no smoothing, pens one pixel wide.
class Pixels {
public:
    Pixels() : m_img(Size, Size, QImage::Format_ARGB32)
    {
        m_img.fill(Qt::transparent);
        m_p.begin(&m_img);
        m_p.setRenderHint(QPainter::Antialiasing, false);
    }
    QPixmap done()
    {
        m_p.end();
        m_img.setPixel(0, Size - 1, qRgba(0, 0, 0, 0));
        return QPixmap::fromImage(m_img);
    }
    void fill(int x, int y, int w, int h, const QColor &c) { m_p.fillRect(x, y, w, h, c); }
    void box(int x, int y, int w, int h, const QColor &outline, const QColor &inside)
    {
        fill(x, y, w, h, outline);
        fill(x + 1, y + 1, w - 2, h - 2, inside);
    }
    void line(int x0, int y0, int x1, int y1, const QColor &c)
    {
        m_p.setPen(c);
        m_p.drawLine(x0, y0, x1, y1);
    }
    void dot(int x, int y, const QColor &c) { fill(x, y, 1, 1, c); }
    void disc(int x, int y, int w, int h, const QColor &outline, const QColor &inside)
    {
        m_p.setPen(outline);
        m_p.setBrush(inside);
        m_p.drawEllipse(x, y, w - 1, h - 1);
        m_p.setBrush(Qt::NoBrush);
    }
    void polygon(const QPolygon &pts, const QColor &outline, const QColor &inside)
    {
        m_p.setPen(outline);
        m_p.setBrush(inside);
        m_p.drawPolygon(pts);
        m_p.setBrush(Qt::NoBrush);
    }
    // A sheet of paper with a folded top-right corner.
    void page(int x, int y, int w, int h)
    {
        const QColor edge(96, 96, 96), paper(255, 255, 255), fold(208, 208, 208);
        box(x, y, w, h, edge, paper);
        fill(x + w - 4, y, 4, 4, Qt::transparent);
        line(x + w - 4, y, x + w - 1, y + 3, edge);
        line(x + w - 4, y, x + w - 4, y + 3, edge);
        line(x + w - 4, y + 3, x + w - 1, y + 3, edge);
        fill(x + w - 3, y + 2, 1, 1, fold);
    }

private:
    QImage m_img;
    QPainter m_p;
};

const QColor Dark(40, 40, 40);
const QColor Blue(40, 90, 190);
const QColor DarkBlue(20, 45, 110);
const QColor LightBlue(130, 170, 230);
const QColor Green(30, 150, 40);
const QColor DarkGreen(10, 80, 20);
const QColor Red(210, 35, 30);
const QColor DarkRed(120, 15, 10);
const QColor White(255, 255, 255);
const QColor Yellow(250, 210, 40);

// A database: a stack of discs.
void database(Pixels &px, int x, int y)
{
    px.box(x, y + 2, 9, 9, DarkBlue, Blue);
    px.disc(x, y, 9, 5, DarkBlue, LightBlue);
    px.line(x + 1, y + 6, x + 7, y + 6, DarkBlue);
    px.disc(x, y + 8, 9, 5, DarkBlue, Blue);
    px.fill(x + 1, y + 8, 7, 2, Blue);
    px.line(x, y + 3, x, y + 10, DarkBlue);
    px.line(x + 8, y + 3, x + 8, y + 10, DarkBlue);
}

QPixmap run()
{
    Pixels px;
    database(px, 1, 1);
    px.polygon(QPolygon({QPoint(8, 6), QPoint(14, 10), QPoint(8, 14)}), DarkGreen, Green);
    return px.done();
}

QPixmap download()
{
    Pixels px;
    px.box(5, 1, 6, 6, DarkBlue, Blue);
    px.polygon(QPolygon({QPoint(2, 6), QPoint(13, 6), QPoint(8, 11), QPoint(7, 11)}), DarkBlue, Blue);
    px.box(1, 11, 14, 4, Dark, QColor(170, 170, 170));
    px.line(3, 13, 12, 13, QColor(110, 110, 110));
    return px.done();
}

QPixmap cancel()
{
    Pixels px;
    px.disc(1, 1, 14, 14, DarkRed, Red);
    px.fill(4, 7, 8, 2, White);
    return px.done();
}

QPixmap closeDoor()
{
    Pixels px;
    const QColor wood(150, 95, 45), darkWood(80, 45, 15);
    px.box(2, 1, 8, 14, darkWood, wood);
    px.dot(8, 8, Yellow);
    px.polygon(QPolygon({QPoint(10, 5), QPoint(14, 8), QPoint(10, 11)}), DarkGreen, Green);
    px.fill(7, 7, 3, 3, Green);
    return px.done();
}

QPixmap about()
{
    Pixels px;
    px.disc(1, 1, 14, 14, DarkBlue, Blue);
    px.fill(7, 3, 2, 2, White);
    px.fill(7, 6, 2, 6, White);
    px.fill(6, 11, 4, 1, White);
    return px.done();
}

QPixmap internet()
{
    Pixels px;
    px.disc(1, 1, 14, 14, DarkBlue, LightBlue);
    px.line(8, 2, 8, 13, Blue);
    px.line(2, 8, 13, 8, Blue);
    px.disc(5, 2, 6, 12, Blue, Qt::transparent);
    px.fill(3, 4, 3, 3, Green);
    px.fill(9, 9, 4, 3, Green);
    px.fill(10, 4, 2, 2, Green);
    return px.done();
}

QPixmap howTo()
{
    Pixels px;
    const QColor cover(60, 120, 60);
    px.box(2, 1, 11, 14, DarkGreen, cover);
    px.fill(3, 13, 9, 1, White);
    px.fill(12, 2, 1, 12, White);
    // A question mark on the cover.
    px.fill(6, 3, 3, 1, Yellow);
    px.dot(5, 4, Yellow);
    px.dot(9, 4, Yellow);
    px.dot(9, 5, Yellow);
    px.dot(8, 6, Yellow);
    px.fill(7, 7, 1, 2, Yellow);
    px.fill(7, 10, 1, 1, Yellow);
    return px.done();
}

QPixmap newPage()
{
    Pixels px;
    px.page(3, 1, 10, 14);
    // A spark in the corner: something new.
    px.line(1, 3, 5, 3, Yellow);
    px.line(3, 1, 3, 5, Yellow);
    px.dot(2, 2, Yellow);
    px.dot(4, 4, Yellow);
    px.dot(2, 4, Yellow);
    px.dot(4, 2, Yellow);
    return px.done();
}

QPixmap edit()
{
    Pixels px;
    px.page(1, 1, 10, 14);
    for (int y = 4; y < 12; y += 2)
        px.line(3, y, 8, y, QColor(150, 150, 150));
    // A pencil across the page.
    const QColor wood(240, 190, 90), lead(60, 60, 60);
    for (int i = 0; i < 7; ++i) {
        px.dot(14 - i, 3 + i, DarkRed);
        px.dot(13 - i, 3 + i, Yellow);
        px.dot(13 - i, 2 + i, DarkRed);
    }
    px.dot(6, 10, wood);
    px.dot(6, 11, wood);
    px.dot(5, 11, lead);
    return px.done();
}

QPixmap duplicate()
{
    Pixels px;
    px.page(1, 1, 9, 11);
    px.page(6, 4, 9, 11);
    return px.done();
}

QPixmap deleteCross()
{
    Pixels px;
    for (int i = 0; i < 10; ++i) {
        px.fill(3 + i, 3 + i, 2, 2, Red);
        px.fill(11 - i, 3 + i, 2, 2, Red);
    }
    px.line(3, 2, 13, 12, DarkRed);
    px.line(13, 2, 3, 12, DarkRed);
    return px.done();
}

QPixmap view()
{
    Pixels px;
    px.box(1, 2, 14, 12, Dark, White);
    px.fill(1, 2, 14, 2, Blue);
    for (int row = 0; row < 3; ++row) {
        const int y = 6 + row * 2;
        px.fill(3, y, 2, 1, Blue);
        px.fill(6, y, 7, 1, QColor(150, 150, 150));
    }
    return px.done();
}

struct Entry {
    const char *name;
    QPixmap (*draw)();
};

const Entry Entries[] = {
    {"RunBackupmanually1", run},
    {"DownloadFileperFTPmanually1", download},
    {"CancelTelnetsession1", cancel},
    {"Close1", closeDoor},
    {"About1", about},
    {"Internet1", internet},
    {"HowTo1", howTo},
    {"Close2", closeDoor},
    {"RunBackupmanually2", run},
    {"DownloadFileperFTPmanually2", download},
    {"Neu1", newPage},
    {"Bearbeiten1", edit},
    {"Duplizieren1", duplicate},
    {"Lschen1", deleteCross},
    {"Ansicht1", view},
};

} // namespace

QStringList MenuBitmaps::entries()
{
    QStringList out;
    for (const Entry &e : Entries)
        out << QString::fromLatin1(e.name);
    return out;
}

QPixmap MenuBitmaps::bitmap(const QString &entryName)
{
    for (const Entry &e : Entries) {
        if (entryName == QLatin1String(e.name))
            return e.draw();
    }
    return {};
}

QIcon MenuBitmaps::icon(const QString &entryName)
{
    const QPixmap pm = bitmap(entryName);
    return pm.isNull() ? QIcon() : QIcon(pm);
}
