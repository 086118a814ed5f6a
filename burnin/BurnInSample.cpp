#include "burnin/BurnInSample.h"

#include "device/PageHost.h"
#include "device/RegisterMap.h"
#include "device/StatusRegister.h"

namespace burnin {
namespace {

// Data byte 0 of the register, judged by good; a read that fails is a bad sample.
template <typename Judge>
bool ReadAndJudge(IRegisterReader& host, regs::Register reg, Judge good)
{
    RegisterData data{};
    return host.Read(reg, data.data()) && good(data[0]);
}

} // namespace

bool LinkGood(uint8_t linkState)
{
    return linkState >= regs::kLinkUpFirst && linkState <= regs::kLinkUpLast;
}

bool VideoGood(uint8_t sourceType)
{
    return sourceType > regs::kSourceNone && sourceType <= regs::kSourceLastGood;
}

bool FiveVoltGood(uint8_t signalLines)
{
    return (signalLines & regs::kLocalFiveVoltBit) != 0;
}

bool HpdGood(uint8_t signalLines)
{
    return (signalLines & regs::kLocalHpdBit) != 0;
}

std::optional<SampleResult> ReadSample(IRegisterReader& host)
{
    RegisterData data{};
    if (!host.Read(regs::kConnectCheck, data.data()))
        return std::nullopt;

    SampleResult sample{};
    sample[static_cast<int>(Trace::Link)] = ReadAndJudge(host, regs::kLinkState, LinkGood);
    sample[static_cast<int>(Trace::Video)] = ReadAndJudge(host, regs::kLocalSource, VideoGood);

    RegisterData lines{};
    const bool linesRead = host.Read(regs::kLocalSignals, lines.data());
    sample[static_cast<int>(Trace::FiveVolt)] = linesRead && FiveVoltGood(lines[0]);
    sample[static_cast<int>(Trace::Hpd)] = linesRead && HpdGood(lines[0]);
    return sample;
}

} // namespace burnin
