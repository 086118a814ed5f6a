// The fault matrix of the Burn-In Test page: one sample with the extender misbehaving, whether the
// run goes on or ends as it should (logged, the button back at "Start"), and starting again.
#include <QtTest>

#include "FaultMatrix.h"
#include "ToolWindowRig.h"
#include "burnin/BurnInLog.h"
#include "burnin/BurnInPage.h"
#include "burnin/BurnInRig.h"

using namespace std::chrono_literals;

namespace {

// The connect check, then link state, video source and signal lines.
constexpr int kSampleReads = 4;

// The Burn-In Test page of the tool window, running, with samples taken only when the test runs
// the sample timer's tick itself.
CBIT& StartRun(ToolWindowRig& rig, FakeClock& clock)
{
    auto& page = rig.PageAt<CBIT>(PerformanceTool::BurnInTab);
    BurnInTiming timing;
    timing.clock = clock.Reader();
    timing.periods = {1h, 1h, 1h, 1h};
    timing.manualCycle = true;
    page.SetTiming(timing);
    ui::FindControl<QAbstractButton>(&page, 1103)->click();
    return page;
}

} // namespace

class BurnInFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void sampleThroughAFault_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("prefix"); // the commands the fault hits, all when empty
        QTest::addColumn<bool>("runEnds");
        QTest::addColumn<int>("linkFailures");

        const QByteArray all;
        const QByteArray connectCheck = QByteArray::fromHex("aa01ab");
        QTest::newRow("silent / connect check") << Fault::Silent << connectCheck << true << 0;
        // A status read that is not answered is a bad sample of its kind; the run goes on.
        QTest::newRow("silent / link state")
            << Fault::Silent << QByteArray::fromHex("020103") << false << 1;
        QTest::newRow("refusing / every command") << Fault::Refuse << all << true << 0;
        QTest::newRow("900 ms latency / connect check")
            << Fault::Latency << connectCheck << false << 0;
        for (Fault fault : {Fault::Stale, Fault::Bit7, Fault::ShortReport})
            QTest::addRow("%s / every command", FaultName(fault)) << fault << all << false << 0;
        QTest::newRow("unplug / connect check") << Fault::Unplug << connectCheck << true << 0;
    }

    void sampleThroughAFault()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, prefix);
        QFETCH(bool, runEnds);
        QFETCH(int, linkFailures);

        TempCurrentDir dir;
        FakeClock clock;
        ToolWindowRig rig;
        SetSignals(rig.extender, true, true, true, true);
        rig.OpenTool();
        CBIT* page = &StartRun(rig, clock);

        rig.extender.SetFaults(Playing(fault, Bytes(prefix)));
        const StepCost sample = Measure(rig.mainDlg->Channel(), [&] { page->OnTimer(); });
        const QString over = sample.OverBound(kSampleReads, kCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));
        QVERIFY(rig.boxes.isEmpty()); // the page never raises a message for the device
        QCOMPARE(page->IsRunning(), !runEnds);
        QCOMPARE(ShownText(page, 1103), QString(runEnds ? "Start" : "Stop"));
        QCOMPARE(page->Chart().count, runEnds ? 0 : 1);
        QCOMPARE(int(page->Session().Recorder().Counter(Trace::Link)), linkFailures);
        // The log says why an unattended run ended.
        QCOMPARE(ReadFile(burnin::kLogFileName),
                 runEnds ? QByteArray("2014/3/7 13:5:0\tDevice Disconnected.\r\n") : QByteArray());

        // The user goes on: with the fault gone, or after plugging the device in again and
        // reconnecting, a new run samples a healthy link.
        if (fault == Fault::Unplug) {
            rig.ReplugAndReopen();
            page = &StartRun(rig, clock);
        } else {
            rig.extender.SetFaults({});
            if (runEnds)
                ui::FindControl<QAbstractButton>(page, 1103)->click();
        }
        const int samplesBefore = page->Chart().count;
        page->OnTimer();
        QVERIFY(page->IsRunning());
        QCOMPARE(page->Chart().count, samplesBefore + 1);
        QCOMPARE(int(page->Session().Recorder().Counter(Trace::Link)), runEnds ? 0 : linkFailures);
        QVERIFY(rig.boxes.isEmpty());
    }
};

QTEST_MAIN(BurnInFaultsTest)
#include "tst_faults_burnin.moc"
