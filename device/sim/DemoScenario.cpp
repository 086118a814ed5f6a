#include "device/sim/DemoScenario.h"

#include <cstdint>
#include <vector>

#include "device/sim/SimExtender.h"

namespace demo {
namespace {

constexpr uint8_t kModeHdbt = 7;
constexpr uint8_t kModeDisconnect = 8;
constexpr uint8_t kSourceHdcp = 2;
constexpr uint8_t kSourceDvi = 1;

// Every state lasts at least as long as the Status page takes to see it: five seconds for what it
// reads every fifth second (pair levels, modes, cable length), three for what it reads every
// second second (signal lines, sources, bit error rate).

bool Between(int second, int from, int to)
{
    return second >= from && second < to;
}

// Pair B's error level: healthy, then amber (52..63), then red (64 and over), then back.
uint8_t PairBLevel(int second)
{
    if (Between(second, 14, 20))
        return 56;
    if (Between(second, 20, 28))
        return 71;
    if (Between(second, 28, 34))
        return 58;
    return 18;
}

// While the link is down the remote chip cannot be reached and the pairs cannot be measured, so
// those reads are refused.
void SetOrRefuse(SimExtender& extender, bool refused, uint8_t group, uint8_t reg,
                 std::vector<uint8_t> data)
{
    if (refused)
        extender.WithModel([&](SimDeviceModel& model) { model.RemoveRegister(group, reg); });
    else
        extender.SetRegister(group, reg, std::move(data));
}

} // namespace

void Apply(SimExtender& extender, std::chrono::milliseconds sinceStart)
{
    const int second = static_cast<int>((sinceStart.count() / 1000) % kCycle.count());
    const bool linkDown = Between(second, 40, 46);

    extender.SetRegister(0x01, 0x04, {linkDown ? kModeDisconnect : kModeHdbt, 0, 0, 0});
    SetOrRefuse(extender, linkDown, 0x01, 0x08, {kModeHdbt, 0, 0, 0});

    const uint8_t jitter = static_cast<uint8_t>(second % 3);
    SetOrRefuse(extender, linkDown, 0x01, 0x09,
                {static_cast<uint8_t>(12 + jitter), PairBLevel(second),
                 static_cast<uint8_t>(9 + jitter), static_cast<uint8_t>(14 - jitter)});

    // Local signal lines: bit 2 is 5 V, bit 0 HPD. Remote: bit 2 is 5 V, bit 3 HPD.
    const bool local5vDrop = Between(second, 8, 11);
    const bool localHpdDrop = Between(second, 34, 37);
    const bool remote5vDrop = Between(second, 50, 53);
    const bool remoteHpdDrop = Between(second, 54, 57);
    const uint8_t local = (local5vDrop ? 0 : 0x04) | (localHpdDrop || linkDown ? 0 : 0x01);
    const uint8_t remote = (remote5vDrop ? 0 : 0x04) | (remoteHpdDrop ? 0 : 0x08);
    extender.SetRegister(0x01, 0x0B, {local, 0, 0, 0});
    SetOrRefuse(extender, linkDown, 0x01, 0x11, {remote, 0, 0, 0});

    const uint8_t length = static_cast<uint8_t>(42 + second % 2);
    extender.SetRegister(0x01, 0x0C, {0, 0, 0, length});
    SetOrRefuse(extender, linkDown, 0x01, 0x12, {0, 0, 0, static_cast<uint8_t>(length + 1)});

    // Bit error rate level: 9 and over is clean, 8 marginal, 7 and under bad.
    const uint8_t ber = linkDown ? 0 : Between(second, 20, 28) ? 8 : 10;
    extender.SetRegister(0x01, 0x0E, {ber, 0, 0, 0});
    extender.SetRegister(0x01, 0x14, {ber, 0, 0, 0});

    // Link state: 1 to 4 is up. Video source: a DVI source for a while, none while the link is
    // down.
    extender.SetRegister(0x02, 0x01, {static_cast<uint8_t>(linkDown ? 0 : 4), 0, 0, 0});
    const uint8_t source = Between(second, 0, 6) ? kSourceDvi : kSourceHdcp;
    extender.SetRegister(0x02, 0x02, {source, 0, 0, 0});
    extender.SetRegister(0x02, 0x04, {static_cast<uint8_t>(linkDown ? 0 : source), 0, 0, 0});
}

int Extender::Write(HidHandle handle, const uint8_t* report, size_t length, int timeoutMs)
{
    Apply(*this, std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - m_start));
    return SimExtender::Write(handle, report, length, timeoutMs);
}

} // namespace demo
