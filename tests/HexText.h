#pragma once
#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

// Intel HEX text as common tools write it, for the tests, the fuzzer and the benchmarks to feed
// the converter. Kept apart from the tool, which only reads HEX.
namespace hextext {

// Appends one record to text, written in place: the fuzzer's round trip writes up to a megabyte.
inline void Record(std::string& text, uint8_t type, uint16_t address, std::span<const uint8_t> data,
                   const std::string& lineEnd = "\r\n")
{
    uint8_t sum = 0;
    const auto put = [&](uint8_t byte) {
        sum = uint8_t(sum + byte);
        text += "0123456789ABCDEF"[byte >> 4];
        text += "0123456789ABCDEF"[byte & 15];
    };
    text += ':';
    for (uint8_t byte : {uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type})
        put(byte);
    std::ranges::for_each(data, put);
    put(uint8_t(-sum));
    text += lineEnd;
}

// image in records of 32 bytes, an extended linear address record before each 64 KiB segment
// above the first, then the end record.
inline std::string Write(std::span<const uint8_t> image, const std::string& lineEnd = "\r\n")
{
    std::string text;
    for (size_t offset = 0; offset < image.size(); offset += 32) {
        const uint8_t upper[2]{uint8_t(offset >> 24), uint8_t(offset >> 16)};
        if (offset > 0 && offset % 0x10000 == 0)
            Record(text, 0x04, 0, upper, lineEnd);
        const size_t count = std::min<size_t>(32, image.size() - offset);
        Record(text, 0x00, uint16_t(offset), image.subspan(offset, count), lineEnd);
    }
    Record(text, 0x01, 0, {}, lineEnd);
    return text;
}

} // namespace hextext
