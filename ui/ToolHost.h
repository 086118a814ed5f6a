#pragma once
#include <array>
#include <cstddef>

#include "device/PageHost.h"

class RegisterSnapshot;

// The jobs that put commands on the wire from a timer. A firmware update never shares the wire
// with another: whether the extender takes reads between the blocks of a write is not known.
enum class WireJob { StatusTest, BurnIn, FirmwareUpdate };

class WireJobs {
public:
    void Set(WireJob job, bool running) { m_running[static_cast<size_t>(job)] = running; }
    bool Running(WireJob job) const { return m_running[static_cast<size_t>(job)]; }

private:
    std::array<bool, 3> m_running{};
};

// What the tool window offers its pages besides the register read: the snapshot it took when it
// opened, and the jobs that the pages run.
class IToolHost : public IRegisterReader {
public:
    virtual const RegisterSnapshot& Snapshot() const = 0;
    virtual WireJobs& Jobs() = 0;

protected:
    ~IToolHost() = default;
};
