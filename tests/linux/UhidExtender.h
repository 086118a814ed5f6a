#pragma once
// A virtual extender made with /dev/uhid: the kernel's hidraw driver offers it as a node like a
// unit on USB. It answers as the simulated extender's model and records the wire it was sent.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <QByteArray>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "device/DeviceIds.h"
#include "device/sim/SimDeviceModel.h"

// A HID device with the extender's IDs and vendor-defined 64-byte reports without report IDs.
class UhidExtender {
public:
    // One output report as the unit received it: sequence, length and payload, and when.
    struct Sent {
        QByteArray frame;
        std::chrono::steady_clock::time_point at;
    };

    SimDeviceModel model; // touched by the test only while no command is under way

    ~UhidExtender() { Unplug(); }
    bool Plug(const char* serial = "E2E0001", uint16_t product = kTorvanProductId)
    {
        const uint8_t descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                                      0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                                      0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};
        uhid_event event{.type = UHID_CREATE2, .u = {}};
        std::strcpy(reinterpret_cast<char*>(event.u.create2.name), "Virtual HDBaseT extender");
        std::strcpy(reinterpret_cast<char*>(event.u.create2.uniq), serial); // the USB serial
        std::memcpy(event.u.create2.rd_data, descriptor, sizeof descriptor);
        event.u.create2.rd_size = sizeof descriptor;
        event.u.create2.bus = BUS_USB;
        event.u.create2.vendor = kTorvanVendorId;
        event.u.create2.product = product;
        m_fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
        if (m_fd < 0 || write(m_fd, &event, sizeof event) != sizeof event)
            return false;
        m_stop = false;
        m_server = std::thread([this] { Serve(); });
        return true;
    }
    void Unplug()
    {
        if (m_fd < 0)
            return;
        m_stop = true;
        m_server.join();
        close(m_fd); // the device goes with its file descriptor
        m_fd = -1;
    }
    // What the unit was sent since the last call.
    std::vector<Sent> TakeWire()
    {
        std::lock_guard lock(m_wireMutex);
        return std::exchange(m_wire, {});
    }

private:
    // hidraw hands over the report number (0), then @1 sequence @2 length @3.. payload.
    void Serve()
    {
        pollfd waiting{m_fd, POLLIN, 0};
        uhid_event event{};
        while (!m_stop) {
            if (poll(&waiting, 1, 10) <= 0 || read(m_fd, &event, sizeof event) <= 0
                || event.type != UHID_OUTPUT || event.u.output.size < 4)
                continue;
            const uint8_t* report = event.u.output.data;
            const size_t length = std::min<size_t>(report[2], event.u.output.size - 3);
            {
                std::lock_guard lock(m_wireMutex);
                m_wire.push_back(
                    {QByteArray(reinterpret_cast<const char*>(report + 1), qsizetype(length + 2)),
                     std::chrono::steady_clock::now()});
            }
            const auto answer = model.Answer({report + 3, length});
            uhid_event input{.type = UHID_INPUT2, .u = {}};
            input.u.input2.size = 64;
            input.u.input2.data[0] = report[1];
            input.u.input2.data[1] = uint8_t(std::min<size_t>(answer.size(), 62));
            std::copy_n(answer.begin(), input.u.input2.data[1], input.u.input2.data + 2);
            // An answer that cannot be written is missed by the program, as a lost report is.
            [[maybe_unused]] const ssize_t written = write(m_fd, &input, sizeof input);
        }
    }
    int m_fd = -1;
    std::thread m_server;
    std::atomic<bool> m_stop{false};
    std::mutex m_wireMutex;
    std::vector<Sent> m_wire;
};
