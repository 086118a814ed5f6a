#include "burnin/ChartTraces.h"

#include <QStringList>

#include "burnin/BurnInSession.h"

std::array<ChartTrace, kTraceCount> ChartTraces(const ChartData& data)
{
    std::array<ChartTrace, kTraceCount> traces;
    if (data.count <= 0)
        return traces;
    for (int trace = 0; trace < kTraceCount; ++trace) {
        const auto& history = data.histories[trace];
        ChartTrace& out = traces[trace];
        out.points.reserve(data.count);
        for (int i = 0; i < data.count; ++i) {
            const TraceLevels& level = kTraceLevels[trace];
            out.points.append(QPoint(kChartStep * i, history[i] ? level.good : level.bad));
        }
        out.newestGood = history[data.count - 1] != 0;
    }
    return traces;
}

QString ChartStateText(const std::array<ChartTrace, kTraceCount>& traces)
{
    QStringList states;
    for (int i = 0; i < kTraceCount; ++i) {
        if (!traces[i].points.isEmpty())
            states << burnin::TraceStateText(i, traces[i].newestGood);
    }
    return states.isEmpty() ? "No sample yet" : "Newest sample: " + states.join(", ");
}
