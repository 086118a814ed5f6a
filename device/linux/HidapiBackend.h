#pragma once
#include <map>
#include <mutex>
#include <string>

#include "device/HidBackend.h"

struct hid_device_;

// The back end on Linux: hidapi over the kernel's hidraw driver. Its
// writes block until the kernel has sent the report, so the programs bound them with
// BoundedWriteBackend, whose writer threads may close a handle while the UI thread uses others.
class HidapiBackend : public IHidBackend {
public:
    HidapiBackend();
    ~HidapiBackend() override;
    HidapiBackend(const HidapiBackend&) = delete;
    HidapiBackend& operator=(const HidapiBackend&) = delete;

    std::string Name() const override;
    std::vector<std::string> EnumeratePaths() override;
    bool ReadAttributes(const std::string& path, HidAttributes& out) override;
    // An advisory flock on the node, through a descriptor of its own, so that the hidapi devices'
    // descriptors need no lock; exec'd children do not inherit it.
    HidClaim Claim(const std::string& path) override;
    // Refused with "No such device" unless the unit claimed at path is still there and the
    // handle is on the claimed node.
    HidOpened Open(const std::string& path, HidAccess access) override;
    HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                      int timeoutMs) override;
    HidTransfer Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs) override;
    void Cancel(HidHandle handle) override;
    void Close(HidHandle handle) override;

private:
    hid_device_* Find(HidHandle handle);

    std::mutex m_mutex; // guards the maps, never held during a transfer
    // Attributes as the last enumeration saw them: hidapi reports them with the path.
    std::map<std::string, HidAttributes> m_attributes;
    std::map<HidHandle, hid_device_*> m_devices;
    struct Lock {
        int fd;
        std::string path;
    };
    std::map<HidHandle, Lock> m_locks; // the claims' descriptors
    HidHandle m_nextHandle = 1;
};
