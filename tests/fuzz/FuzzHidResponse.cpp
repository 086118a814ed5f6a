// The fuzz target of the command channel's handling of whatever the device answers: a run of
// transactions on one channel over a back end whose input reports come from the fuzzer's bytes.
// Besides not crashing, the channel must keep its promises, checked after every transaction.
//
// The bytes, front to back. Per transaction: payload length (mod 66, so empty and too long ones
// occur), capacity (mod 80), options (bit 0: a flash pause, bit 1: time-out 0), the payload. Per
// read: a kind (mod 8: 0 time-out, 1 error, else a report); for a report the count the back end
// claims (0..255, beyond the 65-byte buffer too), a sequence offset s (byte 1 is
// ((sent + s) & 0x7F) | (s & 0x80)), then the report's bytes from the length byte on.
#include <algorithm>
#include <memory>
#include <span>
#include <utility>

#include "FuzzCheck.h"
#include "device/HidCmd.h"
#include "device/sim/SimExtender.h"

namespace {

using ReportBytes = std::array<uint8_t, CHidIO::kReportSize>;

struct Delivered {
    ReportBytes bytes{};
    size_t filled = 0; // what went into the channel's buffer
    int claimed = 0;   // the count the back end claimed
    bool Broken() const { return claimed > int(CHidIO::kReportSize); }
};

// The simulated extender's device list and handles, with the fuzzer's bytes as what it answers.
// One serves the whole run: building one fills both chips' flash, which costs many times what
// the transactions do.
class FuzzedBackend final : public SimExtender {
public:
    void Answer(const uint8_t* data, size_t size) { m_input = {data, size}; }
    bool Exhausted() const { return m_input.empty(); }
    uint8_t Next() { return Exhausted() ? 0 : std::exchange(m_input, m_input.subspan(1))[0]; }

    HidTransfer Write(HidHandle, const uint8_t* report, size_t length, int) override
    {
        Require(length == CHidIO::kReportSize, "writes go out whole");
        std::copy_n(report, length, written.emplace_back().begin());
        return {int(length)};
    }
    // Exhausted input ends a read as an error, never as a wait for the time-out.
    HidTransfer Read(HidHandle, uint8_t* report, size_t capacity, int) override
    {
        Require(capacity == CHidIO::kReportSize, "reads offer the whole buffer");
        const int kind = Exhausted() ? 1 : Next() % 8;
        if (kind < 2)
            return {-kind, kind ? std::make_error_code(std::errc::io_error) : std::error_code()};
        Delivered& d = delivered.emplace_back();
        d.claimed = Next();
        d.filled = std::min<size_t>(size_t(d.claimed), capacity);
        const uint8_t offset = Next();
        d.bytes[1] =
            uint8_t(((written.empty() ? 0 : written.back()[1]) + offset) & 0x7F) | (offset & 0x80);
        for (size_t i = 2; i < d.filled; ++i)
            d.bytes[i] = Next();
        std::copy_n(d.bytes.begin(), d.filled, report);
        return {d.claimed};
    }
    std::vector<ReportBytes> written;
    std::vector<Delivered> delivered;

private:
    std::span<const uint8_t> m_input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static std::unique_ptr<FuzzedBackend> kept;
    static unsigned runs = 0;
    if (runs++ % 10'000'000 == 0) // long before its handle numbers, which only grow, run over
        kept = std::make_unique<FuzzedBackend>();
    FuzzedBackend& backend = *kept;
    backend.Answer(data, size);
    // The caller's buffer before a transaction, so that any write to it shows.
    const auto untouched = [](size_t i) { return uint8_t(0x5A + 37 * i); };
    CHidCmd channel(backend);
    uint32_t pause = 0;
    channel.SetPauseFunction([&](uint32_t ms) { pause = ms; });
    Require(bool(channel.Transport().Open()), "the fuzzed device opens");
    while (!backend.Exhausted()) {
        std::vector<uint8_t> payload(backend.Next() % 66);
        std::vector<uint8_t> response(backend.Next() % 80); // on the heap: a write past it shows
        const uint8_t options = backend.Next();
        std::ranges::generate(payload, [&] { return backend.Next(); });
        std::ranges::generate(response, [&, i = size_t(0)]() mutable { return untouched(i++); });
        backend.written.clear();
        backend.delivered.clear();
        pause = 0;
        const uint8_t before = channel.Sequence();
        const std::optional<size_t> result =
            channel.Execute(payload, response, options & 2 ? 0 : 1000, options & 1 ? 1000 : 0);
        const bool answered = result.has_value();
        const size_t stored = result.value_or(0);
        const uint8_t sequence = channel.Sequence();
        const auto& in = backend.delivered;

        if (payload.empty() || payload.size() > CHidCmd::kMaxPayload) {
            Require(!answered && backend.written.empty() && in.empty() && pause == 0,
                    "an unsendable payload is not sent");
            Require(sequence == before, "an unsendable payload takes no sequence number");
        } else {
            Require(backend.written.size() == 1, "one command report per transaction");
            Require(sequence == ((before + 1) & 0x7F),
                    "sequence numbers advance by one, in 7 bits");
            const ReportBytes& out = backend.written.front();
            Require(out[0] == 0 && out[1] == sequence && out[2] == payload.size(),
                    "report ID, sequence, length");
            Require(std::equal(payload.begin(), payload.end(), out.begin() + 3),
                    "payload framed as given");
            Require(pause == (options & 1 ? 1000u : 0u), "the flash pause is taken as asked");
        }
        const auto broken = std::ranges::find_if(in, &Delivered::Broken);
        Require(broken == in.end() || (!answered && broken + 1 == in.end()),
                "a report claiming more than the buffer ends the transaction unanswered");
        const auto answer = std::find_if(in.begin(), in.end(), [&](const Delivered& d) {
            return d.claimed >= 3 && !d.Broken() && (d.bytes[1] & 0x7F) == sequence;
        });
        if (answered) {
            Require(answer != in.end() && answer + 1 == in.end(),
                    "the answer is the first report with the sequence's low 7 bits");
            Require(
                stored == std::min<size_t>({answer->bytes[2], answer->filled - 3, response.size()}),
                "the payload is cut to the length byte, what was received and the capacity");
            Require(std::equal(response.begin(), response.begin() + long(stored),
                               answer->bytes.begin() + 3),
                    "the stored bytes are the answer's payload");
        } else {
            Require(answer == in.end(), "a report answering the command is never dropped");
        }
        for (size_t i = answered ? stored : 0; i < response.size(); ++i)
            Require(response[i] == untouched(i),
                    "the caller's buffer is untouched beyond what was stored");
    }
    channel.Transport().Close();
    Require(backend.OpenHandleCount() == 0, "closing lets go of every handle");
    return 0;
}
