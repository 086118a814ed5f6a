// The fuzz target of the command channel's response handling: a run of transactions on one
// channel over a back end whose input reports come from the fuzzer's bytes. Besides not crashing,
// the channel must keep its promises to its callers, checked after every transaction.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "device/DeviceIds.h"
#include "device/HidCmd.h"

namespace {

using fuzz::Require;
using Report = std::array<uint8_t, CHidIO::kReportSize>;

// The fuzzer's bytes, front to back. Per transaction: payload length (mod 66, so empty and too
// long payloads occur), capacity (mod 80, beyond the 62 payload bytes a report can carry),
// options (bit 0: a flash pause, bit 1: time-out 0 instead of 1000 ms), the payload. Per read
// the channel makes: a kind (mod 8: 0 time-out, 1 error, else a report); for a report the count
// the back end claims (0..255, so also counts beyond the 65-byte buffer), a sequence offset s
// (byte 1 is ((sent + s) & 0x7F) | (s & 0x80): s & 0x7F == 0 answers the command sent, bit 7
// of s sets the device flag), then the report's bytes from the length byte on.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool Exhausted() const { return m_at == m_size; }
    uint8_t Next() { return Exhausted() ? 0 : m_data[m_at++]; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// What the back end put into the channel's buffer, and the count it claimed for it.
struct DeliveredReport {
    Report bytes{};
    size_t filled = 0;
    int claimed = 0;
};

class FuzzedBackend final : public IHidBackend {
public:
    explicit FuzzedBackend(FuzzInput& input) : m_input(input) {}

    std::vector<std::string> EnumeratePaths() override { return {"fuzzed"}; }
    bool ReadAttributes(const std::string&, HidAttributes& out) override
    {
        out = {kTorvanVendorId, kTorvanProductId};
        return true;
    }
    HidHandle Open(const std::string&, HidAccess access) override
    {
        return access == HidAccess::Read ? kReadHandle : kWriteHandle;
    }

    int Write(HidHandle handle, const uint8_t* report, size_t length, int) override
    {
        Require(handle == kWriteHandle && length == CHidIO::kReportSize, "writes go out whole");
        std::copy_n(report, length, m_written.emplace_back().begin());
        return static_cast<int>(length);
    }

    // Exhausted input ends the read as an error, never as a wait for the time-out.
    int Read(HidHandle handle, uint8_t* report, size_t capacity, int) override
    {
        Require(handle == kReadHandle && capacity == CHidIO::kReportSize,
                "reads offer the whole buffer");
        if (m_input.Exhausted())
            return -1;
        switch (m_input.Next() % 8) {
        case 0: return 0;
        case 1: return -1;
        default: break;
        }
        DeliveredReport& delivered = m_delivered.emplace_back();
        delivered.claimed = m_input.Next();
        delivered.filled = std::min<size_t>(static_cast<size_t>(delivered.claimed), capacity);
        const uint8_t offset = m_input.Next();
        const uint8_t sent = m_written.empty() ? 0 : m_written.back()[1];
        delivered.bytes[1] = static_cast<uint8_t>(((sent + offset) & 0x7F) | (offset & 0x80));
        for (size_t i = 2; i < delivered.filled; ++i)
            delivered.bytes[i] = m_input.Next();
        std::copy_n(delivered.bytes.begin(), delivered.filled, report);
        return delivered.claimed;
    }

    void Cancel(HidHandle) override {}
    void Close(HidHandle) override {}

    void StartTransaction()
    {
        m_written.clear();
        m_delivered.clear();
    }
    const std::vector<Report>& Written() const { return m_written; }
    const std::vector<DeliveredReport>& Delivered() const { return m_delivered; }

private:
    static constexpr HidHandle kReadHandle = 1;
    static constexpr HidHandle kWriteHandle = 2;

    FuzzInput& m_input;
    std::vector<Report> m_written;
    std::vector<DeliveredReport> m_delivered;
};

struct Transaction {
    std::vector<uint8_t> payload;
    size_t capacity = 0;
    uint32_t pauseMs = 0;
    uint32_t timeoutMs = 1000;
};

Transaction NextTransaction(FuzzInput& input)
{
    Transaction t;
    t.payload.resize(input.Next() % 66);
    t.capacity = input.Next() % 80;
    const uint8_t options = input.Next();
    t.pauseMs = (options & 1) ? 1000 : 0;
    t.timeoutMs = (options & 2) ? 0 : 1000;
    for (uint8_t& byte : t.payload)
        byte = input.Next();
    return t;
}

// The caller's buffer before the transaction: a pattern, so that any byte written shows.
uint8_t Untouched(size_t i)
{
    return static_cast<uint8_t>(0x5A + 37 * i);
}

bool Broken(const DeliveredReport& report)
{
    return report.claimed > static_cast<int>(CHidIO::kReportSize);
}

bool Answers(const DeliveredReport& report, uint8_t sequence)
{
    return report.claimed >= 3 && !Broken(report) && (report.bytes[1] & 0x7F) == sequence;
}

void CheckFrame(const Transaction& t, const Report& written, uint8_t sequence)
{
    Require(written[0] == 0x00, "report ID 0");
    Require(written[1] == sequence, "the command carries the channel's new sequence number");
    Require(written[2] == t.payload.size(), "length byte is the payload's length");
    Require(std::equal(t.payload.begin(), t.payload.end(), written.begin() + 3),
            "payload framed as given");
}

void CheckTransaction(const Transaction& t, const FuzzedBackend& backend, uint8_t sequenceBefore,
                      uint8_t sequenceAfter, bool answered, size_t stored,
                      const std::vector<uint8_t>& response)
{
    const auto& delivered = backend.Delivered();
    const bool sendable = !t.payload.empty() && t.payload.size() <= CHidCmd::kMaxPayload;
    if (!sendable) {
        Require(!answered && stored == 0, "an unsendable payload gets no answer");
        Require(backend.Written().empty() && delivered.empty(),
                "an unsendable payload is not sent");
        Require(sequenceAfter == sequenceBefore, "an unsendable payload takes no sequence number");
    } else {
        Require(backend.Written().size() == 1, "one command report per transaction");
        Require(sequenceAfter == ((sequenceBefore + 1) & 0x7F),
                "sequence numbers advance by one, in 7 bits");
        CheckFrame(t, backend.Written().front(), sequenceAfter);
    }

    const auto firstBroken = std::find_if(delivered.begin(), delivered.end(), Broken);
    Require(firstBroken == delivered.end() || (!answered && firstBroken + 1 == delivered.end()),
            "a report claiming more than the buffer ends the transaction unanswered");
    const auto firstAnswer =
        std::find_if(delivered.begin(), delivered.end(),
                     [&](const DeliveredReport& r) { return Answers(r, sequenceAfter); });
    size_t written = 0;
    if (answered) {
        Require(firstAnswer != delivered.end() && firstAnswer + 1 == delivered.end(),
                "the answer is the first report whose low 7 bits equal the sequence sent");
        const DeliveredReport& answer = *firstAnswer;
        Require(answer.filled >= 3, "an answer holds its header");
        Require(stored <= t.capacity, "never more than the capacity stored");
        Require(stored <= answer.bytes[2], "never more than the length byte stored");
        Require(stored <= answer.filled - 3, "never more than was received stored");
        Require(stored == std::min<size_t>({answer.bytes[2], answer.filled - 3, t.capacity}),
                "the payload is cut only to the length byte, what was received and the capacity");
        Require(std::equal(response.begin(), response.begin() + static_cast<std::ptrdiff_t>(stored),
                           answer.bytes.begin() + 3),
                "the stored bytes are the answer's payload");
        written = stored;
    } else {
        Require(stored == 0, "nothing stored without an answer");
        Require(firstAnswer == delivered.end(), "a report answering the command is never dropped");
    }
    for (size_t i = written; i < response.size(); ++i)
        Require(response[i] == Untouched(i),
                "the caller's buffer is untouched beyond what was stored");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    FuzzedBackend backend(input);
    CHidCmd channel(backend);
    uint32_t lastPause = 0;
    channel.SetPauseFunction([&](uint32_t ms) { lastPause = ms; });
    Require(channel.Transport().Open(), "the fuzzed device opens");

    while (!input.Exhausted()) {
        const Transaction t = NextTransaction(input);
        // Exactly the capacity, on the heap, so that the sanitizer sees any write past its end.
        std::vector<uint8_t> response(t.capacity);
        for (size_t i = 0; i < response.size(); ++i)
            response[i] = Untouched(i);
        backend.StartTransaction();
        lastPause = 0;
        const uint8_t sequenceBefore = channel.Sequence();
        size_t stored = 0xDEAD;
        const bool answered = channel.Execute(t.payload, response, t.timeoutMs, t.pauseMs, &stored);
        CheckTransaction(t, backend, sequenceBefore, channel.Sequence(), answered, stored,
                         response);
        Require(lastPause == (backend.Written().empty() ? 0 : t.pauseMs),
                "the flash pause is taken as asked");
    }
    return 0;
}
