#include "device/HidCmd.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "device/CommandFrames.h"

namespace {

uint32_t TickCountMs()
{
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMs(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

CHidCmd::CHidCmd(IHidBackend& backend) : m_io(backend), m_pause(SleepMs) {}

void CHidCmd::SetPauseFunction(std::function<void(uint32_t)> pause)
{
    m_pause = pause ? std::move(pause) : SleepMs;
}

std::optional<size_t> CHidCmd::Execute(std::span<const uint8_t> payload,
                                       std::span<uint8_t> response, uint32_t timeoutMs,
                                       uint32_t pauseMs)
{
    m_lastStatus.reset();
    if (payload.empty() || payload.size() > kMaxPayload)
        return std::nullopt;
    timeoutMs /= m_timeoutDivisor;

    m_sequence = (m_sequence + 1) & 0x7F;
    m_report[0] = 0x00;
    m_report[1] = m_sequence;
    m_report[2] = static_cast<uint8_t>(payload.size());
    std::copy(payload.begin(), payload.end(), m_report.begin() + 3);

    // A failed write shows as a missing answer once the time-out has passed.
    m_io.WriteReport(m_report.data());
    if (pauseMs != 0)
        m_pause(pauseMs);

    const uint32_t start = TickCountMs();
    uint32_t received = 0;
    for (;;) {
        if (!m_io.ReadReport(m_report.data(), &received, timeoutMs))
            return std::nullopt;
        if (received >= 3 && (m_report[1] & 0x7F) == m_sequence)
            break;
        // Stale or unsolicited report: dropped. Unsigned difference, so a tick wrap does no harm.
        if (TickCountMs() - start > timeoutMs)
            return std::nullopt;
    }

    size_t length = std::min<size_t>({m_report[2], received - 3, response.size()});
    if (m_report[2] > 0 && received > 3)
        m_lastStatus = m_report[3];
    std::copy_n(m_report.begin() + 3, length, response.begin());
    return length;
}

bool CHidCmd::Acknowledges(std::span<const uint8_t> payload, uint32_t timeoutMs, uint32_t pauseMs)
{
    std::array<uint8_t, frames::kRegisterCapacity> response{};
    return Execute(payload, response, timeoutMs, pauseMs) && LastAcknowledged();
}

bool CHidCmd::LastAcknowledged() const
{
    return m_lastStatus == frames::kStatusAck;
}

std::string CHidCmd::HowLastFailed() const
{
    if (m_lastStatus) {
        char text[48];
        std::snprintf(text, sizeof text, "the extender refused it (status 0x%02x)", *m_lastStatus);
        return text;
    }
    const std::error_code error = m_io.TransferError();
    return "the extender did not answer" + (error ? " (" + error.message() + ")" : "");
}
