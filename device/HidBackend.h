#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

// The few operations the transport needs from a platform's HID stack. The platform's back end
// (hidapi over hidraw on Linux, the HID class services on Windows), the simulated extender and the
// recording wrapper all sit behind it, so everything above runs the same transport code whatever
// is below. Failures carry the system's own error (errno, GetLastError) as a std::error_code, so
// that the user is told the system's words for it.

using HidHandle = int;
inline constexpr HidHandle kInvalidHidHandle = -1;

struct HidAttributes {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // What the unit says of itself, for telling several apart; empty where it says nothing.
    std::string serial = {};
    std::string manufacturer = {};
    std::string product = {};
};

enum class HidAccess { Read, Write };

// A program's hold on a unit, taken before its first byte goes out: hidraw hands every answer to
// every open handle, so two programs on one unit would take each other's answers for their own.
struct HidClaim {
    HidHandle handle = kInvalidHidHandle; // released with Close
    std::error_code error = {};           // why it was not taken
    // The program holding it, "torvanreader-cli (process 1234)", when it can be known.
    std::string holder = {};

    // Not taken because another program holds the unit, rather than for a fault.
    static std::error_code HeldByAnother()
    {
        return std::make_error_code(std::errc::resource_unavailable_try_again);
    }
    bool Held() const { return error == std::errc::resource_unavailable_try_again; }
};

// A handle opened, or why the path could not be opened.
struct HidOpened {
    HidHandle handle = kInvalidHidHandle;
    std::error_code error = {};
};

// How one transfer went: the bytes moved, 0 when the wait ran out (for a write also: an earlier
// write is still under way), -1 on an error (a closed handle, an unplugged device) with its cause.
struct HidTransfer {
    int moved = 0;
    std::error_code error = {};
};

class IHidBackend {
public:
    virtual ~IHidBackend() = default;

    // What the units are reached through, as a support report names it: the platform's HID stack
    // with its version where it tells one, or the simulated extender.
    virtual std::string Name() const = 0;
    // Paths of the HID interfaces present now, in enumeration order.
    virtual std::vector<std::string> EnumeratePaths() = 0;
    // False when the attributes of the path cannot be read.
    virtual bool ReadAttributes(const std::string& path, HidAttributes& out) = 0;
    // Holds the unit at path for this program alone until its handle is closed; the system lets go
    // of it when the program ends however it ends.
    virtual HidClaim Claim(const std::string& path) = 0;
    virtual HidOpened Open(const std::string& path, HidAccess access) = 0;
    // Write and Read move one report each. Reports are 65 bytes with the report ID in byte 0 in
    // both directions.
    virtual HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                              int timeoutMs) = 0;
    virtual HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) = 0;
    // Abandons I/O under way on the handle.
    virtual void Cancel(HidHandle handle) = 0;
    virtual void Close(HidHandle handle) = 0;
};
