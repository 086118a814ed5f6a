// The real transport end to end: hidapi over the kernel's hidraw driver, talking to a virtual
// extender made with /dev/uhid. Runs inside the throw-away guest that run-e2e.sh boots; elsewhere
// it skips.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QtTest>

#include "UhidExtender.h"
#include "app/TorvanReaderDlg.h"
#include "device/CommandFrames.h"
#include "device/StatusRegister.h"
#include "device/hidapi/HidapiBackend.h"
#include "ui/DialogUnits.h"

namespace {

// The hidraw node appears (or goes) shortly after the device is created (or destroyed).
bool WaitForDevice(HidapiBackend& backend, bool present)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        if (backend.EnumeratePaths().empty() != present)
            return true;
        QTest::qWait(20);
    }
    return false;
}

QString StateText(const CTorvanReaderDlg& dlg, int id)
{
    return ui::FindControl<QLabel>(&dlg, id)->text();
}

} // namespace

class HidrawEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!QFile::exists("/dev/uhid"))
            QSKIP("no /dev/uhid here: this test runs inside the guest that run-e2e.sh boots");
    }

    void connectReadProgramUnplug()
    {
        UhidExtender extender;
        QVERIFY(extender.Plug());
        HidapiBackend backend;
        QVERIFY(WaitForDevice(backend, true));

        CTorvanReaderDlg dlg(backend);
        QCOMPARE(StateText(dlg, 1088), QString(" States: Connected"));

        extender.WithModel([](SimDeviceModel& model) {
            model.SetRegister(0x01, 0x0B, {0x05, 0, 0, 0});
        });
        CHidCmd& channel = dlg.Channel();
        RegisterData out{};
        QVERIFY(ReadStatusRegister(channel, 0x01, 0x0B, out));
        QCOMPARE(out[0], uint8_t(0x05));

        // A short programming run of the local chip: erase, open the write, 100 bytes in 4 chunks.
        channel.SetPauseFunction([](uint32_t) {});
        std::vector<uint8_t> image(100);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<uint8_t>(i * 13 + 5);
        std::array<uint8_t, frames::kRegisterCapacity> response{};
        QVERIFY(channel.Execute(frames::EraseFirmware(frames::Chip::Local), response, 1000, 1000));
        QCOMPARE(response[0], uint8_t(0xAA));
        QVERIFY(channel.Execute(frames::BeginWrite(frames::Chip::Local), response, 1000, 0));
        for (size_t c = 0; c < frames::DataChunkCount(image.size()); ++c) {
            QVERIFY(channel.Execute(frames::DataChunkAt(image, c), response,
                                    frames::kChunkTimeoutMs, 0));
            QCOMPARE(response[0], uint8_t(0xAA));
        }
        const auto flash = extender.WithModel(
            [](SimDeviceModel& model) { return model.Flash(SimDeviceModel::Local); });
        QVERIFY(std::equal(image.begin(), image.end(), flash.begin()));
        QCOMPARE(flash[image.size()], uint8_t(0xFF));

        // Unplugged: the next read fails within its bounds and Reconnect shows the instruction.
        extender.Unplug();
        QVERIFY(WaitForDevice(backend, false));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ReadStatusRegister(channel, 0x01, 0x0B, out));
        QVERIFY(clock.elapsed() < 2500);
        dlg.OnReconnect();
        QCOMPARE(StateText(dlg, 1088), QString(" States: Unconnected"));
        QCOMPARE(StateText(dlg, 1089),
                 QString(" Please connect the device to PC via USB to mini-USB cable."));

        // Plugged in again: Reconnect finds it.
        QVERIFY(extender.Plug());
        QVERIFY(WaitForDevice(backend, true));
        dlg.OnReconnect();
        QCOMPARE(StateText(dlg, 1088), QString(" States: Connected"));
    }
};

QTEST_MAIN(HidrawEndToEndTest)
#include "tst_hidraw_e2e.moc"
