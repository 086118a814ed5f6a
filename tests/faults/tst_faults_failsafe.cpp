// The fault matrix of the Fail-Safe Setting page: On and Off with the extender misbehaving on the
// setting writes, the "Fail!" box and an unchanged state when they are not acknowledged, and
// switching again afterwards.
#include <QComboBox>
#include <QtTest>

#include "FaultMatrix.h"
#include "ToolWindowRig.h"
#include "failsafe/FailSafePage.h"

namespace {

enum class Switch { On, Off };

const QByteArray kSettingWrite = QByteArray::fromHex("050106");
constexpr uint8_t kOnSetting = 0xB3; // the default selections, switched on
constexpr uint8_t kOffSetting = 0x33;

ResetTool& Page(ToolWindowRig& rig)
{
    return rig.PageAt<ResetTool>(PerformanceTool::FailSafeTab);
}

void Click(ToolWindowRig& rig, Switch which)
{
    ui::FindControl<QAbstractButton>(&Page(rig), which == Switch::On ? 1123 : 1122)->click();
}

} // namespace

Q_DECLARE_METATYPE(Switch)

class FailSafeFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void switchThroughAFault_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Switch>("which");
        for (Switch which : {Switch::On, Switch::Off}) {
            for (Fault fault : kFaults)
                QTest::addRow("%s / %s", FaultName(fault), which == Switch::On ? "On" : "Off")
                    << fault << which;
        }
    }

    void switchThroughAFault()
    {
        QFETCH(Fault, fault);
        QFETCH(Switch, which);
        ToolWindowRig rig;
        rig.OpenTool();
        if (which == Switch::Off)
            Click(rig, Switch::On);
        VerifyState(rig, which == Switch::Off);

        // Off writes twice: the fault hits both writes.
        rig.extender.SetFaults(Playing(fault, Bytes(kSettingWrite)));
        const int writes = which == Switch::On ? 1 : 2;
        const StepCost click = Measure(rig.mainDlg->Channel(), [&] { Click(rig, which); });
        const QString over = click.OverBound(writes, kCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));
        QCOMPARE(click.transactions, writes);

        const bool switched = !Fails(fault);
        QCOMPARE(rig.boxes, switched ? QStringList{} : QStringList{"Fail!"});
        VerifyState(rig, (which == Switch::On) == switched);
        if (switched)
            return;

        // The user goes on: with the fault gone, or after plugging the device in again and
        // reconnecting, the switch works. A reopened page knows nothing of the device and starts
        // at "Fail-Safe Disable", so there the user switches on first.
        if (fault == Fault::Unplug) {
            rig.ReplugAndReopen();
            VerifyState(rig, false);
            if (which == Switch::Off)
                Click(rig, Switch::On);
        } else {
            rig.extender.SetFaults({});
        }
        rig.boxes.clear();
        Click(rig, which);
        QVERIFY(rig.boxes.isEmpty());
        VerifyState(rig, which == Switch::On);
        QCOMPARE(rig.extender.WithModel([](SimDeviceModel& m) { return m.FailSafeSetting(); }),
                 which == Switch::On ? kOnSetting : kOffSetting);
    }

private:
    // On: the status text says so, Off is the button to press and the selections are locked.
    static void VerifyState(ToolWindowRig& rig, bool on)
    {
        ResetTool& page = Page(rig);
        QCOMPARE(ShownText(&page, 1124), QString(on ? "Fail-Safe Enable" : "Fail-Safe Disable"));
        QCOMPARE(ui::FindControl<QAbstractButton>(&page, 1123)->isEnabled(), !on);
        QCOMPARE(ui::FindControl<QAbstractButton>(&page, 1122)->isEnabled(), on);
        for (int id : {1107, 1108, 1109})
            QCOMPARE(ui::FindControl<QComboBox>(&page, id)->isEnabled(), !on);
    }
};

QTEST_MAIN(FailSafeFaultsTest)
#include "tst_faults_failsafe.moc"
