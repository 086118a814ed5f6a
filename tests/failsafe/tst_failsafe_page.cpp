// The Fail-Safe Setting page over the simulated extender: the setting bytes on the wire, Off's
// double write, and the page states after refused writes.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "SimRig.h"
#include "app/TorvanReaderDlg.h"
#include "failsafe/FailSafePage.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

using Payloads = std::vector<std::vector<uint8_t>>;

std::vector<uint8_t> SettingWrite(uint8_t setting)
{
    return {0x05, 0x01, 0x06, setting};
}

struct FailSafeWindow {
    SimRig rig;
    CTorvanReaderDlg mainDlg{rig.wire};
    ResetTool page;
    QStringList boxes;

    FailSafeWindow()
    {
        page.m_pMainDlg = &mainDlg;
        ui::SetMessagePresenter([this](QWidget*, const QString& text) { boxes << text; });
        rig.wire.Clear();
    }
    ~FailSafeWindow() { ui::SetMessagePresenter({}); }

    QComboBox* Combo(int id) const { return ui::FindControl<QComboBox>(&page, id); }
    QPushButton* Button(int id) const { return ui::FindControl<QPushButton>(&page, id); }
    QString Status() const { return ui::FindControl<QLabel>(&page, 1124)->text(); }
    // The device refuses the nth fail-safe write from now on (counted from 1), and only that one.
    void RefuseSettingWrite(int nth)
    {
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05, 0x01}, .onlyNth = nth});
    }
    uint8_t DeviceSetting()
    {
        return rig.extender.WithModel([](auto& m) { return m.FailSafeSetting(); });
    }

    // "On": the status text, On/Off enabled, combo boxes enabled.
    void VerifyState(bool on)
    {
        QCOMPARE(Status(), QString(on ? "Fail-Safe Enable" : "Fail-Safe Disable"));
        QCOMPARE(Button(1123)->isEnabled(), !on);
        QCOMPARE(Button(1122)->isEnabled(), on);
        for (int id : {1107, 1108, 1109})
            QCOMPARE(Combo(id)->isEnabled(), !on);
    }
};

} // namespace

class FailSafePageTest : public QObject {
    Q_OBJECT

private slots:
    void settingBytes_data()
    {
        QTest::addColumn<QString>("wire");
        QTest::addColumn<QString>("ber");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("setting");
        QTest::newRow("defaults") << "64"
                                  << "1e-9"
                                  << "30" << 0xB3;
        QTest::newRow("86, 1e-8, 60") << "86"
                                      << "1e-8"
                                      << "60" << 0xEE;
        QTest::newRow("48, 1e-9, 5") << "48"
                                     << "1e-9"
                                     << "5" << 0x90;
        QTest::newRow("48, 1e-8, 5") << "48"
                                     << "1e-8"
                                     << "5" << 0x88;
    }

    void settingBytes()
    {
        QFETCH(QString, wire);
        QFETCH(QString, ber);
        QFETCH(QString, interval);
        QFETCH(int, setting);
        FailSafeWindow window;
        window.VerifyState(false);
        QCOMPARE(window.Combo(1107)->currentText(), QString("64"));
        QCOMPARE(window.Combo(1108)->currentText(), QString("1e-9"));
        QCOMPARE(window.Combo(1109)->currentText(), QString("30"));
        window.Combo(1107)->setCurrentText(wire);
        window.Combo(1108)->setCurrentText(ber);
        window.Combo(1109)->setCurrentText(interval);

        window.Button(1123)->click();
        QCOMPARE(window.rig.Commands(), Payloads{SettingWrite(uint8_t(setting))});
        QCOMPARE(window.DeviceSetting(), uint8_t(setting));
        window.VerifyState(true);

        // Off writes the default setting twice, whatever the selections show, and keeps them.
        window.rig.wire.Clear();
        window.Button(1122)->click();
        QCOMPARE(window.rig.Commands(), (Payloads{SettingWrite(0x33), SettingWrite(0x33)}));
        QCOMPARE(window.DeviceSetting(), uint8_t(0x33));
        window.VerifyState(false);
        QCOMPARE(window.Combo(1107)->currentText(), wire);
        QCOMPARE(window.Combo(1109)->currentText(), interval);
        QVERIFY(window.boxes.isEmpty());
    }

    void refusedWritesChangeNoState()
    {
        FailSafeWindow window;
        window.RefuseSettingWrite(1);
        window.Button(1123)->click();
        QCOMPARE(window.boxes, QStringList{"Fail!"});
        window.VerifyState(false);

        window.Button(1123)->click();
        window.VerifyState(true);

        // Off's first write refused, the second acknowledged: the second decides.
        window.RefuseSettingWrite(1);
        window.Button(1122)->click();
        window.VerifyState(false);
        QCOMPARE(window.boxes.size(), 1);
        QCOMPARE(window.rig.Commands(), (Payloads{SettingWrite(0xB3), SettingWrite(0xB3),
                                                  SettingWrite(0x33), SettingWrite(0x33)}));
    }

    void offSecondWriteRefusedKeepsTheOnState()
    {
        FailSafeWindow window;
        window.Button(1123)->click();
        window.RefuseSettingWrite(2);
        window.Button(1122)->click();
        QCOMPARE(window.boxes, QStringList{"Fail!"});
        window.VerifyState(true);
    }

    void defaultStaysAvailableWhileOn()
    {
        FailSafeWindow window;
        window.Combo(1107)->setCurrentIndex(3);
        window.Combo(1109)->setCurrentIndex(0);
        window.Button(1123)->click();
        window.rig.wire.Clear();
        QVERIFY(window.Button(1121)->isEnabled());
        window.Button(1121)->click();
        QVERIFY(window.rig.Commands().empty());
        QCOMPARE(window.Combo(1107)->currentIndex(), 1);
        QCOMPARE(window.Combo(1108)->currentIndex(), 1);
        QCOMPARE(window.Combo(1109)->currentIndex(), 3);
        window.Button(1122)->click();
        window.VerifyState(false);
        QCOMPARE(window.Combo(1109)->currentText(), QString("30"));
    }

    void silentDeviceFails()
    {
        FailSafeWindow window;
        window.rig.extender.SetFaults({.silent = true});
        window.Button(1123)->click();
        QCOMPARE(window.boxes, QStringList{"Fail!"});
        window.VerifyState(false);
    }
};

QTEST_MAIN(FailSafePageTest)
#include "tst_failsafe_page.moc"
