#pragma once
#include <QByteArray>
#include <QString>
#include <span>

#include "monitor/UnitReading.h"

// The units' readings in Prometheus' text exposition format, for node_exporter's or
// windows_exporter's textfile collector: per unit, labelled by its serial number and path, whether
// it answers and whether another program holds it, the link, each pair's error level, the cable
// length in metres, the bit error rate level, each lamp and the chips' identification. A value
// that was not read has no sample, as Prometheus has it for what is not known.
namespace monitor {

QString PrometheusText(std::span<const UnitReading> units);

// Whether a file's bytes are metrics this program wrote (or nothing at all): only such a file is
// replaced by new metrics without asking, so that a mistyped name loses nothing.
bool HoldsOurMetrics(const QByteArray& bytes);

} // namespace monitor
