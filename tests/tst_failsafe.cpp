// The Fail-Safe Setting page: the setting bytes on the wire, Off's double write, Default, and the
// page's two states. Writes that fail outright are rows of the fault matrix.
#include <QComboBox>

#include "Rig.h"
#include "failsafe/FailSafePage.h"

namespace {

std::vector<uint8_t> Write(uint8_t setting)
{
    return {0x05, 0x01, 0x06, setting};
}

// The status text and which of On, Off and the selections can be used.
QString State(const QWidget* page)
{
    return QString("%1 on:%2 off:%3 lists:%4%5%6")
        .arg(Text(page, 1124))
        .arg(Enabled(page, 1123))
        .arg(Enabled(page, 1122))
        .arg(Enabled(page, 1107))
        .arg(Enabled(page, 1108))
        .arg(Enabled(page, 1109));
}

const QString kOff = "Fail-Safe Disable on:1 off:0 lists:111";
const QString kOn = "Fail-Safe Enable on:0 off:1 lists:000";

QString Selected(const QWidget* page)
{
    QStringList texts;
    for (int id : {1107, 1108, 1109})
        texts << ui::FindControl<QComboBox>(page, id)->currentText();
    return texts.join(' ');
}

} // namespace

class FailSafeTest : public QObject {
    Q_OBJECT

private slots:
    void settingBytes_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("setting");
        QTest::newRow("defaults") << "64 1e-9 30" << 0xB3;
        QTest::newRow("86, 1e-8, 60") << "86 1e-8 60" << 0xEE;
        QTest::newRow("48, 1e-9, 5") << "48 1e-9 5" << 0x90;
        QTest::newRow("48, 1e-8, 5") << "48 1e-8 5" << 0x88;
    }
    void settingBytes()
    {
        QFETCH(QString, selected);
        QFETCH(int, setting);
        Rig rig;
        rig.Open();
        auto& page = rig.page<ResetTool>();
        QCOMPARE(State(&page), kOff);
        QCOMPARE(Selected(&page), QString("64 1e-9 30"));
        for (int i = 0; i < 3; ++i)
            ui::FindControl<QComboBox>(&page, 1107 + i)->setCurrentText(selected.split(' ')[i]);
        rig.wire.Clear();
        Click(&page, 1123);
        QCOMPARE(rig.Commands(), Payloads{Write(uint8_t(setting))});
        QCOMPARE(State(&page), kOn);
        // Off writes the default setting twice whatever the selections show, and keeps them.
        Click(&page, 1122);
        QCOMPARE(rig.Commands(), (Payloads{Write(uint8_t(setting)), Write(0x33), Write(0x33)}));
        QCOMPARE(rig.extender.WithModel([](SimDeviceModel& m) { return m.FailSafeSetting(); }),
                 0x33);
        QCOMPARE(State(&page), kOff);
        QCOMPARE(Selected(&page), selected);
        QVERIFY(rig.boxes.isEmpty());
    }

    void offsSecondWriteDecides()
    {
        Rig rig;
        rig.Open();
        auto& page = rig.page<ResetTool>();
        Click(&page, 1123);
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}, .onlyNth = 1});
        Click(&page, 1122);
        QCOMPARE(State(&page), kOff);
        Click(&page, 1123);
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}, .onlyNth = 2});
        Click(&page, 1122);
        QCOMPARE(State(&page), kOn);
        QCOMPARE(rig.boxes, QStringList{"Fail!"});
    }

    void defaultStaysAvailableWhileOn()
    {
        Rig rig;
        rig.Open();
        auto& page = rig.page<ResetTool>();
        ui::FindControl<QComboBox>(&page, 1107)->setCurrentIndex(3);
        ui::FindControl<QComboBox>(&page, 1109)->setCurrentIndex(0);
        Click(&page, 1123);
        rig.wire.Clear();
        QVERIFY(Enabled(&page, 1121));
        Click(&page, 1121);
        QVERIFY(rig.Commands().empty());
        QCOMPARE(Selected(&page), QString("64 1e-9 30"));
        Click(&page, 1122);
        QCOMPARE(State(&page), kOff);
        QCOMPARE(Selected(&page), QString("64 1e-9 30"));
    }
};

TORVAN_SUITE(FailSafeTest, "failsafe")
#include "tst_failsafe.moc"
