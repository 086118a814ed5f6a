#include "status/StatusReading.h"

#include "device/PageHost.h"
#include "device/RegisterMap.h"
#include "device/StatusRegister.h"
#include "status/PollSchedule.h"
#include "status/PortCheck.h"

namespace status {
namespace {

const QString kNotAvailable = "N/A";

void ShowLevels(Reading& reading, const uint8_t* raw)
{
    for (int pair = 0; pair < kPairCount; ++pair) {
        reading.pairLevels[pair] = PairLevel(raw[pair]);
        reading.pairTexts[pair] = PairLevelText(reading.pairLevels[pair]);
    }
}

void ShowBer(Reading& reading, std::optional<uint8_t> level)
{
    reading.berLevel = level;
    reading.ber = level ? BerLamp(*level) : Lamp::Off;
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
        reading.localMode = ModeText(data(kLocalMode)[0]);
    reading.remoteMode =
        valid(kRemoteMode) ? ModeText(data(kRemoteMode)[0], kNotAvailable) : kNotAvailable;
    if (valid(kLocalSignals))
        reading.local = DecodeLocalSignals(data(kLocalSignals)[0]);
    reading.cableLength = valid(kLocalCableLength) && valid(kRemoteCableLength)
                              ? CableLengthText(data(kLocalCableLength)[kCableLengthByte],
                                                data(kRemoteCableLength)[kCableLengthByte])
                              : kNotAvailable;
    // Shown only: the fault flags wait for the first poll.
    if (valid(kPairLevels))
        ShowLevels(reading, data(kPairLevels).data());
    if (valid(kRemoteSignals))
        reading.remote = DecodeRemoteSignals(data(kRemoteSignals)[0]);
    if (valid(kStartupBitErrorLevel))
        ShowBer(reading, data(kStartupBitErrorLevel)[0]);
    if (valid(kLocalSource))
        reading.localSource = SourceTypeText(data(kLocalSource)[0]);
    if (valid(kRemoteSource))
        reading.remoteSource = SourceTypeText(data(kRemoteSource)[0]);
    return reading;
}

QString Advice(const Reading& reading)
{
    return reading.linkUp ? PortAdvice(reading.portFaults) : "Disconnected";
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
    RegisterData data{};
    if (host.Read(regs::kPairLevels, data.data())) {
        ShowLevels(r, data.data());
        for (int pair = 0; pair < kPairCount; ++pair)
            r.portFaults[pair] = PortFaulty(r.pairLevels[pair]);
    } else {
        r.pairLevels.fill(0.0f);
        r.pairTexts.fill(kNotAvailable);
        r.linkUp = false;
        r.portFaults.fill(false);
    }
    if (host.Read(regs::kLocalMode, data.data()))
        r.localMode = ModeText(data[0]);
    r.remoteMode = host.Read(regs::kRemoteMode, data.data()) ? ModeText(data[0]) : "Disconnect";
    // Both ends must answer for the link to count as up; a failed local read skips the remote one.
    RegisterData local{};
    RegisterData remote{};
    r.linkUp = host.Read(regs::kLocalCableLength, local.data())
               && host.Read(regs::kRemoteCableLength, remote.data());
    r.cableLength =
        r.linkUp ? CableLengthText(local[regs::kCableLengthByte], remote[regs::kCableLengthByte])
                 : kNotAvailable;
}

void Poll::SignalBlock(IRegisterReader& host)
{
    Reading& r = m_reading;
    RegisterData data{};
    r.local = host.Read(regs::kLocalSignals, data.data()) ? DecodeLocalSignals(data[0])
                                                          : LocalSignals{Lamp::Off, Lamp::Off};
    r.remote = host.Read(regs::kRemoteSignals, data.data()) ? DecodeRemoteSignals(data[0])
                                                            : RemoteSignals{Lamp::Off, Lamp::Off};
    r.localSource = host.Read(regs::kLocalSource, data.data()) ? SourceTypeText(data[0]) : "";
    r.remoteSource = host.Read(regs::kRemoteSource, data.data()) ? SourceTypeText(data[0]) : "";
    ShowBer(r,
            host.Read(regs::kBitErrorLevel, data.data()) ? std::optional(data[0]) : std::nullopt);
}

} // namespace status
