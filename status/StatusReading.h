#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "status/StatusDecoding.h"

class IRegisterReader;
class RegisterSnapshot;

// What the Status page shows of the link, read and decoded without a window, so that the page and
// the command line show the same for the same registers. Values only; a value that was not read
// is empty, and StateText says how each empty value shows.
namespace status {

struct Reading {
    std::optional<uint8_t> localMode; // the mode index as the chip reports it
    std::optional<uint8_t> remoteMode;
    std::optional<Source> localSource;
    std::optional<Source> remoteSource;
    std::optional<CableLength> cableLength;
    std::optional<std::array<float, kPairCount>> pairLevels;
    PortFlags portFaults{};
    bool linkUp = false; // both cable lengths were read by the last link block
    std::optional<SignalLines> local;
    std::optional<SignalLines> remote;
    std::optional<uint8_t> berLevel;
    // A poll's link block has run: before it, values not read show by the start-up rules.
    bool polled = false;

    bool operator==(const Reading&) const = default;
};

// What the page shows when it opens: the tool window's snapshot (the pair levels shown, but no
// port faulty).
Reading FromSnapshot(const RegisterSnapshot& snapshot);

// The poll: a tick runs the link block every fifth tick and the signal block every second. A read
// that fails empties its value, except the local mode, which keeps the one read before.
class Poll {
public:
    explicit Poll(const Reading& start = {}) : m_reading(start) {}

    void Tick(IRegisterReader& host);
    const Reading& Now() const { return m_reading; }
    uint32_t TickCount() const { return m_tick; }

private:
    void LinkBlock(IRegisterReader& host);
    void SignalBlock(IRegisterReader& host);

    Reading m_reading;
    uint32_t m_tick = 0; // only grows, whatever Start and Stop do
};

} // namespace status
