#pragma once
#include <algorithm>
#include <cstdint>
#include <numeric>
#include <span>
#include <string>
#include <vector>

// Intel HEX text as common tools write it, for the tests, the fuzzer and the benchmarks to feed
// the converter. Kept apart from the tool, which only reads HEX.
namespace hextext {

inline std::string Record(uint8_t type, uint16_t address, std::span<const uint8_t> data,
                          const std::string& lineEnd = "\r\n")
{
    std::vector<uint8_t> bytes{uint8_t(data.size()), uint8_t(address >> 8), uint8_t(address), type};
    bytes.insert(bytes.end(), data.begin(), data.end());
    bytes.push_back(uint8_t(-std::accumulate(bytes.begin(), bytes.end(), 0)));
    std::string line = ":";
    for (uint8_t byte : bytes)
        line += {"0123456789ABCDEF"[byte >> 4], "0123456789ABCDEF"[byte & 15]};
    return line + lineEnd;
}

// image in records of 32 bytes, an extended linear address record before each 64 KiB segment
// above the first, then the end record.
inline std::string Write(std::span<const uint8_t> image, const std::string& lineEnd = "\r\n")
{
    std::string text;
    for (size_t offset = 0; offset < image.size(); offset += 32) {
        if (offset > 0 && offset % 0x10000 == 0) {
            const uint8_t upper[2]{uint8_t(offset >> 24), uint8_t(offset >> 16)};
            text += Record(0x04, 0, upper, lineEnd);
        }
        const size_t count = std::min<size_t>(32, image.size() - offset);
        text += Record(0x00, uint16_t(offset), image.subspan(offset, count), lineEnd);
    }
    return text + Record(0x01, 0, {}, lineEnd);
}

} // namespace hextext
