#include "firmware/IntelHex.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace firmware {
namespace {

constexpr uint8_t kNoDigit = 0x80;

constexpr std::array<uint8_t, 256> MakeDigitTable()
{
    std::array<uint8_t, 256> table{};
    table.fill(kNoDigit);
    for (int c = '0'; c <= '9'; ++c)
        table[c] = static_cast<uint8_t>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = static_cast<uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = static_cast<uint8_t>(c - 'A' + 10);
    return table;
}

constexpr std::array<uint8_t, 256> kDigit = MakeDigitTable();

// count, address high, address low, type, checksum
constexpr size_t kRecordOverhead = 5;
constexpr size_t kMaxDataBytes = 255;
// The longest line a sound record can fill; a longer one is refused at once, so that a file
// without line ends is never gathered up.
constexpr size_t kMaxLineLength = 1 + 2 * (kRecordOverhead + kMaxDataBytes);
// Data records at these 16-bit addresses are dropped: chips keep their own bytes there.
constexpr uint32_t kFirstDroppedAddress = 0xFFF8;

enum RecordType : uint8_t {
    kData = 0x00,
    kEndOfFile = 0x01,
    kSegmentAddress = 0x02,
    kStartSegment = 0x03,
    kLinearAddress = 0x04,
    kStartLinear = 0x05,
};

bool IsLineEnd(uint8_t c)
{
    return c == '\r' || c == '\n';
}

bool IsBlank(uint8_t c)
{
    return c == ' ' || c == '\t';
}

// Decodes count bytes from 2 x count hex digits at text; false if any is no hex digit.
bool DecodeBytes(const uint8_t* text, size_t count, uint8_t* out)
{
    uint8_t seen = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t high = kDigit[text[2 * i]];
        const uint8_t low = kDigit[text[2 * i + 1]];
        seen |= high | low;
        out[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return (seen & kNoDigit) == 0;
}

std::string Format(const char* format, unsigned a, unsigned b = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// Why the line [begin, end) is no sound record. Only called once the quick reading has failed.
std::string Diagnose(const uint8_t* begin, const uint8_t* end)
{
    if (*begin != ':')
        return "no ':' at the start";
    for (const uint8_t* c = begin + 1; c != end; ++c) {
        if (kDigit[*c] & kNoDigit) {
            if (*c >= 0x20 && *c < 0x7F)
                return Format("'%c' is no hex digit", *c);
            return Format("character 0x%02X is no hex digit", *c);
        }
    }
    const size_t digits = static_cast<size_t>(end - begin - 1);
    if (digits % 2 != 0)
        return "odd number of hex digits";
    if (digits / 2 < kRecordOverhead)
        return "record too short";
    uint8_t count = 0;
    DecodeBytes(begin + 1, 1, &count);
    return Format("byte count %u but %u data bytes", count,
                  static_cast<unsigned>(digits / 2 - kRecordOverhead));
}

std::string LineTooLong()
{
    return Format("line longer than %u characters, the longest record",
                  static_cast<unsigned>(kMaxLineLength));
}

} // namespace

HexConversion ConvertHexToBin(std::span<const uint8_t> text, size_t limit)
{
    HexConverter converter(text.size(), limit);
    converter.Feed(text, true);
    return converter.Finish();
}

HexConverter::HexConverter(size_t textSize, size_t limit) : m_limit(limit)
{
    // The data a text holds is at most half its length: a dense image never reallocates.
    m_image.reserve(std::min(limit, textSize / 2));
}

size_t HexConverter::Feed(std::span<const uint8_t> piece, bool last)
{
    const uint8_t* begin = piece.data();
    // A CR at the very end may be the first half of a CR LF: it waits with the line it ends,
    // and is no part of that line's length.
    const uint8_t* lineEnd = begin + piece.size();
    if (!last && lineEnd != begin && lineEnd[-1] == '\r')
        --lineEnd;
    const uint8_t* limit = lineEnd; // up to the last line end
    while (!last && limit != begin && !IsLineEnd(limit[-1]))
        --limit;
    if (!Done()) {
        m_pos = begin;
        m_end = limit;
        ReadLines();
    }
    if (!Done() && static_cast<size_t>(lineEnd - limit) > kMaxLineLength)
        Fail(LineTooLong());
    return Done() ? piece.size() : static_cast<size_t>(limit - begin);
}

HexConversion HexConverter::Finish()
{
    HexConversion result;
    result.ok = !m_failed;
    if (m_failed)
        result.error = std::move(m_error);
    else
        result.image = std::move(m_image);
    return result;
}

void HexConverter::ReadLines()
{
    while (m_pos != m_end) {
        if (IsLineEnd(*m_pos)) {
            SkipLineEnd();
            continue;
        }
        const uint8_t* lineStart = m_pos;
        if (static_cast<size_t>(LineEnd(lineStart) - lineStart) > kMaxLineLength)
            return Fail(LineTooLong());
        while (m_pos != m_end && IsBlank(*m_pos))
            ++m_pos;
        if (m_pos == m_end || IsLineEnd(*m_pos))
            continue; // a blank line
        m_pos = lineStart;
        if (!ReadRecord())
            return Fail(Diagnose(lineStart, LineEnd(lineStart)));
        if (!m_recordError.empty())
            return Fail(m_recordError);
        if (m_endOfFile)
            return;
    }
}

void HexConverter::SkipLineEnd()
{
    const bool cr = *m_pos == '\r';
    ++m_pos;
    if (cr && m_pos != m_end && *m_pos == '\n')
        ++m_pos;
    ++m_line;
}

const uint8_t* HexConverter::LineEnd(const uint8_t* from) const
{
    while (from != m_end && !IsLineEnd(*from))
        ++from;
    return from;
}

// Reads the record at m_pos and moves to its line end. False when the line is not shaped like a
// record (Diagnose tells why); a shaped record that is still wrong sets m_recordError.
bool HexConverter::ReadRecord()
{
    const size_t left = static_cast<size_t>(m_end - m_pos);
    if (left < 1 + 2 * kRecordOverhead || *m_pos != ':')
        return false;
    uint8_t count = 0;
    if (!DecodeBytes(m_pos + 1, 1, &count))
        return false;
    const size_t length = 1 + 2 * (kRecordOverhead + count);
    if (length > left || (length < left && !IsLineEnd(m_pos[length])))
        return false;

    std::array<uint8_t, kRecordOverhead + kMaxDataBytes> bytes;
    if (!DecodeBytes(m_pos + 1, kRecordOverhead + count, bytes.data()))
        return false;
    m_pos += length;

    uint8_t sum = 0;
    for (size_t i = 0; i < kRecordOverhead + count; ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    if (sum != 0) {
        const uint8_t stated = bytes[kRecordOverhead - 1 + count];
        const uint8_t computed = static_cast<uint8_t>(stated - sum);
        m_recordError = Format("checksum %02X, computed %02X", stated, computed);
        return true;
    }
    const uint32_t address = static_cast<uint32_t>(bytes[1]) << 8 | bytes[2];
    Apply(bytes[3], address, std::span(bytes).subspan(4, count));
    return true;
}

void HexConverter::Apply(uint8_t type, uint32_t address, std::span<const uint8_t> data)
{
    switch (type) {
    case kData:
        if (address < kFirstDroppedAddress)
            Store(m_base + address, data);
        return;
    case kEndOfFile: m_endOfFile = true; return;
    case kSegmentAddress:
    case kLinearAddress:
        if (data.size() != 2) {
            m_recordError =
                Format("address record of %u bytes, not 2", static_cast<unsigned>(data.size()));
            return;
        }
        m_base = (static_cast<uint64_t>(data[0]) << 8 | data[1])
                 << (type == kLinearAddress ? 16 : 4);
        return;
    case kStartSegment:
    case kStartLinear: return;
    default: m_recordError = Format("unknown record type %02X", type); return;
    }
}

void HexConverter::Store(uint64_t start, std::span<const uint8_t> data)
{
    const uint64_t end = start + data.size();
    if (end > m_limit) {
        constexpr size_t kMiB = 1024 * 1024;
        m_recordError =
            m_limit % kMiB == 0
                ? Format("data at 0x%X lies beyond the %u MiB limit", static_cast<unsigned>(start),
                         static_cast<unsigned>(m_limit / kMiB))
                : Format("data at 0x%X lies beyond the %u-byte limit", static_cast<unsigned>(start),
                         static_cast<unsigned>(m_limit));
        return;
    }
    if (end > m_image.size())
        m_image.resize(end);
    std::memcpy(m_image.data() + start, data.data(), data.size());
}

void HexConverter::Fail(std::string reason)
{
    m_failed = true;
    m_error = {m_line, std::move(reason)};
    m_image = Image();
}

} // namespace firmware
