#pragma once

#include <QString>
#include <QStringList>

// The built-in instructions of the How-To window: eight topics, each in
// English and German.
namespace HowToTopics {

constexpr int Count = 8;

// The titles in index order.
QStringList titles(bool german);
// The topic's text: numbered steps, "1)" on a line of its own, then the step,
// an empty line between steps; lines separated by a single carriage return,
// no line feed, no trailing line break. "" for an index out of range.
QString text(int index, bool german);

// Lays steps out as above.
QString layoutSteps(const QStringList &steps);

}
