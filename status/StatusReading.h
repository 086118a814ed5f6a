#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "status/StatusDecoding.h"

class IRegisterReader;
class RegisterSnapshot;

// What the Status page shows of the link, read and decoded without a window, so that the page and
// the command line show the same for the same registers.
namespace status {

struct Reading {
    QString localMode;
    QString remoteMode;
    QString localSource;
    QString remoteSource;
    QString cableLength;
    std::array<QString, kPairCount> pairTexts; // "%.5f", "N/A" after a failed read, "" before any
    std::array<float, kPairCount> pairLevels{};
    PortFlags portFaults{};
    bool linkUp = false; // both cable lengths were read by the last link block
    LocalSignals local{Lamp::Off, Lamp::Off};
    RemoteSignals remote{Lamp::Off, Lamp::Off};
    Lamp ber = Lamp::Off;
    std::optional<uint8_t> berLevel; // the level behind the lamp, when it was read

    bool operator==(const Reading&) const = default;
};

// What the page shows when it opens: the tool window's snapshot, by the start-up rules for values
// that were not read (the remote mode "N/A", the pair levels shown but no port faulty).
Reading FromSnapshot(const RegisterSnapshot& snapshot);

// The port advice for a reading: "Disconnected" while the link is down.
QString Advice(const Reading& reading);

// The poll: a tick runs the link block every fifth tick and the signal block every second, and
// each read that fails falls back as the page shows it ("N/A", "Disconnect", empty, lamps off).
class Poll {
public:
    explicit Poll(Reading start = {}) : m_reading(std::move(start)) {}

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
