// The simulated extender's fault filter: faults that hit the commands with a chosen payload
// prefix, or only the nth of them, and the unplug that comes with a chosen command.
#include <QtTest>

#include "SimRig.h"
#include "device/CommandFrames.h"
#include "device/HidCmd.h"

namespace {

constexpr uint8_t kAck = 0xAA;

struct Channel {
    SimRig rig;
    CHidCmd channel{rig.wire};

    Channel()
    {
        rig.extender.SetRegister(0x01, 0x04, {7});
        rig.extender.SetRegister(0x01, 0x0B, {5});
        channel.Transport().Open();
    }

    // The status byte of the answer, or -1 when none came.
    int Status(std::span<const uint8_t> payload)
    {
        std::array<uint8_t, frames::kRegisterCapacity> response{};
        if (!channel.Execute(payload, response, 100, 0))
            return -1;
        return response[0];
    }
    int Read(uint8_t reg) { return Status(frames::RegisterRead(0x01, reg)); }
};

} // namespace

class FaultFilterTest : public QObject {
    Q_OBJECT

private slots:
    void prefixPicksTheCommands()
    {
        Channel c;
        c.rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x01, 0x0B}});
        QCOMPARE(c.Read(0x0B), 0x55);
        QCOMPARE(c.Read(0x04), int(kAck));
        QCOMPARE(c.Read(0x0B), 0x55);
        QCOMPARE(c.Status(frames::ConnectCheck()), int(kAck));

        // A prefix longer than a payload matches nothing.
        c.rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x01, 0x0B, 0x0C, 0x00}});
        QCOMPARE(c.Read(0x0B), int(kAck));
    }

    void nthPicksOneOfThem()
    {
        Channel c;
        c.rig.extender.SetFaults({.silent = true, .onlyPrefix = {0x01}, .onlyNth = 2});
        QCOMPARE(c.Status(frames::ConnectCheck()), int(kAck)); // not counted: no match
        QCOMPARE(c.Read(0x04), int(kAck));
        QCOMPARE(c.Read(0x0B), -1);
        QCOMPARE(c.Read(0x0B), int(kAck));
        QCOMPARE(c.Read(0x04), int(kAck));

        // Without a prefix every command counts; setting the faults again starts the count anew.
        c.rig.extender.SetFaults({.refuse = true, .onlyNth = 3});
        QCOMPARE(c.Read(0x04), int(kAck));
        QCOMPARE(c.Status(frames::ConnectCheck()), int(kAck));
        QCOMPARE(c.Read(0x04), 0x55);
        c.rig.extender.SetFaults({.refuse = true, .onlyNth = 1});
        QCOMPARE(c.Read(0x04), 0x55);
        QCOMPARE(c.Read(0x04), int(kAck));
    }

    void unplugComesWithTheChosenCommand()
    {
        Channel c;
        c.rig.extender.SetFaults({.unplug = true, .onlyPrefix = {0x05}});
        QCOMPARE(c.Read(0x04), int(kAck));
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(c.Status(frames::FailSafeSetting(0xB3)), -1);
        QVERIFY(clock.elapsed() < 100); // the read fails at once, not at its time-out
        QCOMPARE(c.Read(0x04), -1);
        QVERIFY(c.rig.extender.EnumeratePaths().empty());
        // The command never reached the chip.
        QCOMPARE(c.rig.extender.WithModel([](SimDeviceModel& m) { return m.FailSafeWrites(); }), 0);

        c.rig.extender.SetFaults({});
        c.rig.extender.Replug();
        QCOMPARE(c.Read(0x04), -1); // the old handles stay dead
        QVERIFY(c.channel.Transport().Open());
        QCOMPARE(c.Status(frames::FailSafeSetting(0xB3)), int(kAck));
    }
};

QTEST_MAIN(FaultFilterTest)
#include "tst_fault_filter.moc"
