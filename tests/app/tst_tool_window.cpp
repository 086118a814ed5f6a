// The tool window over the simulated extender: the snapshot at opening, the tabs and pages, and
// every way out shutting the pages down.
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "SimRig.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"
#include "ui/ToolPage.h"

namespace {

using Payloads = std::vector<std::vector<uint8_t>>;

const Payloads kSnapshotReads{
    {0x01, 0x04, 0x05}, {0x01, 0x08, 0x09}, {0x01, 0x09, 0x0A}, {0x01, 0x0B, 0x0C},
    {0x01, 0x11, 0x12}, {0x01, 0x0C, 0x0D}, {0x01, 0x12, 0x13}, {0x01, 0x0E, 0x0F},
    {0x01, 0x14, 0x15}, {0x02, 0x02, 0x04}, {0x02, 0x04, 0x06},
};

} // namespace

class ToolWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ui::SetMessagePresenter({}); }

    void snapshotReadsElevenRegistersInOrder()
    {
        SimRig rig;
        CTorvanReaderDlg mainDlg(rig.wire);
        rig.extender.SetRegister(0x01, 0x04, {7, 9, 9, 9});
        rig.extender.SetRegister(0x01, 0x09, {10, 20, 30, 40});
        // (1, 0x08) is not set: the device refuses it, and the reads after it still run.
        for (uint8_t reg : {0x0B, 0x11, 0x0C, 0x12, 0x0E, 0x14})
            rig.extender.SetRegister(0x01, reg, {1, 2, 3, 4});
        rig.extender.SetRegister(0x02, 0x02, {2});
        rig.extender.SetRegister(0x02, 0x04, {1});
        rig.wire.Clear();

        PerformanceTool tool(&mainDlg);
        Payloads reads = rig.Commands();
        // The pages' own start-up reads come after the snapshot.
        QVERIFY(reads.size() >= kSnapshotReads.size());
        reads.resize(kSnapshotReads.size());
        QCOMPARE(reads, kSnapshotReads);

        const RegisterSnapshot& snapshot = tool.Snapshot();
        QVERIFY(snapshot.IsValid(0x01, 0x04));
        QCOMPARE(snapshot.Data(0x01, 0x04)[0], uint8_t(7));
        QCOMPARE(snapshot.Data(0x01, 0x04)[1], uint8_t(0)); // one data byte stored
        QVERIFY(!snapshot.IsValid(0x01, 0x08));
        QCOMPARE(snapshot.Data(0x01, 0x09)[3], uint8_t(40));
        QVERIFY(snapshot.IsValid(0x02, 0x04));
        QCOMPARE(snapshot.Data(0x02, 0x02)[0], uint8_t(2));
    }

    void tabsAndPages()
    {
        SimRig rig;
        CTorvanReaderDlg mainDlg(rig.wire);
        PerformanceTool tool(&mainDlg);
        tool.show();
        auto* tabs = ui::FindControl<QTabWidget>(&tool, 1004);
        QCOMPARE(tabs->count(), 4);
        const QStringList captions{"Firmware", "Status", "Burn-In Test", "Fail-Safe Setting"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(tabs->tabText(i), captions[i]);
        QCOMPARE(tool.CurrentTab(), 0);
        QVERIFY(tool.Page(0)->isVisible());
        for (int i = 1; i < 4; ++i)
            QVERIFY(!tool.Page(i)->isVisible());

        tabs->setCurrentIndex(2);
        QCOMPARE(tool.CurrentTab(), 2);
        QVERIFY(tool.Page(2)->isVisible());
        QVERIFY(!tool.Page(0)->isVisible());
        tabs->setCurrentIndex(2);
        QVERIFY(tool.Page(2)->isVisible());
    }

    void silentDeviceOpensWithNoValidEntries()
    {
        SimRig rig;
        CTorvanReaderDlg mainDlg(rig.wire);
        rig.extender.SetFaults({.latencyMs = 30});
        rig.extender.Unplug();
        PerformanceTool tool(&mainDlg);
        for (uint8_t reg : {0x04, 0x08, 0x09, 0x0B})
            QVERIFY(!tool.Snapshot().IsValid(0x01, reg));
    }

    void everyWayOutShutsThePagesDown_data()
    {
        QTest::addColumn<QString>("way");
        QTest::newRow("close box") << "close";
        QTest::newRow("Esc") << "esc";
        QTest::newRow("menu Exit") << "exit";
    }

    void everyWayOutShutsThePagesDown()
    {
        QFETCH(QString, way);
        SimRig rig;
        CTorvanReaderDlg mainDlg(rig.wire);
        PerformanceTool tool(&mainDlg);
        tool.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tool));
        QPointer<ToolPage> page = tool.Page(1);
        if (way == "close")
            tool.close();
        else if (way == "esc")
            QTest::keyClick(&tool, Qt::Key_Escape);
        else
            MenuAction(tool, "&Exit")->trigger();
        QVERIFY(!tool.isVisible());
        QVERIFY(page.isNull());
        QVERIFY(tool.Page(1) == nullptr);
    }

    void startToAnalyzeRunsTheToolWindowModally()
    {
        SimRig rig;
        CTorvanReaderDlg mainDlg(rig.wire);
        mainDlg.show();
        QString shownTab;
        QStringList boxes;
        ui::SetMessagePresenter([&](QWidget*, const QString& text) { boxes << text; });
        WhenModal([&](QWidget* window) {
            auto* tool = qobject_cast<PerformanceTool*>(window);
            QVERIFY(tool);
            shownTab = ui::FindControl<QTabWidget>(tool, 1004)->tabText(tool->CurrentTab());
            MenuAction(*tool, "&About")->trigger();
        });
        ui::FindControl<QPushButton>(&mainDlg, 1001)->click();
        QCOMPARE(shownTab, QString("Firmware"));
        QCOMPARE(boxes, QStringList{"Software Version 1.0.0.1"});
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(ToolWindowTest)
#include "tst_tool_window.moc"
