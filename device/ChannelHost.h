#pragma once
#include "device/PageHost.h"
#include "device/StatusRegister.h"

// The register read over a channel, for a program without the tool window: the command line. It
// takes no snapshot.
class ChannelHost : public IRegisterHost {
public:
    explicit ChannelHost(CHidCmd& channel) : m_channel(channel) {}

    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override
    {
        return ReadStatusRegister(m_channel, target, reg, std::span(out, kRegisterDataCapacity));
    }
    const RegisterSnapshot& Snapshot() const override { return m_snapshot; }
    WireJobs& Jobs() override { return m_jobs; }

private:
    CHidCmd& m_channel;
    RegisterSnapshot m_snapshot;
    WireJobs m_jobs;
};
