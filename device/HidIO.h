#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/HidBackend.h"

// The HID transport: finds the extender's local unit by its vendor and product ID, opens it once
// for reading and once for writing, and moves single 65-byte reports with bounded waits. It knows
// nothing of the command frame.
class CHidIO {
public:
    static constexpr size_t kReportSize = 65;
    static constexpr int kWriteWaitMs = 1000;
    static constexpr size_t kMaxPathLength = 260;

    explicit CHidIO(IHidBackend& backend);
    virtual ~CHidIO();
    CHidIO(const CHidIO&) = delete;
    CHidIO& operator=(const CHidIO&) = delete;

    struct Unit {
        std::string path;
        HidAttributes attributes;
        // Another extender present tells the same serial number: only where each is plugged in
        // tells them apart.
        bool serialShared = false;

        // How the user is shown the unit: its serial number, so that it is the same unit in any
        // port; "SERIAL at PATH" where another unit tells the same serial; its path where it tells
        // none.
        std::string Identity() const;
    };
    // The extenders present, in enumeration order: the extender's vendor and product ID, a path
    // that fits the path buffer.
    static std::vector<Unit> Extenders(IHidBackend& backend);
    IHidBackend& Backend() { return m_backend; }

    // How opening went; true when the unit was opened.
    struct Opening {
        enum class Result { Opened, NotFound, InUse, Failed };
        Result result = Result::NotFound;
        std::string path = {};      // the unit looked at, or the path asked for
        std::string holder = {};    // InUse: the program holding the unit, when it can be known
        std::error_code error = {}; // Failed: the system's cause, when it is known
        explicit operator bool() const { return result == Result::Opened; }
        // What the user is told: "/dev/hidraw3 is in use by torvanreader-cli (process 1234)".
        std::string Why() const;
        // What to do about it, where the user can: a node that may not be opened is for the udev
        // rule or a login at the PC. Empty otherwise.
        std::string Advice() const;
    };
    // Closes what is open, then opens the first extender in enumeration order, or the one at path
    // when it is given. The unit is held for this program before anything is sent to it; one that
    // another program holds is left alone. The back end checks that the node opened is still the
    // extender found there: one that is not fails with "No such device".
    Opening Open(const std::string& path = {});
    // The unit is let go of once nothing this program wrote to it can still go out: a write stuck
    // in the back end keeps the claim until it has returned.
    void Close();
    bool IsOpen() const;
    // The unit opened last, while it is open: its path and what it says of itself, so that what is
    // kept of a unit is kept by its serial number rather than by a node name that changes.
    const Unit* Opened() const { return IsOpen() ? &m_opened : nullptr; }

    // Writes the 65 bytes of report; a short write is a failed write. A write that does not
    // complete within the write wait fails, and so do the reads after it at once: nothing went out
    // that could be answered. The unit is slow, not gone: the next write goes out as usual once
    // the stuck one has ended.
    bool WriteReport(const uint8_t* report, uint32_t* written = nullptr);
    // Reads one report into the 65-byte buffer, waiting at most timeoutMs. A back end that
    // claims more bytes than the buffer holds fails the read.
    bool ReadReport(uint8_t* report, uint32_t* read, uint32_t timeoutMs);
    // The cause of the last transfer that failed with an error since the last write began: why
    // the unit did not answer (pulled out, say); none when it only waited out its time.
    std::error_code TransferError() const { return m_transferError; }
    // Tests shorten the write wait; the product always waits kWriteWaitMs.
    void SetWriteWait(int ms) { m_writeWaitMs = ms; }

private:
    IHidBackend& m_backend;
    HidHandle m_readHandle = kInvalidHidHandle;
    HidHandle m_writeHandle = kInvalidHidHandle;
    HidHandle m_claim = kInvalidHidHandle;
    Unit m_opened;
    int m_writeWaitMs = kWriteWaitMs;
    bool m_writeStuck = false;
    std::error_code m_transferError;
};
