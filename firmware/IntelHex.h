#pragma once
#include <cstddef>
#include <span>
#include <string>

#include "firmware/FirmwareImage.h"

// Intel HEX text to a flat image.
//
// Record: ':' count(1) address(2, big-endian) type(1) data(count) checksum(1), every byte as two
// hex digits, one record per line (lines end in CR LF, LF or CR; blank lines are skipped). The
// checksum makes the byte sum of the record 0.
//
// The image begins at address 0: gaps and anything below the first record stay 0x00, and its
// size is the end of the highest data record. Type 00 data (a record at a 16-bit address of
// 0xFFF8 or above is checked but not stored), 01 end of file (the rest of the text is not read),
// 02 and 04 set the one base address (segment x 16, linear x 65536), 03 and 05 start addresses
// are ignored. A later record over an earlier address wins; a text without an end-of-file record
// ends where the text ends.
namespace firmware {

struct HexError {
    size_t line = 0; // 1-based
    std::string reason;
};

struct HexConversion {
    bool ok = false;
    Image image;    // when ok
    HexError error; // when not ok
};

HexConversion ConvertHexToBin(std::span<const uint8_t> text);

} // namespace firmware
