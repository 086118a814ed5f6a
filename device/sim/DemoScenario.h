#pragma once
#include <chrono>

#include "device/sim/SimExtender.h"

// The living extender of the demo: a minute-long cycle over the status registers in which a wire
// pair degrades and recovers, the link drops and comes back, the source changes and the 5 V and
// HPD lines of each side drop now and then. Apply sets the registers for a moment of the cycle.
namespace demo {

inline constexpr std::chrono::seconds kCycle{60};

void Apply(SimExtender& extender, std::chrono::milliseconds sinceStart);

// A simulated extender that lives the scenario in real time: each command finds the registers
// of its moment since the extender was made.
class Extender : public SimExtender {
public:
    using SimExtender::SimExtender;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;

private:
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// The demo's second unit, beside the living one: still, with the registers of a healthy moment.
class SteadyExtender : public SimExtender {
public:
    SteadyExtender() : SimExtender("sim:extender-2", "SIM0002") { Apply(*this, kHealthyMoment); }

private:
    static constexpr std::chrono::seconds kHealthyMoment{30};
};

} // namespace demo
