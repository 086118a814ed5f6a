#pragma once
#include <QJsonObject>
#include <QStringList>
#include <vector>

#include "cli/UnitRun.h"

// The end of a run on several units: a table of every unit (its serial number, path, chip, exit
// code, blocks or samples, time and result), or with --json one last object, and the exit code.
namespace cli {

// 0 when every unit ended 0; otherwise the worst of their codes, in the order 5 (a burn-in
// sample failed), 1 (a unit failed or could not be reached), 4 (refused or stopped), 3, 2.
int WorstCode(const std::vector<UnitResult>& results);

// What a unit's job came to in a few words: its own result, or the first clause of the error it
// ended with ("stopped after block 20 of 256"), or the word for its exit code.
QString ResultText(const UnitResult& result);

// The table, a line per unit after the heading, columns lined up.
QStringList SummaryTable(const std::vector<UnitResult>& results);
// {"event": "summary", "units": [{"serial", "path", "chip", "code", "result", "seconds",
// "blocks" or "samples", "error"}]}: values, null where a unit has none.
QJsonObject SummaryJson(const std::vector<UnitResult>& results);

// Prints the summary as data and gives the run's exit code.
int Summarize(Session& session, const std::vector<UnitResult>& results);

} // namespace cli
