#pragma once
#include <cstdint>
#include <optional>

#include "burnin/SampleRecorder.h"

class IRegisterReader;

// What one burn-in sample reads and how it judges it.
namespace burnin {

// The link state: good while the link is up.
bool LinkGood(uint8_t linkState);
// The local video source type: good when a source is there; 3, no source on the Status page,
// counts as good here.
bool VideoGood(uint8_t sourceType);
// The local signal lines: their 5 V and HPD bits.
bool FiveVoltGood(uint8_t signalLines);
bool HpdGood(uint8_t signalLines);

// The connect check, then link, video and signal lines, with no pause between. Empty when the
// connect check is not acknowledged: the device is gone. A status read that is not acknowledged
// counts as a bad sample of its kind, never as whatever an earlier read left behind.
std::optional<SampleResult> ReadSample(IRegisterReader& host);

} // namespace burnin
