#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/HidBackend.h"

// Wraps any back end and keeps every report written and read, with its time and its unit's path,
// for tests, the demo and bug reports. Only the newest `capacity` reports are kept, so a long run
// stays bounded. Several units may be used through it at once, each from a thread of its own.
class RecordingBackend : public IHidBackend {
public:
    enum class Direction { Out, In };
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    struct Record {
        std::chrono::steady_clock::time_point time;
        Direction direction;
        std::vector<uint8_t> bytes;
        std::string path; // the unit the handle was opened on

        // The command or response payload, after report ID, sequence and length.
        std::vector<uint8_t> Payload() const;
    };

    explicit RecordingBackend(IHidBackend& inner, size_t capacity = 100000);

    // Where the time of each report is read: the steady clock, or a test's fake time, which may be
    // a clock of each thread's own.
    void SetClock(Clock clock) { m_clock = std::move(clock); }

    std::vector<Record> Records() const;
    // Payloads of the reports written, oldest first: the commands as the device saw them; those
    // to the unit at path alone when it is given.
    std::vector<std::vector<uint8_t>> CommandPayloads(const std::string& path = {}) const;
    void Clear();

    std::string Name() const override { return m_inner.Name(); }
    std::vector<std::string> EnumeratePaths() override;
    bool ReadAttributes(const std::string& path, HidAttributes& out) override;
    HidClaim Claim(const std::string& path) override { return m_inner.Claim(path); }
    HidOpened Open(const std::string& path, HidAccess access) override;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override;
    void Cancel(HidHandle handle) override;
    void Close(HidHandle handle) override;

private:
    void Keep(HidHandle handle, Direction direction, const uint8_t* bytes, int count,
              std::chrono::steady_clock::time_point time);

    IHidBackend& m_inner;
    const size_t m_capacity;
    Clock m_clock = std::chrono::steady_clock::now;
    mutable std::mutex m_mutex;
    std::deque<Record> m_records;
    std::map<HidHandle, std::string> m_paths; // of the handles open
};
