// The Status page in its tool window over the simulated extender: the start-up display, the tick
// schedule on the wire, the fallbacks of failed reads, the lamps and colours, the port advice and
// blink, and shutting down with the poll and the port check running.
#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

#include "StatusProbe.h"

using status::Lamp;
using Payloads = std::vector<std::vector<uint8_t>>;

Q_DECLARE_METATYPE(std::optional<status::Lamp>)

namespace {

const Payloads kLinkBlock{
    {0x01, 0x09, 0x0A}, {0x01, 0x04, 0x05}, {0x01, 0x08, 0x09},
    {0x01, 0x0C, 0x0D}, {0x01, 0x12, 0x13},
};
const Payloads kSignalBlock{
    {0x01, 0x0B, 0x0C}, {0x01, 0x11, 0x12}, {0x02, 0x02, 0x04},
    {0x02, 0x04, 0x06}, {0x01, 0x14, 0x15},
};

Payloads Concat(const Payloads& a, const Payloads& b)
{
    Payloads all = a;
    all.insert(all.end(), b.begin(), b.end());
    return all;
}

// The reads that one tick sends.
Payloads TickReads(StatusRig& rig)
{
    rig.sim.wire.Clear();
    rig.Page().OnTimer();
    return rig.sim.Commands();
}

QColor FrameColour(StatusRig& rig, int id)
{
    return ui::FindControl<QLineEdit>(&rig.Page(), id)->grab().toImage().pixelColor(1, 1);
}

int ActiveTimers(const Tool1Main& page)
{
    int active = 0;
    for (const QTimer* timer : page.findChildren<QTimer*>()) {
        if (timer->isActive())
            ++active;
    }
    return active;
}

bool RedAt(Rj45Picture& picture, QPoint point)
{
    return picture.grab().toImage().pixelColor(point) == QColor(255, 0, 0);
}

} // namespace

class StatusPageTest : public QObject {
    Q_OBJECT

private slots:
    void startupShowsTheSnapshotWithoutTraffic()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        rig.sim.extender.SetRegister(0x01, 0x08, {10}); // out of range: "N/A" at start-up
        rig.sim.extender.SetRegister(0x01, 0x09, {63, 64, 0, 52});
        rig.sim.extender.SetRegister(0x01, 0x0B, {0x04});
        rig.sim.extender.SetRegister(0x01, 0x11, {0x08});
        rig.sim.extender.SetRegister(0x01, 0x0E, {8});
        rig.sim.extender.SetRegister(0x01, 0x14, {9}); // not the start-up lamp's register
        rig.sim.extender.SetRegister(0x02, 0x02, {1});
        rig.sim.extender.SetRegister(0x02, 0x04, {200});
        Tool1Main& page = rig.Open();

        // Connect check and snapshot only; the Firmware page's identification reads are its own.
        auto commands = rig.sim.Commands();
        std::erase_if(commands, [](const std::vector<uint8_t>& c) {
            return c == std::vector<uint8_t>{0x01, 0x01, 0x02}
                   || c == std::vector<uint8_t>{0x01, 0x05, 0x06};
        });
        QCOMPARE(commands.size(), size_t(1 + 11));
        QCOMPARE(rig.Text(1014), QString("HDBT"));
        QCOMPARE(rig.Text(1046), QString("N/A"));
        QCOMPARE(rig.Text(1010), QString("HDMI without HDCP/ DVI"));
        QCOMPARE(rig.Text(1042), QString("No HDMI"));
        QCOMPARE(rig.Text(1037), QString("31m"));
        QCOMPARE(rig.Text(1017), QString("0.98438"));
        QCOMPARE(rig.Text(1023), QString("1.00000"));
        QCOMPARE(rig.Text(1024), QString("0.00000"));
        QCOMPARE(rig.Text(1025), QString("0.81250"));
        QCOMPARE(page.PortFaults(), (status::PortFlags{false, false, false, false}));
        QVERIFY(!page.LinkUp());
        QCOMPARE(rig.LampShown(1097), Lamp::On);  // 5V from source(TX)
        QCOMPARE(rig.LampShown(1098), Lamp::On);  // 5V to link(TX)
        QCOMPARE(rig.LampShown(1099), Lamp::Off); // HPD from link(TX)
        QCOMPARE(rig.LampShown(1094), Lamp::Off); // 5V from link(RX)
        QCOMPARE(rig.LampShown(1095), Lamp::On);  // HPD from display(RX)
        QCOMPARE(rig.LampShown(1096), Lamp::On);  // HPD to link(RX)
        QCOMPARE(rig.LampShown(1103), Lamp::Marginal);
        QCOMPARE(rig.TestButton().text(), QString("Test"));
        QVERIFY(!page.IsRunning());
        QCOMPARE(ActiveTimers(page), 0);
    }

    void startupWithoutSnapshotValues()
    {
        StatusRig rig;
        rig.sim.extender.SetRegister(0x01, 0x04, {10}); // out of range: empty in the local field
        rig.sim.extender.SetRegister(0x01, 0x0C, {0, 0, 0, 30}); // remote length missing
        rig.Open();
        QCOMPARE(rig.Text(1014), QString(""));
        QCOMPARE(rig.Text(1046), QString("N/A"));
        QCOMPARE(rig.Text(1037), QString("N/A"));
        QCOMPARE(rig.Text(1017), QString(""));
        QCOMPARE(rig.Text(1010), QString(""));
        for (int lamp : {1094, 1095, 1096, 1097, 1098, 1099, 1103})
            QCOMPARE(rig.LampShown(lamp), Lamp::Off);
    }

    void tickScheduleOnTheWire()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        rig.sim.wire.Clear();
        rig.TestButton().click();
        QCOMPARE(rig.TestButton().text(), QString("Stop"));
        QVERIFY(rig.sim.Commands().empty()); // pressing Test sends nothing

        QCOMPARE(TickReads(rig), Concat(kLinkBlock, kSignalBlock)); // tick 0
        QCOMPARE(TickReads(rig), Payloads{});                       // tick 1
        QCOMPARE(TickReads(rig), kSignalBlock);                     // tick 2

        // Stopped at 3, the count goes on from there.
        rig.TestButton().click();
        QCOMPARE(rig.TestButton().text(), QString("Start"));
        QCOMPARE(page.TickCount(), 3u);
        rig.TestButton().click();
        QCOMPARE(rig.TestButton().text(), QString("Stop"));
        QCOMPARE(TickReads(rig), Payloads{});   // tick 3
        QCOMPARE(TickReads(rig), kSignalBlock); // tick 4
        QCOMPARE(TickReads(rig), kLinkBlock);   // tick 5
        for (int tick = 6; tick < 10; ++tick)
            TickReads(rig);
        QCOMPARE(TickReads(rig), Concat(kLinkBlock, kSignalBlock)); // tick 10
        QCOMPARE(page.TickCount(), 11u);
    }

    void pollShowsWhatItReads()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        rig.sim.extender.SetRegister(0x01, 0x04, {6});
        rig.sim.extender.SetRegister(0x01, 0x08, {10}); // out of range: empty in the poll
        rig.sim.extender.SetRegister(0x01, 0x09, {0, 64, 63, 255});
        rig.sim.extender.SetRegister(0x01, 0x0B, {0x01});
        rig.sim.extender.SetRegister(0x01, 0x11, {0x04});
        rig.sim.extender.SetRegister(0x01, 0x0C, {0, 0, 0, 255});
        rig.sim.extender.SetRegister(0x01, 0x14, {7});
        rig.sim.extender.SetRegister(0x02, 0x02, {3});
        rig.sim.extender.SetRegister(0x02, 0x04, {1});
        page.OnTimer();
        QCOMPARE(rig.Text(1014), QString("LR"));
        QCOMPARE(rig.Text(1046), QString(""));
        QCOMPARE(rig.Text(1017), QString("0.00000"));
        QCOMPARE(rig.Text(1023), QString("1.00000"));
        QCOMPARE(rig.Text(1024), QString("0.98438"));
        QCOMPARE(rig.Text(1025), QString("3.98438"));
        QCOMPARE(page.PortFaults(), (status::PortFlags{false, true, false, true}));
        QVERIFY(page.LinkUp());
        QCOMPARE(rig.Text(1037), QString(">110m"));
        QCOMPARE(rig.LampShown(1097), Lamp::Off);
        QCOMPARE(rig.LampShown(1098), Lamp::Off);
        QCOMPARE(rig.LampShown(1099), Lamp::On);
        QCOMPARE(rig.LampShown(1094), Lamp::On);
        QCOMPARE(rig.LampShown(1095), Lamp::Off);
        QCOMPARE(rig.LampShown(1096), Lamp::Off);
        QCOMPARE(rig.LampShown(1103), Lamp::Off);
        QCOMPARE(rig.Text(1010), QString("No HDMI"));
        QCOMPARE(rig.Text(1042), QString("HDMI without HDCP/ DVI"));
    }

    void failedReadsFallBack()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        rig.sim.extender.SetRegister(0x01, 0x09, {70, 70, 70, 70});
        page.OnTimer(); // tick 0: everything read, every port faulty
        QVERIFY(page.LinkUp());
        for (int tick = 1; tick < 10; ++tick)
            page.OnTimer();

        for (uint8_t reg : {0x04, 0x08, 0x09, 0x0B, 0x0C, 0x11, 0x14})
            Refuse(rig.sim.extender, 0x01, reg);
        for (uint8_t reg : {0x02, 0x04})
            Refuse(rig.sim.extender, 0x02, reg);
        const Payloads reads = TickReads(rig); // tick 10: both blocks
        // A refused local cable length skips the remote one.
        QCOMPARE(std::count(reads.begin(), reads.end(), std::vector<uint8_t>{0x01, 0x12, 0x13}), 0);
        QCOMPARE(reads.size(), size_t(9));

        for (int id : {1017, 1023, 1024, 1025})
            QCOMPARE(rig.Text(id), QString("N/A"));
        QCOMPARE(page.PortFaults(), (status::PortFlags{false, false, false, false}));
        QVERIFY(!page.LinkUp());
        QCOMPARE(rig.Text(1014), QString("HDBT")); // keeps its text
        QCOMPARE(rig.Text(1046), QString("Disconnect"));
        QCOMPARE(rig.Text(1037), QString("N/A"));
        QCOMPARE(rig.Text(1010), QString(""));
        QCOMPARE(rig.Text(1042), QString(""));
        for (int lamp : {1094, 1095, 1096, 1097, 1098, 1099, 1103})
            QCOMPARE(rig.LampShown(lamp), Lamp::Off);
        QCOMPARE(FrameColour(rig, 1017), FrameColour(rig, 1037)); // colours gone with the levels

        // The remote length alone refused: the link still counts as down.
        SetHealthyLink(rig.sim.extender);
        Refuse(rig.sim.extender, 0x01, 0x12);
        for (int tick = 11; tick <= 15; ++tick)
            page.OnTimer();
        QVERIFY(!page.LinkUp());
        QCOMPARE(rig.Text(1037), QString("N/A"));
    }

    void pairLevelColours()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        rig.tool->show();
        const QColor normal = FrameColour(rig, 1017);
        rig.sim.extender.SetRegister(0x01, 0x09, {51, 52, 63, 64});
        page.OnTimer();
        QCOMPARE(FrameColour(rig, 1017), normal);
        QCOMPARE(FrameColour(rig, 1023), QColor(250, 200, 0));
        QCOMPARE(FrameColour(rig, 1024), QColor(250, 200, 0));
        QCOMPARE(FrameColour(rig, 1025), QColor(255, 0, 0));
        QCOMPARE(FrameColour(rig, 1037), normal); // other fields keep the default

        rig.sim.extender.SetRegister(0x01, 0x09, {64, 0, 0, 0});
        for (int tick = 1; tick <= 5; ++tick)
            page.OnTimer();
        QCOMPARE(FrameColour(rig, 1017), QColor(255, 0, 0));
        for (int id : {1023, 1024, 1025})
            QCOMPARE(FrameColour(rig, id), normal);
    }

    void portAdviceAndBlink()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        rig.sim.extender.SetRegister(0x01, 0x09, {10, 70, 20, 64}); // ports 2 and 4 faulty
        Tool1Main& page = rig.Open();
        Rj45Picture& picture = rig.Picture();
        const status::PortFlags none{};
        const status::PortFlags twoAndFour{false, true, false, true};
        const QPoint greenSolidContact(135, 110);
        const QPoint brownSolidContact(176, 110);
        const QPoint orangeSolidContact(56, 110);

        // The first pass comes with the press, before any poll has seen the link.
        rig.TestButton().click();
        QCOMPARE(rig.Text(1077), QString("Disconnected"));
        QCOMPARE(picture.Marking(), none);

        page.OnTimer();
        page.RunPortCheck();
        QCOMPARE(rig.Text(1077), QString("Please Check Port 2\nPlease Check Port 4\n"));
        QCOMPARE(picture.Marking(), twoAndFour);
        QVERIFY(RedAt(picture, greenSolidContact));
        QVERIFY(RedAt(picture, brownSolidContact));
        QVERIFY(!RedAt(picture, orangeSolidContact));
        picture.repaint(); // the marking is part of the picture: a repaint keeps it
        QVERIFY(RedAt(picture, greenSolidContact));

        page.RunPortCheck();
        QCOMPARE(picture.Marking(), none);
        QVERIFY(!RedAt(picture, greenSolidContact));
        page.RunPortCheck();
        QCOMPARE(picture.Marking(), twoAndFour);

        // Pair B recovers: the next drawing pass marks port 4 only.
        rig.sim.extender.SetRegister(0x01, 0x09, {10, 11, 20, 64});
        for (int tick = 1; tick <= 5; ++tick)
            page.OnTimer();
        page.RunPortCheck(); // erase
        page.RunPortCheck(); // draw
        QCOMPARE(rig.Text(1077), QString("Please Check Port 4\n"));
        QCOMPARE(picture.Marking(), (status::PortFlags{false, false, false, true}));

        // Stop empties the advice and leaves no marking standing.
        rig.TestButton().click();
        QCOMPARE(rig.Text(1077), QString(""));
        QCOMPARE(picture.Marking(), none);

        // All good with the link up: the advice says so and nothing is drawn.
        rig.sim.extender.SetRegister(0x01, 0x09, {10, 11, 20, 30});
        rig.TestButton().click();
        for (int tick = 6; tick <= 10; ++tick)
            page.OnTimer();
        page.RunPortCheck();
        page.RunPortCheck();
        QCOMPARE(rig.Text(1077), QString("All port signal are good.\n"));
        QCOMPARE(picture.Marking(), none);
    }

    void timersDriveThePollAndThePortCheck()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        page.SetPeriods({std::chrono::milliseconds(5), std::chrono::milliseconds(8)});
        rig.TestButton().click();
        QTRY_VERIFY(page.TickCount() >= 3);
        QTRY_COMPARE(rig.Text(1077), QString("All port signal are good.\n"));

        // A quick Stop and Start, again and again, leaves one poll and one port check running.
        for (int i = 0; i < 3; ++i) {
            rig.TestButton().click();
            QCOMPARE(ActiveTimers(page), 0);
            rig.TestButton().click();
            QCOMPARE(ActiveTimers(page), 2);
        }
        rig.TestButton().click();
        const uint32_t stoppedAt = page.TickCount();
        QTest::qWait(40);
        QCOMPARE(page.TickCount(), stoppedAt);
        QCOMPARE(rig.Text(1077), QString(""));
    }

    void closingTheToolWindowStopsARunningPage()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        Tool1Main& page = rig.Open();
        rig.tool->show();
        page.SetPeriods({std::chrono::milliseconds(5), std::chrono::milliseconds(8)});
        rig.TestButton().click();
        QTRY_VERIFY(page.TickCount() >= 2);
        QPointer<Tool1Main> watched = &page;

        QElapsedTimer closing;
        closing.start();
        rig.tool->close();
        QVERIFY(closing.elapsed() < 1000); // nothing to wait for: no thread outlives the page
        QVERIFY(watched.isNull());
        const size_t sent = rig.sim.Commands().size();
        QTest::qWait(40);
        QCOMPARE(rig.sim.Commands().size(), sent);
    }
};

QTEST_MAIN(StatusPageTest)
#include "tst_status_page.moc"
