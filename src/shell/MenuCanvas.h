#pragma once

#include <QColor>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "shell/MenuColours.h"

// Drawing in the desktop's own conventions: rectangles exclude their right
// column and bottom row, lines exclude their end point.
class MenuCanvas {
public:
    explicit MenuCanvas(QPainter *p) : m_p(p) {}

    void fill(int l, int t, int r, int b, const QColor &c) const
    {
        if (r > l && b > t)
            m_p->fillRect(QRect(l, t, r - l, b - t), c);
    }
    void pixel(int x, int y, const QColor &c) const { m_p->fillRect(QRect(x, y, 1, 1), c); }
    void frame(int l, int t, int r, int b, const QColor &c) const
    {
        if (r <= l || b <= t)
            return;
        fill(l, t, r, t + 1, c);
        fill(l, b - 1, r, b, c);
        fill(l, t, l + 1, b, c);
        fill(r - 1, t, r, b, c);
    }
    // Outline in the pen colour, inside filled with the brush colour.
    void rectangle(int l, int t, int r, int b, const QColor &pen, const QColor &brush) const
    {
        fill(l, t, r, b, brush);
        frame(l, t, r, b, pen);
    }
    void ellipse(int l, int t, int r, int b, const QColor &pen, const QColor &brush) const
    {
        if (r - l < 2 || b - t < 2)
            return;
        m_p->save();
        m_p->setPen(pen);
        m_p->setBrush(brush);
        m_p->drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
        m_p->restore();
    }
    void roundRect(int l, int t, int r, int b, int corner, const QColor &pen, const QColor &brush) const
    {
        if (r - l < 2 || b - t < 2)
            return;
        m_p->save();
        m_p->setPen(pen);
        m_p->setBrush(brush);
        m_p->drawRoundedRect(QRect(l, t, r - l - 1, b - t - 1), corner / 2.0, corner / 2.0);
        m_p->restore();
    }
    void line(int x0, int y0, int x1, int y1, const QColor &c) const
    {
        if (y0 == y1) {
            fill(std::min(x0, x1 + 1), y0, std::max(x0 + 1, x1), y0 + 1, c);
            return;
        }
        if (x0 == x1) {
            fill(x0, std::min(y0, y1 + 1), x0 + 1, std::max(y0 + 1, y1), c);
            return;
        }
        const int dx = x1 - x0;
        const int dy = y1 - y0;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        for (int i = 0; i < steps; ++i)
            pixel(x0 + MenuColours::roundHalfEven(1LL * i * dx, steps), y0 + MenuColours::roundHalfEven(1LL * i * dy, steps), c);
    }
    void polyline(std::initializer_list<QPoint> points, const QColor &c) const
    {
        const QPoint *prev = nullptr;
        for (const QPoint &pt : points) {
            if (prev)
                line(prev->x(), prev->y(), pt.x(), pt.y(), c);
            prev = &pt;
        }
    }

private:
    QPainter *m_p;
};
