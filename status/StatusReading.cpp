#include "status/StatusReading.h"

#include "device/PageHost.h"
#include "device/StatusRegister.h"
#include "status/PollSchedule.h"
#include "status/PortCheck.h"

namespace status {
namespace {

constexpr uint8_t kGroup1 = 0x01;
constexpr uint8_t kGroup2 = 0x02;
constexpr uint8_t kLocalModeReg = 0x04;
constexpr uint8_t kRemoteModeReg = 0x08;
constexpr uint8_t kPairLevelsReg = 0x09;
constexpr uint8_t kLocalSignalsReg = 0x0B;
constexpr uint8_t kLocalCableReg = 0x0C;
constexpr uint8_t kStartupBerReg = 0x0E;
constexpr uint8_t kRemoteSignalsReg = 0x11;
constexpr uint8_t kRemoteCableReg = 0x12;
constexpr uint8_t kBerReg = 0x14;
constexpr uint8_t kLocalSourceReg = 0x02;  // group 2
constexpr uint8_t kRemoteSourceReg = 0x04; // group 2
constexpr size_t kCableByte = 3;
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
    Reading reading;
    const auto valid = [&](uint8_t group, uint8_t reg) { return snapshot.IsValid(group, reg); };
    const auto byte0 = [&](uint8_t group, uint8_t reg) { return snapshot.Data(group, reg)[0]; };
    if (valid(kGroup1, kLocalModeReg))
        reading.localMode = ModeText(byte0(kGroup1, kLocalModeReg));
    reading.remoteMode = valid(kGroup1, kRemoteModeReg)
                             ? ModeText(byte0(kGroup1, kRemoteModeReg), kNotAvailable)
                             : kNotAvailable;
    if (valid(kGroup1, kLocalSignalsReg))
        reading.local = DecodeLocalSignals(byte0(kGroup1, kLocalSignalsReg));
    reading.cableLength = valid(kGroup1, kLocalCableReg) && valid(kGroup1, kRemoteCableReg)
                              ? CableLengthText(snapshot.Data(kGroup1, kLocalCableReg)[kCableByte],
                                                snapshot.Data(kGroup1, kRemoteCableReg)[kCableByte])
                              : kNotAvailable;
    // Shown only: the fault flags wait for the first poll.
    if (valid(kGroup1, kPairLevelsReg))
        ShowLevels(reading, snapshot.Data(kGroup1, kPairLevelsReg).data());
    if (valid(kGroup1, kRemoteSignalsReg))
        reading.remote = DecodeRemoteSignals(byte0(kGroup1, kRemoteSignalsReg));
    if (valid(kGroup1, kStartupBerReg))
        ShowBer(reading, byte0(kGroup1, kStartupBerReg));
    if (valid(kGroup2, kLocalSourceReg))
        reading.localSource = SourceTypeText(byte0(kGroup2, kLocalSourceReg));
    if (valid(kGroup2, kRemoteSourceReg))
        reading.remoteSource = SourceTypeText(byte0(kGroup2, kRemoteSourceReg));
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
    if (host.ReadRegister(kGroup1, kPairLevelsReg, data.data())) {
        ShowLevels(r, data.data());
        for (int pair = 0; pair < kPairCount; ++pair)
            r.portFaults[pair] = PortFaulty(r.pairLevels[pair]);
    } else {
        r.pairLevels.fill(0.0f);
        r.pairTexts.fill(kNotAvailable);
        r.linkUp = false;
        r.portFaults.fill(false);
    }
    if (host.ReadRegister(kGroup1, kLocalModeReg, data.data()))
        r.localMode = ModeText(data[0]);
    r.remoteMode =
        host.ReadRegister(kGroup1, kRemoteModeReg, data.data()) ? ModeText(data[0]) : "Disconnect";
    // Both ends must answer for the link to count as up; a failed local read skips the remote one.
    RegisterData local{};
    RegisterData remote{};
    r.linkUp = host.ReadRegister(kGroup1, kLocalCableReg, local.data())
               && host.ReadRegister(kGroup1, kRemoteCableReg, remote.data());
    r.cableLength =
        r.linkUp ? CableLengthText(local[kCableByte], remote[kCableByte]) : kNotAvailable;
}

void Poll::SignalBlock(IRegisterReader& host)
{
    Reading& r = m_reading;
    RegisterData data{};
    r.local = host.ReadRegister(kGroup1, kLocalSignalsReg, data.data())
                  ? DecodeLocalSignals(data[0])
                  : LocalSignals{Lamp::Off, Lamp::Off};
    r.remote = host.ReadRegister(kGroup1, kRemoteSignalsReg, data.data())
                   ? DecodeRemoteSignals(data[0])
                   : RemoteSignals{Lamp::Off, Lamp::Off};
    r.localSource =
        host.ReadRegister(kGroup2, kLocalSourceReg, data.data()) ? SourceTypeText(data[0]) : "";
    r.remoteSource =
        host.ReadRegister(kGroup2, kRemoteSourceReg, data.data()) ? SourceTypeText(data[0]) : "";
    ShowBer(r, host.ReadRegister(kGroup1, kBerReg, data.data()) ? std::optional(data[0])
                                                                : std::nullopt);
}

} // namespace status
