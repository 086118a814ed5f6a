// The main window over the simulated extender: its three conditions, Reconnect, the keys, and the
// version and About boxes.
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

#include "SimRig.h"
#include "app/TorvanReaderDlg.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

QString Text(const QWidget& window, int id)
{
    return ui::FindControl<QLabel>(&window, id)->text();
}

bool Enabled(const QWidget& window, int id)
{
    return ui::FindControl<QPushButton>(&window, id)->isEnabled();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ui::SetMessagePresenter({}); }

    void connectedAtStartUp()
    {
        SimRig rig;
        CTorvanReaderDlg dlg(rig.wire);
        QCOMPARE(Text(dlg, 1088), QString(" States: Connected"));
        QCOMPARE(Text(dlg, 1089), QString());
        QVERIFY(Enabled(dlg, 1001));
        QCOMPARE(dlg.windowTitle(), QString("Tessalink"));
        QCOMPARE(rig.Commands(), (std::vector<std::vector<uint8_t>>{{0xAA, 0x01, 0xAB}}));
        QCOMPARE(rig.wire.Records()[0].bytes[1], uint8_t(0x13));
        QVERIFY(ui::FindControl<QPushButton>(&dlg, 1002)->isHidden());
        QVERIFY(ui::FindControl<QPushButton>(&dlg, 1118)->isHidden());
    }

    void conditions_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<int>("refuseOrSilent"); // 0 fine, 1 refuse (0x55 0x01), 2 silent
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("instruction");
        QTest::addColumn<bool>("startEnabled");
        const QString connect = " Please connect the device to PC via USB to mini-USB cable.";
        QTest::newRow("device not found")
            << false << 0 << " States: Unconnected" << connect << false;
        QTest::newRow("refusing with 0x55 0x01 still counts") << true << 1 << " States: Connected"
                                                              << "" << true;
        QTest::newRow("silent device") << true << 2 << " States: Unconnected"
                                       << "" << false;
    }

    void conditions()
    {
        QFETCH(bool, present);
        QFETCH(int, refuseOrSilent);
        QFETCH(QString, state);
        QFETCH(QString, instruction);
        QFETCH(bool, startEnabled);
        SimRig rig;
        if (!present)
            rig.extender.Unplug();
        rig.extender.SetFaults({.refuse = refuseOrSilent == 1, .silent = refuseOrSilent == 2});
        CTorvanReaderDlg dlg(rig.wire);
        QCOMPARE(Text(dlg, 1088), state);
        QCOMPARE(Text(dlg, 1089), instruction);
        QCOMPARE(Enabled(dlg, 1001), startEnabled);
    }

    void reconnectAfterReplug()
    {
        SimRig rig;
        rig.extender.Unplug();
        CTorvanReaderDlg dlg(rig.wire);
        QVERIFY(!Enabled(dlg, 1001));

        rig.extender.Replug();
        MenuAction(dlg, "&Reconnect")->trigger();
        QCOMPARE(Text(dlg, 1088), QString(" States: Connected"));
        QCOMPARE(Text(dlg, 1089), QString());
        QVERIFY(Enabled(dlg, 1001));
        QVERIFY(Enabled(dlg, 1118));

        // Reconnect again and again: the old handles are closed each time.
        for (int i = 0; i < 3; ++i)
            dlg.OnReconnect();
        QCOMPARE(rig.extender.OpenHandleCount(), 2);

        // The sequence number goes on across reconnects: 4 connect checks so far, 0x13 .. 0x16.
        QCOMPARE(rig.wire.Records().back().bytes[1] & 0x7F, 0x16);

        rig.extender.SetFaults({.latencyMs = 1500}); // answers after the connect check gave up
        dlg.OnReconnect();
        QCOMPARE(Text(dlg, 1088), QString(" States: Unconnected"));
        QCOMPARE(Text(dlg, 1089), QString());
        QVERIFY(!Enabled(dlg, 1001));

        rig.extender.Unplug();
        dlg.OnReconnect();
        QCOMPARE(Text(dlg, 1089),
                 QString(" Please connect the device to PC via USB to mini-USB cable."));
    }

    void enterEnablesStartWhileUnconnected()
    {
        SimRig rig;
        rig.extender.Unplug();
        CTorvanReaderDlg dlg(rig.wire);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::keyClick(&dlg, Qt::Key_Return);
        QVERIFY(Enabled(dlg, 1001));
        QVERIFY(Enabled(dlg, 1002));
        QVERIFY(!Enabled(dlg, 1118));
        QCOMPARE(Text(dlg, 1088), QString(" States: Unconnected"));
        QVERIFY(dlg.isVisible());
    }

    void escapeAndExitClose()
    {
        SimRig rig;
        CTorvanReaderDlg byEsc(rig.wire);
        byEsc.show();
        QVERIFY(QTest::qWaitForWindowExposed(&byEsc));
        QTest::keyClick(&byEsc, Qt::Key_Escape);
        QVERIFY(!byEsc.isVisible());
        QCOMPARE(byEsc.result(), int(QDialog::Rejected));

        CTorvanReaderDlg byExit(rig.wire);
        byExit.show();
        MenuAction(byExit, "&Exit")->trigger();
        QVERIFY(!byExit.isVisible());
    }

    void versionAndAboutBoxes()
    {
        SimRig rig;
        rig.extender.Unplug(); // both work in every state
        CTorvanReaderDlg dlg(rig.wire);
        QStringList shown;
        ui::SetMessagePresenter([&](QWidget*, const QString& text) { shown << text; });
        MenuAction(dlg, "&About")->trigger();
        QCOMPARE(shown, QStringList{"Software Version 1.0.0.1"});

        QString title;
        QStringList texts;
        WhenModal([&](QWidget* box) {
            title = box->windowTitle();
            for (QLabel* label : box->findChildren<QLabel*>())
                texts << label->text();
        });
        MenuAction(dlg, "&About TorvanReader...")->trigger();
        QCOMPARE(title, QString("About TorvanReader"));
        QVERIFY(texts.contains("TorvanReader, Version 1.0"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
