#pragma once
#include <cstddef>
#include <cstdint>

// Every register of the extender that the program reads or writes, the bits and bytes it looks
// at and the register values it tells apart: the windows, the command line and the simulated
// extender all take them from here, so a register moved in the firmware is one edit. How values
// read in words and where the page draws its bands are the pages' own.
namespace regs {

// A register is addressed by its group and its number, sent as {group, number, check}; of its
// answer the program keeps dataBytes.
struct Register {
    uint8_t group;
    uint8_t number;
    uint8_t dataBytes = 1;
    friend constexpr bool operator==(Register a, Register b)
    {
        return a.group == b.group && a.number == b.number;
    }
};

// Group 1: identification, mode, signal lines, cable length, pair levels and bit error rate of
// both ends of the link. Group 2: the link state and the video sources.
inline constexpr uint8_t kStatusGroup1 = 0x01;
inline constexpr uint8_t kStatusGroup2 = 0x02;

inline constexpr Register kLocalIdentification{kStatusGroup1, 0x01};
inline constexpr Register kLocalMode{kStatusGroup1, 0x04};
inline constexpr Register kRemoteIdentification{kStatusGroup1, 0x05};
inline constexpr Register kRemoteMode{kStatusGroup1, 0x08};
inline constexpr Register kPairLevels{kStatusGroup1, 0x09, 4}; // data bytes 0..3: pairs A..D
inline constexpr Register kLocalSignals{kStatusGroup1, 0x0B};
inline constexpr Register kLocalCableLength{kStatusGroup1, 0x0C, 4};
inline constexpr Register kStartupBitErrorLevel{kStatusGroup1, 0x0E}; // shown when a window opens
inline constexpr Register kRemoteSignals{kStatusGroup1, 0x11};
inline constexpr Register kRemoteCableLength{kStatusGroup1, 0x12, 4};
inline constexpr Register kBitErrorLevel{kStatusGroup1, 0x14}; // shown while polling
inline constexpr Register kLinkState{kStatusGroup2, 0x01};
inline constexpr Register kLocalSource{kStatusGroup2, 0x02};
inline constexpr Register kRemoteSource{kStatusGroup2, 0x04};

// The connect check, also sent through the register read; a unit that is there answers it with
// this byte after the status.
inline constexpr Register kConnectCheck{0xAA, 0x01};
inline constexpr uint8_t kConnectedAnswer = 0x01;
// Written with the setting byte after the check byte; never read back.
inline constexpr Register kFailSafeSetting{0x05, 0x01};

// The byte of each cable length register that holds the length in metres.
inline constexpr size_t kCableLengthByte = 3;
// A cable length beyond what the chip can measure.
inline constexpr uint8_t kCableOutOfRange = 255;

// Signal line bits of data byte 0. The two ends do not put HPD on the same bit.
inline constexpr uint8_t kLocalFiveVoltBit = 0x04;
inline constexpr uint8_t kLocalHpdBit = 0x01;
inline constexpr uint8_t kRemoteFiveVoltBit = 0x04;
inline constexpr uint8_t kRemoteHpdBit = 0x08;

// Modes that the program and the demo tell apart, out of the chips' mode table.
inline constexpr uint8_t kModeHdbt = 7;
inline constexpr uint8_t kModeDisconnect = 8;

// Video source types; 3 is no source as well, but a burn-in sample counts it as good.
inline constexpr uint8_t kSourceNone = 0;
inline constexpr uint8_t kSourceDvi = 1;  // HDMI without HDCP, or DVI
inline constexpr uint8_t kSourceHdcp = 2; // HDMI with HDCP
inline constexpr uint8_t kSourceLastGood = 3;

// Link states 1 to 4 mean the link is up.
inline constexpr uint8_t kLinkUpFirst = 1;
inline constexpr uint8_t kLinkUpLast = 4;

// Bit error rate levels: this and above is clean, the marginal level just below, lower is bad.
inline constexpr uint8_t kBitErrorClean = 9;
inline constexpr uint8_t kBitErrorMarginal = 8;

} // namespace regs
