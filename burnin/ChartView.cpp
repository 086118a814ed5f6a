#include "burnin/ChartView.h"

#include <QPainter>

#include "burnin/ChartTraces.h"

namespace {

const QColor kGood(0, 255, 0);
const QColor kBad(255, 0, 0);
constexpr int kPenWidth = 2;

} // namespace

ChartView::ChartView(std::function<ChartData()> source, QWidget* parent)
    : QWidget(parent), m_source(std::move(source))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName("Burn-in chart");
    Refresh();
}

void ChartView::Refresh()
{
    const QString state = ChartStateText(ChartTraces(m_source()));
    setAccessibleDescription(state);
    setToolTip(state);
    update();
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    for (const ChartTrace& trace : ChartTraces(m_source())) {
        if (trace.points.isEmpty())
            continue;
        painter.setPen(QPen(trace.newestGood ? kGood : kBad, kPenWidth, Qt::SolidLine));
        painter.drawPolyline(trace.points.constData(), static_cast<int>(trace.points.size()));
    }
}
