#pragma once
#include <cstdint>

class CHidCmd;
class RegisterSnapshot;

// The two doors through which pages reach the extender, kept apart from any window so that the
// pages and the shell do not include each other.

// What a page's m_pMainDlg points to: the owner of the one command channel.
class IChannelOwner {
public:
    virtual CHidCmd& Channel() = 0;

protected:
    ~IChannelOwner() = default;
};

// What the tool window offers its pages: the register read and the snapshot taken at opening.
class IRegisterHost {
public:
    // out must hold at least 29 bytes; it is not written when the read fails.
    virtual bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) = 0;
    virtual const RegisterSnapshot& Snapshot() const = 0;

protected:
    ~IRegisterHost() = default;
};
