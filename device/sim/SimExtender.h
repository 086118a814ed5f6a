#pragma once
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "device/HidBackend.h"
#include "device/sim/SimDeviceModel.h"
#include "device/sim/SimPlugs.h"

// How the simulated extender misbehaves. The faults apply to every command the filter picks until
// changed: by default each command, so that one step of a sequence can fail while the others pass.
struct SimFaults {
    bool refuse = false;      // answer with status 0x55 in place of 0xAA
    bool silent = false;      // never answer
    int latencyMs = 0;        // the answer becomes readable this long after the command
    int staleBefore = 0;      // reports with other sequence numbers queued before the answer
    bool setBit7 = false;     // the answer's sequence byte carries bit 7
    bool shortReport = false; // a 2-byte report arrives before the answer
    bool unplug = false;      // the device is pulled out as the command arrives: no answer
    int writeStallMs = 0;     // the command's write blocks this long before it is taken

    // The filter: commands whose payload starts with these bytes (all when empty), and of those
    // only the onlyNth one, counted from 1 since SetFaults (every one when 0).
    std::vector<uint8_t> onlyPrefix{};
    int onlyNth = 0;
};

// The simulated extender, seen as a HID back end: it enumerates its local unit (and any foreign
// devices a test adds), takes command reports, and queues the answers of SimDeviceModel as input
// reports. Thread-safe, so that a scenario may change registers from a timer while a read waits.
class SimExtender : public IHidBackend {
public:
    static constexpr const char* kPath = "sim:extender";

    // A unit with its own path and serial number, so that several can stand side by side.
    explicit SimExtender(std::string path = kPath, std::string serial = "SIM0001");

    // Device state, under the lock: fn gets the model.
    template <typename Fn>
    auto WithModel(Fn fn)
    {
        std::lock_guard lock(m_mutex);
        return fn(m_model);
    }
    void SetRegister(uint8_t group, uint8_t reg, std::vector<uint8_t> data);
    std::vector<uint8_t> Flash(SimDeviceModel::Chip chip);

    void SetFaults(const SimFaults& faults);

    // Unplugging fails every open handle and hides the device; replugging shows it again, and it
    // must then be opened anew.
    void Unplug();
    void Replug();
    // Plugging and pulling are told to plugs from now on (none: nullptr); it must outlive this.
    void ReportPlugsTo(SimPlugs* plugs);
    // Devices enumerated before the extender: another product ID, or attributes that cannot be
    // read.
    void AddForeignDevice(uint16_t vendorId, uint16_t productId);
    void AddUnreadableDevice();
    // Opens fail as on a node the user may not open (permission denied); failing reads fails the
    // claim too.
    void FailOpen(HidAccess access, bool fail);

    int OpenHandleCount();

    // IHidBackend
    std::string Name() const override { return "the simulated extender"; }
    std::vector<std::string> EnumeratePaths() override;
    bool ReadAttributes(const std::string& path, HidAttributes& out) override;
    // One holder at a time, as hidraw's lock has it: a second one is told it is this program.
    // Unplugging lets go of it, as the node it was taken on goes away.
    HidClaim Claim(const std::string& path) override;
    HidOpened Open(const std::string& path, HidAccess access) override;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override;
    void Cancel(HidHandle handle) override;
    void Close(HidHandle handle) override;

private:
    using Clock = std::chrono::steady_clock;
    using Report = std::array<uint8_t, 65>;
    struct Pending {
        Clock::time_point due;
        Report bytes{};
        size_t length = 0;
    };
    struct ForeignDevice {
        std::string path;
        bool readable = true;
        HidAttributes attributes;
    };
    struct OpenHandle {
        HidHandle id;
        int plugGeneration;
    };

    bool HandleAlive(HidHandle handle) const;
    SimFaults FaultsForThisCommand(std::span<const uint8_t> payload);
    void UnplugLocked();
    void Queue(Clock::time_point due, uint8_t sequence, const std::vector<uint8_t>& payload);
    void QueueShort(Clock::time_point due, uint8_t sequence);

    const std::string m_path;
    const std::string m_serial;
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    SimDeviceModel m_model;
    std::deque<Pending> m_input;
    std::vector<ForeignDevice> m_foreign;
    std::vector<OpenHandle> m_handles;
    OpenHandle m_claim{kInvalidHidHandle, 0};
    HidHandle m_nextHandle = 1;
    bool m_present = true;
    SimPlugs* m_plugs = nullptr;
    int m_plugGeneration = 0;
    std::array<bool, 2> m_failOpen{};
    SimFaults m_faults;
    int m_filterMatches = 0;
};
