#pragma once
#include "status/StatusDecoding.h"

class QPainter;

// The red marking of faulty pairs on the RJ45 jack picture (220 x 275 px): per pair three strokes
// over its two wires, an outlined box over the striped wire's contact and a filled box over the
// solid wire's contact. Coordinates are pixels of the picture, so the jack drawing must keep its
// wires and contacts under them.
namespace status {

struct Segment {
    int x1, y1, x2, y2;
};
// left, top, right, bottom
struct Box {
    int left, top, right, bottom;
};
struct PairMarking {
    Segment lines[3];
    Box striped;
    Box solid;
};

const PairMarking& MarkingOfPort(int port); // port 1..4

// Draws the marking of every port whose flag is set, in port order.
void PaintPortMarking(QPainter& painter, const PortFlags& ports);

} // namespace status
