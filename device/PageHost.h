#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

class CHidCmd;
class RegisterSnapshot;

// The two doors through which pages reach the extender, kept apart from any window so that the
// pages and the shell do not include each other.

// What is told when the channel's unit is pulled out and put back: the tool window, for its
// caption. The pages learn it from their own failed and answered commands.
class IUnitFollower {
public:
    virtual void UnitPresent(bool present) = 0;

protected:
    ~IUnitFollower() = default;
};

// What a page's m_pMainDlg points to: the owner of the one command channel.
class IChannelOwner {
public:
    virtual CHidCmd& Channel() = 0;
    // The window working with the channel's unit, from its opening (follows) to its closing: while
    // it is open, only that unit is taken back when it is plugged in again.
    virtual void Follow(IUnitFollower& follower, bool follows) { (void)follower, (void)follows; }

protected:
    ~IChannelOwner() = default;
};

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

// What the tool window offers its pages: the register read, the snapshot taken at opening, and
// the jobs that the pages run.
class IRegisterHost {
public:
    // out must hold at least 29 bytes; it is not written when the read fails.
    virtual bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) = 0;
    virtual const RegisterSnapshot& Snapshot() const = 0;
    virtual WireJobs& Jobs() = 0;

protected:
    ~IRegisterHost() = default;
};
