#pragma once
#include <span>

class SimExtender;

// The command line's demo runs one program per command, so its chips are kept in the user's cache
// between commands: flash, apply and info then play an update through.
namespace cli {

void RestoreDemoChips(std::span<SimExtender* const> units);
void KeepDemoChips(std::span<SimExtender* const> units);

} // namespace cli
