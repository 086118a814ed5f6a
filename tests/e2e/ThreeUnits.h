#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// The command line on three virtual extenders at once in the hidraw guest, on Linux and under Wine.

// The demo's image of the local chip, from the top of the source tree.
inline const QString kSampleImage = "/samples/firmware/demo-local-tx-3072.2.hex";

// Runs the command line with the arguments: its exit code, and its stdout and stderr in out. A run
// made again drops the units' wires first, with dropWires.
using CliRun = std::function<int(const QStringList& arguments, QString& out,
                                 const std::function<void()>& dropWires)>;

// Plugs in three virtual extenders (E2E0011 to E2E0013) and, once the command line sees all three,
// flashes the image (a path as the program takes it) on all at once with --all: the run ends 0
// with each unit completed in its summary, and each unit was sent the whole update, the same as
// the others. Each further command line given runs the same on the same units, which must be sent
// the same. The units are pulled out at the end.
void FlashesThreeAtOnce(const QString& image, const std::vector<CliRun>& programs);
