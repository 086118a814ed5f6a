// The fault matrix at page start: the tool window's snapshot and every page's own start-up, with
// the extender misbehaving on the reads of the opening.
#include <QtTest>

#include "FaultMatrix.h"
#include "ToolWindowRig.h"
#include "burnin/BurnInPage.h"
#include "failsafe/FailSafePage.h"
#include "firmware/FirmwarePage.h"
#include "status/StatusPage.h"
#include "status/StatusProbe.h"

using namespace std::chrono_literals;

namespace {

// The snapshot's eleven reads and the Firmware page's two identification reads.
constexpr int kOpeningReads = 11 + 2;

const QString kMode = "HDBT";
const QString kCable = "31m";
const QString kLocalChip = "QX710";
const QString kRemoteChip = "QX720";

} // namespace

class OpeningFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void openingThroughAFault_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QByteArray>("prefix"); // the commands the fault hits, all when empty
        QTest::addColumn<int>("nth");           // of those only this one, all when 0
        // What the Status page shows of the snapshot, and the Firmware page of both chips.
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("cable");
        QTest::addColumn<QString>("localChip");
        QTest::addColumn<QString>("remoteChip");

        const QByteArray all;
        QTest::newRow("silent / snapshot read of the local mode")
            << Fault::Silent << QByteArray::fromHex("010405") << 0 << "" << kCable << kLocalChip
            << kRemoteChip;
        QTest::newRow("silent / identification of the remote chip")
            << Fault::Silent << QByteArray::fromHex("010506") << 0 << kMode << kCable << kLocalChip
            << "";
        QTest::newRow("refusing / every read") << Fault::Refuse << all << 0 << ""
                                               << "N/A"
                                               << ""
                                               << "";
        QTest::newRow("900 ms latency / snapshot read of the pair levels")
            << Fault::Latency << QByteArray::fromHex("01090a") << 0 << kMode << kCable << kLocalChip
            << kRemoteChip;
        for (Fault fault : {Fault::Stale, Fault::Bit7, Fault::ShortReport})
            QTest::addRow("%s / every read", FaultName(fault))
                << fault << all << 0 << kMode << kCable << kLocalChip << kRemoteChip;
        // Gone at the local cable length: the five reads before it were answered.
        QTest::newRow("unplug / sixth snapshot read") << Fault::Unplug << all << 6 << kMode << "N/A"
                                                      << ""
                                                      << "";
    }

    void openingThroughAFault()
    {
        QFETCH(Fault, fault);
        QFETCH(QByteArray, prefix);
        QFETCH(int, nth);
        QFETCH(QString, mode);
        QFETCH(QString, cable);
        QFETCH(QString, localChip);
        QFETCH(QString, remoteChip);

        ToolWindowRig rig;
        SetHealthyLink(rig.extender);
        rig.extender.SetFaults(Playing(fault, Bytes(prefix), nth));
        const StepCost opening = Measure(rig.mainDlg->Channel(), [&] { rig.OpenTool(); });
        const QString over = opening.OverBound(kOpeningReads, kCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));

        VerifyStartState(rig);
        if (QTest::currentTestFailed())
            return;
        auto& status = rig.PageAt<Tool1Main>(PerformanceTool::StatusTab);
        auto& firmware = rig.PageAt<DlgProgrammer>(PerformanceTool::FirmwareTab);
        QCOMPARE(ShownText(&status, 1014), mode);
        QCOMPARE(ShownText(&status, 1037), cable);
        QCOMPARE(ShownText(&firmware, 1011), localChip);
        QCOMPARE(ShownText(&firmware, 1023), remoteChip);
        QVERIFY(rig.boxes.isEmpty()); // the opening shows no message

        // Fault cleared, or the device plugged in again and reconnected: polling shows the link.
        if (fault == Fault::Unplug) {
            rig.ReplugAndReopen();
            VerifyStartState(rig);
            auto& reopened = rig.PageAt<DlgProgrammer>(PerformanceTool::FirmwareTab);
            QCOMPARE(ShownText(&reopened, 1011), kLocalChip);
            QCOMPARE(ShownText(&reopened, 1023), kRemoteChip);
        } else {
            rig.extender.SetFaults({});
        }
        auto& polled = rig.PageAt<Tool1Main>(PerformanceTool::StatusTab);
        polled.SetPeriods({1h, 1h});
        ui::FindControl<QAbstractButton>(&polled, 1075)->click();
        polled.OnTimer();
        QCOMPARE(ShownText(&polled, 1014), kMode);
        QCOMPARE(ShownText(&polled, 1037), kCable);
        QVERIFY(rig.boxes.isEmpty());
    }

private:
    // Every page as it starts, whatever the device did: nothing running, nothing busy, the
    // Firmware page shown.
    static void VerifyStartState(ToolWindowRig& rig)
    {
        QCOMPARE(rig.tool->CurrentTab(), int(PerformanceTool::FirmwareTab));
        QVERIFY(!rig.PageAt<DlgProgrammer>(PerformanceTool::FirmwareTab).IsBusy());
        auto& status = rig.PageAt<Tool1Main>(PerformanceTool::StatusTab);
        QVERIFY(!status.IsRunning());
        QCOMPARE(ShownText(&status, 1075), QString("Test"));
        auto& burnIn = rig.PageAt<CBIT>(PerformanceTool::BurnInTab);
        QVERIFY(!burnIn.IsRunning());
        QCOMPARE(ShownText(&burnIn, 1103), QString("Start"));
        auto& failSafe = rig.PageAt<ResetTool>(PerformanceTool::FailSafeTab);
        QCOMPARE(ShownText(&failSafe, 1124), QString("Fail-Safe Disable"));
    }
};

QTEST_MAIN(OpeningFaultsTest)
#include "tst_faults_opening.moc"
