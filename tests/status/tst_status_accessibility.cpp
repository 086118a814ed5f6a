// Every lamp, pair level and the RJ45 marking tell their state in words through Qt's
// accessibility interface, not in colour alone.
#include <QAccessible>
#include <QtTest>

#include "StatusProbe.h"

namespace {

QString Accessible(const QWidget* widget, QAccessible::Text which)
{
    QAccessibleInterface* face =
        QAccessible::queryAccessibleInterface(const_cast<QWidget*>(widget));
    return face ? face->text(which) : QString("no accessible interface");
}

QString Description(const Tool1Main& page, int id)
{
    return Accessible(ui::FindControl<QWidget>(&page, id), QAccessible::Description);
}

} // namespace

class StatusAccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void statesAreReadable()
    {
        StatusRig rig;
        SetHealthyLink(rig.sim.extender);
        rig.sim.extender.SetRegister(0x01, 0x0B, {0x04}); // 5 V up, HPD down
        rig.sim.extender.SetRegister(0x01, 0x14, {8});
        rig.sim.extender.SetRegister(0x01, 0x09, {10, 70, 55, 13});
        Tool1Main& page = rig.Open();

        page.OnBnClickedTest();
        page.OnTimer(); // tick 0 runs both blocks

        QCOMPARE(Accessible(ui::FindControl<QWidget>(&page, 1097), QAccessible::Name),
                 QString("5V from source(TX)"));
        QCOMPARE(Description(page, 1097), QString("5V from source(TX): on"));
        QCOMPARE(Description(page, 1099), QString("HPD from link(TX): off"));
        QCOMPARE(Description(page, 1103), QString("Video BER: marginal"));
        QCOMPARE(ui::FindControl<QWidget>(&page, 1103)->toolTip(), QString("Video BER: marginal"));

        QCOMPARE(Description(page, 1017), QString("Pair A: 0.15625, good"));
        QCOMPARE(Description(page, 1023), QString("Pair B: 1.09375, fault"));
        QCOMPARE(Description(page, 1024), QString("Pair C: 0.85938, marginal"));

        page.RunPortCheck();
        QCOMPARE(Description(page, 1104), QString("Faulty pairs marked: B (port 2)"));
        page.RunPortCheck(); // the marking blinks off; the words stay
        QCOMPARE(Description(page, 1104), QString("Faulty pairs marked: B (port 2)"));

        Refuse(rig.sim.extender, 0x01, 0x09);
        page.OnTimer(); // tick 1: signal block only
        for (int i = 0; i < 4; ++i)
            page.OnTimer(); // tick 5 reads the pair levels again: refused
        QCOMPARE(Description(page, 1023), QString("Pair B: N/A"));

        page.OnBnClickedTest(); // Stop
        QCOMPARE(Description(page, 1104), QString("No faulty pair"));
    }
};

QTEST_MAIN(StatusAccessibilityTest)
#include "tst_status_accessibility.moc"
