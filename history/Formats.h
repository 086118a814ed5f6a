#pragma once
#include <QJsonObject>
#include <QString>

#include "history/Row.h"

// The history's rows as people and programs read them.
namespace history {

// "completed", "stopped after block 20 of 64", "failed: the erase: the extender did not answer",
// "started, never ended".
QString OutcomeText(const Row& row);

// One line: time, unit, what was done and how it ended, then the image, separated by tabs.
QString TextLine(const Row& row);

// Every field by its name: numbers as numbers (the setting byte too), the time local with its
// offset, and null for what the row does not have.
QJsonObject JsonObject(const Row& row);

// RFC 4180: the fields' names, then a record per row, quoted where a field needs it. A text that
// a spreadsheet would take for a formula is kept as text.
QString CsvHeader();
QString CsvRecord(const Row& row);

} // namespace history
