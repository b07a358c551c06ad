#pragma once

#include <QImage>
#include <QRegion>

// The outline of a shaped window from a mask picture: every pixel of the key
// colour (that of the top-left pixel, compared on red, green and blue) is cut
// away, every other pixel belongs to the window. Runs of key-coloured pixels
// are removed row by row, one rectangle per run. A null mask gives an empty
// region.
QRegion BuildWindowRegion(const QImage &mask);
