#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "device/PageHost.h"

class CHidCmd;

// Status register reads and the tool window's one-time snapshot of them. A read is acknowledged
// only with status 0xAA; then the data bytes (the response after the status byte) are copied out.

inline constexpr size_t kRegisterDataCapacity = 29;
using RegisterData = std::array<uint8_t, kRegisterDataCapacity>;

// When false, out is left untouched.
bool ReadStatusRegister(CHidCmd& channel, uint8_t target, uint8_t reg, std::span<uint8_t> out);

// The connect check that tells a connected unit: status 0xAA, or the connected answer in the byte
// after it, either alone suffices; no answer leaves both 0.
bool AnswersConnectCheck(CHidCmd& channel);

// The register read straight over a channel, for a program without the tool window: the command
// line.
class ChannelReader : public IRegisterReader {
public:
    explicit ChannelReader(CHidCmd& channel) : m_channel(channel) {}
    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override
    {
        return ReadStatusRegister(m_channel, target, reg, std::span(out, kRegisterDataCapacity));
    }

private:
    CHidCmd& m_channel;
};

class RegisterSnapshot {
public:
    static constexpr size_t kRegisters = 50;
    static constexpr size_t kEntrySize = 6;
    using Entry = std::array<uint8_t, kEntrySize>;

    void Clear() { *this = RegisterSnapshot{}; }
    void Store(uint8_t group, uint8_t reg, std::span<const uint8_t> data);
    void MarkInvalid(uint8_t group, uint8_t reg);
    // Groups other than 1 and 2 and registers beyond the table are never valid.
    bool IsValid(uint8_t group, uint8_t reg) const;
    const Entry& Data(uint8_t group, uint8_t reg) const;

private:
    struct Group {
        std::array<Entry, kRegisters> entries{};
        std::array<uint8_t, kRegisters> valid{};
    };
    // Index into m_groups, or -1 for a register outside the snapshot.
    static int GroupIndex(uint8_t group, uint8_t reg);

    std::array<Group, 2> m_groups{};
};
