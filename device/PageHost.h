#pragma once
#include <cstdint>
#include <string>

#include "device/RegisterMap.h"

class CHidCmd;

// The doors through which pages and commands reach the extender, kept apart from any window so
// that the pages and the shell do not include each other.

// What is told of the channel's unit when the window starts following it, when it is pulled out
// and put back, and when other units come and go: the tool window, for its caption. The pages
// learn it from their own failed and answered commands.
class IUnitFollower {
public:
    // name: how the unit is known ("SIM0002") while a choice of units is offered, else empty.
    virtual void UnitShown(const std::string& name, bool present) = 0;

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

// The status register read: all that the Status poll, the burn-in sample and the chips'
// identification need of the extender.
class IRegisterReader {
public:
    // out must hold at least 29 bytes; it is not written when the read fails.
    virtual bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) = 0;
    bool Read(regs::Register reg, uint8_t* out) { return ReadRegister(reg.group, reg.number, out); }

protected:
    ~IRegisterReader() = default;
};
