#pragma once
#include <chrono>

class SimExtender;

// The living extender of the demo: a minute-long cycle over the status registers in which a wire
// pair degrades and recovers, the link drops and comes back, the source changes and the 5 V and
// HPD lines of each side drop now and then. Apply sets the registers for a moment of the cycle.
namespace demo {

inline constexpr std::chrono::seconds kCycle{60};

void Apply(SimExtender& extender, std::chrono::milliseconds sinceStart);

} // namespace demo
