// The real transport end to end: hidapi over the kernel's hidraw driver, talking to a virtual
// extender made with /dev/uhid that answers like the simulated one. Runs inside the guest that
// run-e2e.sh boots; elsewhere it skips.
#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "Rig.h"
#include "device/BoundedWriteBackend.h"
#include "device/CommandFrames.h"
#include "device/DeviceIds.h"
#include "device/StatusRegister.h"
#include "device/hidapi/HidapiBackend.h"

namespace {

// A HID device with the extender's IDs and vendor-defined 64-byte reports without report IDs.
class UhidExtender {
public:
    SimDeviceModel model; // touched by the test only while no command is under way

    ~UhidExtender() { Unplug(); }
    bool Plug()
    {
        const uint8_t descriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                                      0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                                      0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};
        uhid_event event{.type = UHID_CREATE2, .u = {}};
        std::strcpy(reinterpret_cast<char*>(event.u.create2.name), "Virtual HDBaseT extender");
        std::memcpy(event.u.create2.rd_data, descriptor, sizeof descriptor);
        event.u.create2.rd_size = sizeof descriptor;
        event.u.create2.bus = BUS_USB;
        event.u.create2.vendor = kTorvanVendorId;
        event.u.create2.product = kTorvanProductId;
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
        const uhid_event event{.type = UHID_DESTROY, .u = {}};
        write(m_fd, &event, sizeof event);
        close(m_fd);
        m_fd = -1;
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
            const auto answer =
                model.Answer({report + 3, std::min<size_t>(report[2], event.u.output.size - 3)});
            uhid_event input{.type = UHID_INPUT2, .u = {}};
            input.u.input2.size = 64;
            input.u.input2.data[0] = report[1];
            input.u.input2.data[1] = uint8_t(std::min<size_t>(answer.size(), 62));
            std::copy_n(answer.begin(), input.u.input2.data[1], input.u.input2.data + 2);
            write(m_fd, &input, sizeof input);
        }
    }
    int m_fd = -1;
    std::thread m_server;
    std::atomic<bool> m_stop{false};
};

} // namespace

class HidrawEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void connectReadProgramUnplug()
    {
        if (!QFile::exists("/dev/uhid"))
            QSKIP("no /dev/uhid here: this test runs inside the guest that run-e2e.sh boots");
        UhidExtender extender;
        extender.model.SetRegister(0x01, 0x0B, {0x05, 0, 0, 0});
        QVERIFY(extender.Plug());
        BoundedWriteBackend backend(std::make_shared<HidapiBackend>()); // as the programs have it
        QTRY_VERIFY_WITH_TIMEOUT(!backend.EnumeratePaths().empty(), 5000); // the hidraw node

        CTorvanReaderDlg dlg(backend);
        QCOMPARE(Texts(&dlg, {1088, 1089}), " States: Connected|");
        CHidCmd& channel = dlg.Channel();
        RegisterData out{};
        QVERIFY(ReadStatusRegister(channel, 0x01, 0x0B, out) && out[0] == 0x05);

        // A block of the programming stream: a full report each way through the kernel.
        std::array<uint8_t, 30> response{};
        const std::vector<uint8_t> block(32, 0x5A);
        QVERIFY(channel.Execute(frames::BeginWrite(frames::Chip::Local), response, 1000, 0)
                && channel.Execute(frames::DataChunkAt(block, 0), response, 3000, 0)
                && response[0] == 0xAA && extender.model.Flash(SimDeviceModel::Local)[31] == 0x5A);

        // Unplugged: the next read fails within its bounds and Reconnect asks for the device.
        extender.Unplug();
        QTRY_VERIFY_WITH_TIMEOUT(backend.EnumeratePaths().empty(), 5000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ReadStatusRegister(channel, 0x01, 0x0B, out) && clock.elapsed() < 2500);
        dlg.OnReconnect();
        QCOMPARE(
            Texts(&dlg, {1088, 1089}),
            " States: Unconnected| Please connect the device to PC via USB to mini-USB cable.");
        QVERIFY(extender.Plug());
        QTRY_VERIFY_WITH_TIMEOUT(!backend.EnumeratePaths().empty(), 5000);
        dlg.OnReconnect();
        QCOMPARE(Texts(&dlg, {1088, 1089}), " States: Connected|");
    }
};

QTEST_MAIN(HidrawEndToEndTest)
#include "tst_hidraw_e2e.moc"
