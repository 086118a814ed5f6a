#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

// Intel HEX text written the way common tools write it: what tests, the fuzzer and the benchmarks
// feed the converter. Kept apart from the tool, which only reads HEX.
namespace hextext {

inline std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data,
                          const std::string& lineEnd = "\r\n")
{
    std::string line = ":";
    char digits[3];
    uint8_t sum = 0;
    const auto put = [&](uint8_t value) {
        std::snprintf(digits, sizeof digits, "%02X", value);
        line += digits;
        sum = static_cast<uint8_t>(sum + value);
    };
    put(static_cast<uint8_t>(data.size()));
    put(static_cast<uint8_t>(address >> 8));
    put(static_cast<uint8_t>(address));
    put(type);
    for (uint8_t byte : data)
        put(byte);
    put(static_cast<uint8_t>(-sum));
    return line + lineEnd;
}

inline std::string LinearBase(uint16_t upper, const std::string& lineEnd = "\r\n")
{
    const uint8_t value[2]{static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)};
    return Record(0x04, 0, value, lineEnd);
}

inline std::string EndOfFile(const std::string& lineEnd = "\r\n")
{
    return Record(0x01, 0, {}, lineEnd);
}

// image placed at origin, in records of recordSize bytes that never cross a 64 KiB segment,
// with an extended linear address record before each segment above the first.
inline std::string Write(std::span<const uint8_t> image, size_t recordSize = 32,
                         uint32_t origin = 0, const std::string& lineEnd = "\r\n")
{
    std::string text;
    text.reserve(image.size() * 2 + image.size() / recordSize * 14 + 64);
    uint32_t segment = 0;
    for (size_t offset = 0; offset < image.size();) {
        const uint32_t address = origin + static_cast<uint32_t>(offset);
        if (address >> 16 != segment) {
            segment = address >> 16;
            text += LinearBase(static_cast<uint16_t>(segment), lineEnd);
        }
        const size_t toSegmentEnd = 0x10000 - (address & 0xFFFF);
        const size_t count = std::min({recordSize, image.size() - offset, toSegmentEnd});
        text += Record(0x00, static_cast<uint16_t>(address), image.subspan(offset, count), lineEnd);
        offset += count;
    }
    return text + EndOfFile(lineEnd);
}

} // namespace hextext
