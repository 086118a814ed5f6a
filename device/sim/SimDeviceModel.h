#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "device/CommandFrames.h"

// What the simulated extender knows and how it answers every command the program sends: status
// registers, the identification of both chips, a flash per chip that behaves like real flash
// (erase sets every byte to 0xFF, programming can only clear bits) whose image's identification a
// chip takes when it restarts, the fail-safe setting byte and restart counts. Not thread-safe:
// SimExtender guards it.
class SimDeviceModel {
public:
    enum Chip { Local = 0, Remote = 1 };
    static constexpr uint8_t kAck = frames::kStatusAck;
    static constexpr uint8_t kRefused = 0x55;
    static constexpr size_t kDefaultFlashSize = 256 * 1024;

    SimDeviceModel();

    void SetRegister(uint8_t group, uint8_t reg, std::vector<uint8_t> data);
    std::vector<uint8_t> Register(uint8_t group, uint8_t reg) const;
    // Reads of a removed register are refused, as the chip refuses those it cannot answer.
    void RemoveRegister(uint8_t group, uint8_t reg);
    void SetIdentification(Chip chip, std::array<uint8_t, 4> block);
    void SetFlashSize(size_t bytes);
    // What a chip keeps over a power cycle, for a demo that runs one program per command: its
    // identification, then what its flash holds, the erased end left out.
    std::vector<uint8_t> ChipState(Chip chip) const;
    void SetChipState(Chip chip, std::span<const uint8_t> state);

    const std::vector<uint8_t>& Flash(Chip chip) const { return m_flash[chip]; }
    uint8_t FailSafeSetting() const { return m_failSafe; }
    int FailSafeWrites() const { return m_failSafeWrites; }
    int RestartCount(Chip chip) const { return m_restarts[chip]; }
    int EraseCount(Chip chip) const { return m_erases[chip]; }

    // The response payload, status byte first, for one command payload.
    std::vector<uint8_t> Answer(std::span<const uint8_t> payload);

private:
    std::vector<uint8_t> AnswerCommand(uint8_t group, uint8_t operation);
    std::vector<uint8_t> AnswerDataChunk(std::span<const uint8_t> chunk);

    std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> m_registers;
    std::array<std::vector<uint8_t>, 2> m_flash;
    std::array<int, 2> m_restarts{};
    std::array<int, 2> m_erases{};
    int m_writeChip = -1; // chip of the open write sequence
    size_t m_writeOffset = 0;
    uint8_t m_failSafe = 0;
    int m_failSafeWrites = 0;
};
