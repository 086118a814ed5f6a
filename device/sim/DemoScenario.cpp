#include "device/sim/DemoScenario.h"

#include <cstdint>
#include <vector>

#include "device/RegisterMap.h"
#include "device/sim/SimExtender.h"

namespace demo {
namespace {

using namespace regs;

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

void Set(SimExtender& extender, Register reg, std::vector<uint8_t> data)
{
    extender.SetRegister(reg.group, reg.number, std::move(data));
}

// While the link is down the remote chip cannot be reached and the pairs cannot be measured, so
// those reads are refused.
void SetOrRefuse(SimExtender& extender, bool refused, Register reg, std::vector<uint8_t> data)
{
    if (refused)
        extender.WithModel([&](SimDeviceModel& m) { m.RemoveRegister(reg.group, reg.number); });
    else
        Set(extender, reg, std::move(data));
}

} // namespace

void Apply(SimExtender& extender, std::chrono::milliseconds sinceStart)
{
    const int second = static_cast<int>((sinceStart.count() / 1000) % kCycle.count());
    const bool linkDown = Between(second, 40, 46);

    Set(extender, kLocalMode, {linkDown ? kModeDisconnect : kModeHdbt, 0, 0, 0});
    SetOrRefuse(extender, linkDown, kRemoteMode, {kModeHdbt, 0, 0, 0});

    const uint8_t jitter = static_cast<uint8_t>(second % 3);
    SetOrRefuse(extender, linkDown, kPairLevels,
                {static_cast<uint8_t>(12 + jitter), PairBLevel(second),
                 static_cast<uint8_t>(9 + jitter), static_cast<uint8_t>(14 - jitter)});

    const bool local5vDrop = Between(second, 8, 11);
    const bool localHpdDrop = Between(second, 34, 37);
    const bool remote5vDrop = Between(second, 50, 53);
    const bool remoteHpdDrop = Between(second, 54, 57);
    const uint8_t local =
        (local5vDrop ? 0 : kLocalFiveVoltBit) | (localHpdDrop || linkDown ? 0 : kLocalHpdBit);
    const uint8_t remote =
        (remote5vDrop ? 0 : kRemoteFiveVoltBit) | (remoteHpdDrop ? 0 : kRemoteHpdBit);
    Set(extender, kLocalSignals, {local, 0, 0, 0});
    SetOrRefuse(extender, linkDown, kRemoteSignals, {remote, 0, 0, 0});

    const uint8_t length = static_cast<uint8_t>(42 + second % 2);
    Set(extender, kLocalCableLength, {0, 0, 0, length});
    SetOrRefuse(extender, linkDown, kRemoteCableLength,
                {0, 0, 0, static_cast<uint8_t>(length + 1)});

    // Clean but for the marginal while pair B is red; bad while the link is down.
    const uint8_t ber = linkDown                  ? 0
                        : Between(second, 20, 28) ? kBitErrorMarginal
                                                  : kBitErrorClean + 1;
    Set(extender, kStartupBitErrorLevel, {ber, 0, 0, 0});
    Set(extender, kBitErrorLevel, {ber, 0, 0, 0});

    Set(extender, kLinkState, {linkDown ? uint8_t(0) : kLinkUpLast, 0, 0, 0});
    // A DVI source for a while, none at the far end while the link is down.
    const uint8_t source = Between(second, 0, 6) ? kSourceDvi : kSourceHdcp;
    Set(extender, kLocalSource, {source, 0, 0, 0});
    Set(extender, kRemoteSource, {linkDown ? kSourceNone : source, 0, 0, 0});
}

HidTransfer Extender::Write(HidHandle handle, const uint8_t* report, size_t length, int timeoutMs)
{
    Apply(*this, std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now() - m_start));
    return SimExtender::Write(handle, report, length, timeoutMs);
}

} // namespace demo
