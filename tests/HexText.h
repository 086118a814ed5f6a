#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

// Intel HEX text as common tools write it, for the tests, the fuzzer and the benchmarks to feed
// the converter. Kept apart from the tool, which only reads HEX.
namespace hextext {

inline std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data,
                          const std::string& lineEnd = "\r\n")
{
    std::string line = ":";
    uint8_t sum = 0;
    const auto put = [&](uint8_t value) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", value);
        line += digits;
        sum = uint8_t(sum + value);
    };
    for (uint8_t byte : {uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type})
        put(byte);
    for (uint8_t byte : data)
        put(byte);
    put(uint8_t(-sum));
    return line + lineEnd;
}

inline std::string LinearBase(uint16_t upper, const std::string& lineEnd = "\r\n")
{
    const uint8_t value[2]{uint8_t(upper >> 8), uint8_t(upper)};
    return Record(0x04, 0, value, lineEnd);
}

// image placed at origin in records of recordSize bytes that never cross a 64 KiB segment, an
// extended linear address record before each segment above the first, then the end record.
inline std::string Write(std::span<const uint8_t> image, size_t recordSize = 32,
                         uint32_t origin = 0, const std::string& lineEnd = "\r\n")
{
    std::string text;
    text.reserve(image.size() * 2 + image.size() / recordSize * 14 + 64);
    for (size_t offset = 0, segment = 0; offset < image.size();) {
        const uint32_t address = origin + uint32_t(offset);
        if (address >> 16 != segment)
            text += LinearBase(uint16_t(segment = address >> 16), lineEnd);
        const size_t count =
            std::min({recordSize, image.size() - offset, size_t(0x10000 - (address & 0xFFFF))});
        text += Record(0x00, uint16_t(address), image.subspan(offset, count), lineEnd);
        offset += count;
    }
    return text + Record(0x01, 0, {}, lineEnd);
}

} // namespace hextext
