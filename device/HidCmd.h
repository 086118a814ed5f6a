#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "device/HidIO.h"

// The command channel: one transaction at a time on the UI thread. The report buffer is shared by
// the outgoing command and the incoming response, so nothing is allocated per transaction.
//
// CommandReport:  @0 report ID (0)  @1 sequence (7 bits)  @2 payload length  @3.. payload
// ResponseReport: @0 report ID      @1 sequence (bit 7 a device flag)  @2 length n incl. status
//                 @3 status (0xAA acknowledged)  @4.. data
class CHidCmd {
public:
    static constexpr uint8_t kFirstSequence = 0x12;
    static constexpr size_t kMaxPayload = CHidIO::kReportSize - 3;

    explicit CHidCmd(IHidBackend& backend);
    virtual ~CHidCmd() = default;
    CHidCmd(const CHidCmd&) = delete;
    CHidCmd& operator=(const CHidCmd&) = delete;

    // Sends payload and waits for the answer with the same sequence number, whatever its status.
    // The answer's payload (status byte first), cut to its length byte, to what was received and to
    // response.size(), is copied to response. The result is how many bytes were stored; nothing
    // when no answer came, and response is then not written.
    std::optional<size_t> Execute(std::span<const uint8_t> payload, std::span<uint8_t> response,
                                  uint32_t timeoutMs, uint32_t pauseMs);
    // Sends a command whose answer carries only its status: true when the extender acknowledged
    // it (status 0xAA), as every command function of the program says by true.
    bool Acknowledges(std::span<const uint8_t> payload, uint32_t timeoutMs, uint32_t pauseMs);

    CHidIO& Transport() { return m_io; }
    uint8_t Sequence() const { return m_sequence; }
    // The status byte of the last transaction's answer; nothing when none came.
    std::optional<uint8_t> LastStatus() const { return m_lastStatus; }
    // Whether the last transaction's answer acknowledged its command.
    bool LastAcknowledged() const;
    // How the last transaction failed: "the extender refused it (status 0x55)", or "the extender
    // did not answer (No such device)" with the cause where one is known.
    std::string HowLastFailed() const;

    // The pause between a flash command and its answer; tests replace the sleep.
    void SetPauseFunction(std::function<void(uint32_t)> pause);
    // Every response time-out is divided by this, so that tests of a silent or slow device wait
    // milliseconds; the product always waits each command's own time. The write wait is not: a
    // write is handed to a thread of its own, and a busy machine may take that long to run it.
    void SetTimeoutDivisor(uint32_t divisor) { m_timeoutDivisor = divisor ? divisor : 1; }

private:
    std::array<uint8_t, CHidIO::kReportSize> m_report{};
    uint8_t m_sequence = kFirstSequence;
    CHidIO m_io;
    std::function<void(uint32_t)> m_pause;
    uint32_t m_timeoutDivisor = 1;
    std::optional<uint8_t> m_lastStatus;
};
