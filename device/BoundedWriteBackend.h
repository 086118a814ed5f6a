#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "device/HidBackend.h"

// Keeps the write wait of a back end whose writes block: hidraw's write returns only once the
// kernel has sent the report, which takes up to five seconds when the extender stops taking them.
// Each write handle gets a thread that makes its writes; the caller waits at most the write's
// time-out and is told 0 (the wait ran out) when it did not complete. A write still under way
// stays with its thread, which closes the handle once the write returns: nothing ever waits for
// it, not even closing. Once it has returned, the handle's next write goes out as usual. The
// unit's claim outlives every such write: closed while one is stuck, it is let go of only once
// the write has returned, so that no other program takes the unit while our report still goes
// out to it. Several units may be used at once, each from a thread of its own.
class BoundedWriteBackend : public IHidBackend {
public:
    explicit BoundedWriteBackend(std::shared_ptr<IHidBackend> inner);
    ~BoundedWriteBackend() override;
    BoundedWriteBackend(const BoundedWriteBackend&) = delete;
    BoundedWriteBackend& operator=(const BoundedWriteBackend&) = delete;

    std::string Name() const override { return m_inner->Name(); }
    std::vector<std::string> EnumeratePaths() override { return m_inner->EnumeratePaths(); }
    bool ReadAttributes(const std::string& path, HidAttributes& out) override
    {
        return m_inner->ReadAttributes(path, out);
    }
    HidClaim Claim(const std::string& path) override;
    HidOpened Open(const std::string& path, HidAccess access) override;
    // 0 at once while an earlier write on the handle is still under way: the unit is slow, not
    // gone, and a write that failed there stays apart from one the device refused.
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override
    {
        return m_inner->Read(handle, report, capacity, timeoutMs);
    }
    void Cancel(HidHandle handle) override { m_inner->Cancel(handle); }
    void Close(HidHandle handle) override;

    // Whether a write is still under way on some handle: a test that stalled one waits for this
    // rather than for a time, as the handle takes its next write only once it has ended.
    bool WriteUnderWay();

private:
    struct Hold;
    struct Writer;
    // The handle's writer, started with its first write.
    std::shared_ptr<Writer> WriterOf(HidHandle handle);
    static void RunWriter(const std::shared_ptr<Writer>& writer,
                          const std::shared_ptr<IHidBackend>& inner, HidHandle handle);

    // The back end is shared with the writers, which may outlive this object.
    std::shared_ptr<IHidBackend> m_inner;
    std::mutex m_mutex; // guards the maps, never held while a write is waited for
    std::map<HidHandle, std::shared_ptr<Writer>> m_writers;
    std::map<HidHandle, std::shared_ptr<Hold>> m_claims; // by the claim's handle
    std::map<HidHandle, std::shared_ptr<Hold>> m_holds;  // the claim of each open handle's unit
};
