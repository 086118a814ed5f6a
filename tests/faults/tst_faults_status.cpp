// The fault matrix during Status polling: one poll tick (the one that reads both blocks) with the
// extender misbehaving, what the page falls back to, and the poll recovering afterwards.
#include <QtTest>

#include "FaultMatrix.h"
#include "ToolWindowRig.h"
#include "status/StatusPage.h"
#include "status/StatusProbe.h"

using namespace std::chrono_literals;

namespace {

// Tick 0 runs the link block (five reads) and the signal block (five reads).
constexpr int kTickReads = 10;

const QString kAllGood = "All port signal are good.\n";

// The Status page of the tool window, polling, with its timers too slow to fire during a test:
// the test runs each tick as the poll timer would.
Tool1Main& StartPolling(ToolWindowRig& rig)
{
    auto& page = rig.PageAt<Tool1Main>(PerformanceTool::StatusTab);
    page.SetPeriods({1h, 1h});
    ui::FindControl<QAbstractButton>(&page, 1075)->click();
    return page;
}

} // namespace

class StatusFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void pollThroughAFault_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("prefix"); // the commands the fault hits, all when empty
        QTest::addColumn<int>("nth");           // of those only this one, all when 0
        // Pair A's level, the remote mode, the cable length, the local source and the advice.
        QTest::addColumn<QStringList>("shown");

        const QByteArray all;
        const QStringList healthy{"0.15625", "HDBT", "31m", "HDMI with HDCP", kAllGood};
        const QStringList nothingRead{"N/A", "Disconnect", "N/A", "", "Disconnected"};
        // A local cable length that is not read takes the link down; the remote one is skipped.
        QTest::newRow("silent / local cable length")
            << Fault::Silent << QByteArray::fromHex("010c0d") << 0
            << QStringList{"0.15625", "HDBT", "N/A", "HDMI with HDCP", "Disconnected"};
        QTest::newRow("refusing / every read") << Fault::Refuse << all << 0 << nothingRead;
        QTest::newRow("900 ms latency / local cable length")
            << Fault::Latency << QByteArray::fromHex("010c0d") << 0 << healthy;
        for (Fault fault : {Fault::Stale, Fault::Bit7, Fault::ShortReport})
            QTest::addRow("%s / every read", FaultName(fault)) << fault << all << 0 << healthy;
        QTest::newRow("unplug / first read of the tick")
            << Fault::Unplug << all << 1 << nothingRead;
    }

    void pollThroughAFault()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, prefix);
        QFETCH(int, nth);
        QFETCH(QStringList, shown);

        ToolWindowRig rig;
        SetHealthyLink(rig.extender);
        rig.OpenTool();
        Tool1Main* page = &StartPolling(rig);
        rig.wire.Clear();

        rig.extender.SetFaults(Playing(fault, Bytes(prefix), nth));
        const StepCost tick = Measure(rig.mainDlg->Channel(), [&] { page->OnTimer(); });
        const QString over = tick.OverBound(kTickReads, kCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));
        page->RunPortCheck();
        QCOMPARE(Shown(*page), shown);
        QCOMPARE(ShownText(page, 1014), QString("HDBT")); // a failed local mode read keeps the text
        QVERIFY(page->IsRunning());
        QVERIFY(rig.boxes.isEmpty()); // polling never raises a message

        // Fault cleared, or the device plugged in again and reconnected: the poll recovers.
        if (fault == Fault::Unplug) {
            rig.ReplugAndReopen();
            page = &StartPolling(rig);
            page->OnTimer();
        } else {
            rig.extender.SetFaults({});
            while (page->TickCount() <= 10) // tick 10 reads both blocks again
                page->OnTimer();
        }
        page->RunPortCheck();
        page->RunPortCheck();
        QCOMPARE(Shown(*page), (QStringList{"0.15625", "HDBT", "31m", "HDMI with HDCP", kAllGood}));
        QVERIFY(page->LinkUp());
    }

private:
    static QStringList Shown(const Tool1Main& page)
    {
        return {ShownText(&page, 1017), ShownText(&page, 1046), ShownText(&page, 1037),
                ShownText(&page, 1010), ShownText(&page, 1077)};
    }
};

QTEST_MAIN(StatusFaultsTest)
#include "tst_faults_status.moc"
