#pragma once
#include <QList>
#include <QPoint>
#include <QString>
#include <array>

#include "burnin/SampleRecorder.h"

// The strip chart as point lists: sample i of a trace sits at x = 16·i and at the trace's good or
// bad height, so each trace is a step line that drops while its signal is bad. A trace is drawn
// green when its newest sample is good, red when it is bad.
struct ChartTrace {
    QList<QPoint> points;
    bool newestGood = true;
};

inline constexpr int kChartStep = 16;

struct TraceLevels {
    int good;
    int bad;
};

// Pixel heights of each trace, in the order link, video, 5 V, HPD.
inline constexpr std::array<TraceLevels, kTraceCount> kTraceLevels{
    {{20, 50}, {80, 120}, {170, 190}, {260, 280}}};

// Empty point lists when no sample is held.
std::array<ChartTrace, kTraceCount> ChartTraces(const ChartData& data);

// What the traces' colours say, in words for tool tips and screen readers:
// "Newest sample: Link good, Video Signal good, 5V bad, HPD good", or "No sample yet".
QString ChartStateText(const std::array<ChartTrace, kTraceCount>& traces);
