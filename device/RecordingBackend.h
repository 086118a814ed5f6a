#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "device/HidBackend.h"

// Wraps any back end and keeps every report written and read, with its time, for tests, the demo
// and bug reports. Only the newest `capacity` reports are kept, so a long run stays bounded.
class RecordingBackend : public IHidBackend {
public:
    enum class Direction { Out, In };
    struct Record {
        std::chrono::steady_clock::time_point time;
        Direction direction;
        std::vector<uint8_t> bytes;

        // The command or response payload, after report ID, sequence and length.
        std::vector<uint8_t> Payload() const;
    };

    explicit RecordingBackend(IHidBackend& inner, size_t capacity = 100000);

    std::vector<Record> Records() const;
    // Payloads of the reports written, oldest first: the commands as the device saw them.
    std::vector<std::vector<uint8_t>> CommandPayloads() const;
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
    void Keep(Direction direction, const uint8_t* bytes, int count,
              std::chrono::steady_clock::time_point time = std::chrono::steady_clock::now());

    IHidBackend& m_inner;
    const size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<Record> m_records;
};
