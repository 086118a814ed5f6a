#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "device/HidBackend.h"

class HidClass;
class UnitLock;

// The real back end on Windows: the HID class's interfaces found by the device-setup walk, each
// unit opened twice (reading, writing) with overlapped I/O, so that every transfer waits on an
// event for at most its time-out, its cancel included: a transfer that has not ended by then is
// cancelled within that time. Each handle reads and writes through a buffer of its own, of the
// report length the unit's capabilities give: a transfer that is still under way when its wait
// ends never touches the caller's report afterwards. A unit whose reports are not the extender's
// 65 bytes is not opened. A read handle keeps a read posted from its opening on, so that a report
// never arrives while none is. A unit is held by a named mutex (UnitLock) named from its device
// instance ID, which outlives every transfer on the unit: closed while the driver has not yet
// ended one, the handle and the unit's hold are let go of once it has ended, so that no other
// program takes the unit while our report may still go out. A handle opened is checked to be on
// an extender.
class WinHidBackend : public IHidBackend {
public:
    explicit WinHidBackend(const HidClass& hidClass);
    WinHidBackend();
    ~WinHidBackend() override;
    WinHidBackend(const WinHidBackend&) = delete;
    WinHidBackend& operator=(const WinHidBackend&) = delete;

    std::string Name() const override { return "Windows' HID class services"; }
    std::vector<std::string> EnumeratePaths() override;
    bool ReadAttributes(const std::string& path, HidAttributes& out) override;
    HidClaim Claim(const std::string& path) override;
    HidOpened Open(const std::string& path, HidAccess access) override;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override;
    void Cancel(HidHandle handle) override;
    void Close(HidHandle handle) override;

    struct Port; // one open handle: the file, its event, its transfer under way

private:
    struct Hold {
        std::string path;
        std::shared_ptr<UnitLock> lock; // shared with the ports opened on the unit
    };
    Port* Find(HidHandle handle);

    const HidClass& m_class;
    std::mutex m_mutex; // guards the maps, never held during a transfer
    std::map<HidHandle, std::unique_ptr<Port>> m_ports;
    std::map<HidHandle, Hold> m_locks;
    HidHandle m_nextHandle = 1;
};
