#pragma once
#include <cstdint>
#include <optional>

#include "burnin/SampleRecorder.h"

class IRegisterReader;

// What one burn-in sample reads and how it judges it.
namespace burnin {

// Link state register (group 2, 0x01): up when 1 to 4.
bool LinkGood(uint8_t linkState);
// Video source type (group 2, 0x02): good when 1 to 3; 3, no source on the Status page, counts as
// good here.
bool VideoGood(uint8_t sourceType);
// Local signal lines (group 1, 0x0B): bit 2 is 5 V, bit 0 HPD.
bool FiveVoltGood(uint8_t signalLines);
bool HpdGood(uint8_t signalLines);

// The connect check, then link, video and signal lines, with no pause between. Empty when the
// connect check is not acknowledged: the device is gone. A status read that is not acknowledged
// counts as a bad sample of its kind, never as whatever an earlier read left behind.
std::optional<SampleResult> ReadSample(IRegisterReader& host);

} // namespace burnin
