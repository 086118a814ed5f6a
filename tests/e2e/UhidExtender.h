#pragma once
#include <atomic>
#include <mutex>
#include <thread>

#include "device/sim/SimDeviceModel.h"

// A virtual extender made with the kernel's /dev/uhid: a HID device with the extender's vendor and
// product ID and vendor-defined 64-byte input and output reports without report IDs. It answers
// the command catalogue with SimDeviceModel, so the kernel's hidraw driver and hidapi stand between
// the tool and the same device the simulated tests use.
class UhidExtender {
public:
    UhidExtender();
    ~UhidExtender();
    UhidExtender(const UhidExtender&) = delete;
    UhidExtender& operator=(const UhidExtender&) = delete;

    // Plugs the device in (creates it); false when /dev/uhid cannot be used.
    bool Plug();
    // Unplugs it (destroys it); the hidraw node goes away.
    void Unplug();

    template <typename Fn>
    auto WithModel(Fn fn)
    {
        std::lock_guard lock(m_mutex);
        return fn(m_model);
    }

private:
    void Serve();
    void Answer(const unsigned char* report, size_t size);

    int m_fd = -1;
    std::thread m_server;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    SimDeviceModel m_model;
};
