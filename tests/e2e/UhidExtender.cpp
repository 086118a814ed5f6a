#include "UhidExtender.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/DeviceIds.h"

namespace {

// Vendor-defined page, one application collection, 64 bytes in and 64 bytes out, no report IDs.
constexpr unsigned char kReportDescriptor[] = {
    0x06, 0x00, 0xFF, // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,       // Usage (1)
    0xA1, 0x01,       // Collection (Application)
    0x15, 0x00,       //   Logical Minimum (0)
    0x26, 0xFF, 0x00, //   Logical Maximum (255)
    0x75, 0x08,       //   Report Size (8)
    0x95, 0x40,       //   Report Count (64)
    0x09, 0x01,       //   Usage (1)
    0x81, 0x02,       //   Input (Data, Variable, Absolute)
    0x95, 0x40,       //   Report Count (64)
    0x09, 0x01,       //   Usage (1)
    0x91, 0x02,       //   Output (Data, Variable, Absolute)
    0xC0,             // End Collection
};

bool Send(int fd, const uhid_event& event)
{
    return write(fd, &event, sizeof(event)) == static_cast<ssize_t>(sizeof(event));
}

} // namespace

UhidExtender::UhidExtender() = default;

UhidExtender::~UhidExtender()
{
    Unplug();
}

bool UhidExtender::Plug()
{
    m_fd = open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        return false;
    uhid_event event{};
    event.type = UHID_CREATE2;
    std::strcpy(reinterpret_cast<char*>(event.u.create2.name), "Virtual HDBaseT extender");
    std::memcpy(event.u.create2.rd_data, kReportDescriptor, sizeof(kReportDescriptor));
    event.u.create2.rd_size = sizeof(kReportDescriptor);
    event.u.create2.bus = BUS_USB;
    event.u.create2.vendor = kTorvanVendorId;
    event.u.create2.product = kTorvanProductId;
    if (!Send(m_fd, event)) {
        close(m_fd);
        m_fd = -1;
        return false;
    }
    m_stop = false;
    m_server = std::thread(&UhidExtender::Serve, this);
    return true;
}

void UhidExtender::Unplug()
{
    if (m_fd < 0)
        return;
    m_stop = true;
    m_server.join();
    uhid_event event{};
    event.type = UHID_DESTROY;
    Send(m_fd, event);
    close(m_fd);
    m_fd = -1;
}

void UhidExtender::Serve()
{
    pollfd waiting{m_fd, POLLIN, 0};
    while (!m_stop) {
        if (poll(&waiting, 1, 10) <= 0)
            continue;
        uhid_event event{};
        if (read(m_fd, &event, sizeof(event)) <= 0)
            continue;
        if (event.type == UHID_OUTPUT)
            Answer(event.u.output.data, event.u.output.size);
    }
}

void UhidExtender::Answer(const unsigned char* report, size_t size)
{
    // hidraw hands over the report number byte (0) first, then the 64 report bytes:
    // @1 sequence  @2 payload length  @3.. payload.
    if (size < 4)
        return;
    const size_t length = std::min<size_t>(report[2], size - 3);
    std::vector<uint8_t> answer;
    {
        std::lock_guard lock(m_mutex);
        answer = m_model.Answer({report + 3, length});
    }
    uhid_event event{};
    event.type = UHID_INPUT2;
    auto& input = event.u.input2;
    input.size = 64;
    input.data[0] = report[1];
    input.data[1] = static_cast<uint8_t>(std::min<size_t>(answer.size(), 62));
    std::copy_n(answer.begin(), input.data[1], input.data + 2);
    Send(m_fd, event);
}
