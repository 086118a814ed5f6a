#include "status/PortMarking.h"

#include <QPainter>

namespace status {
namespace {

constexpr PairMarking kMarkings[kPairCount]{
    // port 1, pair A, orange
    {{{32, 0, 32, 71}, {32, 57, 52, 57}, {52, 57, 52, 71}}, {32, 93, 40, 132}, {52, 92, 60, 132}},
    // port 2, pair B, green
    {{{79, 0, 79, 72}, {79, 22, 138, 22}, {139, 22, 139, 72}},
     {71, 93, 80, 132},
     {130, 92, 141, 132}},
    // port 3, pair C, blue
    {{{92, 57, 92, 72}, {92, 57, 117, 57}, {117, 0, 117, 72}},
     {111, 93, 120, 132},
     {91, 92, 101, 132}},
    // port 4, pair D, brown
    {{{152, 60, 152, 72}, {152, 59, 179, 59}, {179, 0, 179, 72}},
     {152, 93, 160, 132},
     {171, 92, 181, 132}},
};

const QColor kMarkingRed(255, 0, 0);

QRect ToRect(const Box& box)
{
    return QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
}

} // namespace

const PairMarking& MarkingOfPort(int port)
{
    return kMarkings[port - 1];
}

void PaintPortMarking(QPainter& painter, const PortFlags& ports)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(kMarkingRed, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (int port = 1; port <= kPairCount; ++port) {
        if (!ports[port - 1])
            continue;
        const PairMarking& marking = MarkingOfPort(port);
        for (const Segment& line : marking.lines)
            painter.drawLine(line.x1, line.y1, line.x2, line.y2);
        // The striped contact's box is a red frame on white, as the striped contact itself is
        // drawn.
        painter.setBrush(Qt::white);
        painter.drawRect(ToRect(marking.striped));
        painter.fillRect(ToRect(marking.solid), kMarkingRed);
    }
    painter.restore();
}

} // namespace status
