#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "firmware/FirmwareImage.h"

// Intel HEX text to a flat image.
//
// Record: ':' count(1) address(2, big-endian) type(1) data(count) checksum(1), every byte as two
// hex digits, one record per line (lines end in CR LF, LF or CR; blank lines are skipped; a line
// longer than the longest record is refused). The checksum makes the byte sum of the record 0.
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

// limit: the largest image to make; the fuzzer gives a smaller one, so that its inputs stay quick
// to convert while they still reach the limit.
HexConversion ConvertHexToBin(std::span<const uint8_t> text, size_t limit = kMaxImageSize);

// The same conversion over a text handed over in pieces, so that a large file is never held whole.
class HexConverter {
public:
    // textSize: the whole text's length, if known, to size the image once.
    explicit HexConverter(size_t textSize = 0, size_t limit = kMaxImageSize);

    // Reads the records of the lines that piece completes and returns how many bytes it used;
    // the rest, an unfinished line, must come again at the front of the next piece. With last,
    // the piece is the end of the text and is read whole.
    size_t Feed(std::span<const uint8_t> piece, bool last);
    // An end-of-file record or an error ended the conversion: further text is not read.
    bool Done() const { return m_endOfFile || m_failed; }
    HexConversion Finish();

private:
    void ReadLines();
    void SkipLineEnd();
    const uint8_t* LineEnd(const uint8_t* from) const;
    bool ReadRecord();
    void Apply(uint8_t type, uint32_t address, std::span<const uint8_t> data);
    void Store(uint64_t start, std::span<const uint8_t> data);
    void Fail(std::string reason);

    size_t m_limit;
    const uint8_t* m_pos = nullptr;
    const uint8_t* m_end = nullptr;
    size_t m_line = 1;
    uint64_t m_base = 0;
    bool m_endOfFile = false;
    bool m_failed = false;
    std::string m_recordError; // set by a record that is shaped right but wrong
    HexError m_error;
    Image m_image;
};

} // namespace firmware
