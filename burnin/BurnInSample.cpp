#include "burnin/BurnInSample.h"

#include "device/CommandFrames.h"
#include "device/PageHost.h"
#include "device/StatusRegister.h"

namespace burnin {
namespace {

constexpr uint8_t kConnectRegister = 0x01;
constexpr uint8_t kLinkStateRegister = 0x01;
constexpr uint8_t kVideoSourceRegister = 0x02;
constexpr uint8_t kSignalLinesRegister = 0x0B;

// Data byte 0 of the register, judged by good; a read that fails is a bad sample.
template <typename Judge>
bool ReadAndJudge(IRegisterReader& host, uint8_t group, uint8_t reg, Judge good)
{
    RegisterData data{};
    return host.ReadRegister(group, reg, data.data()) && good(data[0]);
}

} // namespace

bool LinkGood(uint8_t linkState)
{
    return linkState >= 1 && linkState <= 4;
}

bool VideoGood(uint8_t sourceType)
{
    return sourceType >= 1 && sourceType <= 3;
}

bool FiveVoltGood(uint8_t signalLines)
{
    return (signalLines & 0x04) != 0;
}

bool HpdGood(uint8_t signalLines)
{
    return (signalLines & 0x01) != 0;
}

std::optional<SampleResult> ReadSample(IRegisterReader& host)
{
    RegisterData data{};
    if (!host.ReadRegister(frames::kConnectGroup, kConnectRegister, data.data()))
        return std::nullopt;

    SampleResult sample{};
    sample[static_cast<int>(Trace::Link)] =
        ReadAndJudge(host, frames::kStatusGroup2, kLinkStateRegister, LinkGood);
    sample[static_cast<int>(Trace::Video)] =
        ReadAndJudge(host, frames::kStatusGroup2, kVideoSourceRegister, VideoGood);

    RegisterData lines{};
    const bool linesRead =
        host.ReadRegister(frames::kStatusGroup1, kSignalLinesRegister, lines.data());
    sample[static_cast<int>(Trace::FiveVolt)] = linesRead && FiveVoltGood(lines[0]);
    sample[static_cast<int>(Trace::Hpd)] = linesRead && HpdGood(lines[0]);
    return sample;
}

} // namespace burnin
