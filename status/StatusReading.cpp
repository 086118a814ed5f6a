#include "status/StatusReading.h"

#include "device/PageHost.h"
#include "device/RegisterMap.h"
#include "device/StatusRegister.h"
#include "status/PollSchedule.h"

namespace status {
namespace {

std::array<float, kPairCount> PairLevels(const uint8_t* raw)
{
    std::array<float, kPairCount> levels{};
    for (int pair = 0; pair < kPairCount; ++pair)
        levels[pair] = PairLevel(raw[pair]);
    return levels;
}

PortFlags FaultyPorts(const std::optional<std::array<float, kPairCount>>& levels)
{
    PortFlags faults{};
    for (int pair = 0; levels && pair < kPairCount; ++pair)
        faults[pair] = PortFaulty((*levels)[pair]);
    return faults;
}

// Data byte 0 of a register, when its read succeeded.
std::optional<uint8_t> ReadByte(IRegisterReader& host, regs::Register reg)
{
    RegisterData data{};
    if (!host.Read(reg, data.data()))
        return std::nullopt;
    return data[0];
}

template <typename Value>
std::optional<Value> Decoded(std::optional<uint8_t> byte, Value (*decode)(uint8_t))
{
    if (!byte)
        return std::nullopt;
    return decode(*byte);
}

} // namespace

Reading FromSnapshot(const RegisterSnapshot& snapshot)
{
    using namespace regs;
    Reading reading;
    const auto valid = [&](Register r) { return snapshot.IsValid(r.group, r.number); };
    const auto data = [&](Register r) -> const RegisterSnapshot::Entry& {
        return snapshot.Data(r.group, r.number);
    };
    if (valid(kLocalMode))
        reading.localMode = data(kLocalMode)[0];
    if (valid(kRemoteMode))
        reading.remoteMode = data(kRemoteMode)[0];
    if (valid(kLocalSignals))
        reading.local = DecodeLocalSignals(data(kLocalSignals)[0]);
    if (valid(kLocalCableLength) && valid(kRemoteCableLength))
        reading.cableLength = DecodeCableLength(data(kLocalCableLength)[kCableLengthByte],
                                                data(kRemoteCableLength)[kCableLengthByte]);
    // Shown only: the fault flags wait for the first poll.
    if (valid(kPairLevels))
        reading.pairLevels = PairLevels(data(kPairLevels).data());
    if (valid(kRemoteSignals))
        reading.remote = DecodeRemoteSignals(data(kRemoteSignals)[0]);
    if (valid(kStartupBitErrorLevel))
        reading.berLevel = data(kStartupBitErrorLevel)[0];
    if (valid(kLocalSource))
        reading.localSource = DecodeSource(data(kLocalSource)[0]);
    if (valid(kRemoteSource))
        reading.remoteSource = DecodeSource(data(kRemoteSource)[0]);
    return reading;
}

void Poll::Tick(IRegisterReader& host)
{
    if (RunsLinkBlock(m_tick))
        LinkBlock(host);
    if (RunsSignalBlock(m_tick))
        SignalBlock(host);
    ++m_tick;
}

void Poll::LinkBlock(IRegisterReader& host)
{
    Reading& r = m_reading;
    r.polled = true;
    RegisterData data{};
    r.pairLevels.reset();
    if (host.Read(regs::kPairLevels, data.data()))
        r.pairLevels = PairLevels(data.data());
    r.portFaults = FaultyPorts(r.pairLevels);
    if (const std::optional<uint8_t> mode = ReadByte(host, regs::kLocalMode))
        r.localMode = mode;
    r.remoteMode = ReadByte(host, regs::kRemoteMode);
    // Both ends must answer for the link to count as up; a failed local read skips the remote one.
    RegisterData local{};
    RegisterData remote{};
    r.linkUp = host.Read(regs::kLocalCableLength, local.data())
               && host.Read(regs::kRemoteCableLength, remote.data());
    r.cableLength.reset();
    if (r.linkUp)
        r.cableLength =
            DecodeCableLength(local[regs::kCableLengthByte], remote[regs::kCableLengthByte]);
}

void Poll::SignalBlock(IRegisterReader& host)
{
    Reading& r = m_reading;
    r.local = Decoded(ReadByte(host, regs::kLocalSignals), DecodeLocalSignals);
    r.remote = Decoded(ReadByte(host, regs::kRemoteSignals), DecodeRemoteSignals);
    r.localSource = Decoded(ReadByte(host, regs::kLocalSource), DecodeSource);
    r.remoteSource = Decoded(ReadByte(host, regs::kRemoteSource), DecodeSource);
    r.berLevel = ReadByte(host, regs::kBitErrorLevel);
}

} // namespace status
