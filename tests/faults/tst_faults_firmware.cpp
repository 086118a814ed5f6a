// The fault matrix of the Firmware page: each step of programming (erase, begin, a middle block,
// the last block) and "Apply Firmware" with the extender misbehaving on that step's command, what
// the page says, and programming or restarting again afterwards.
#include <QProgressBar>
#include <QtTest>

#include "FaultMatrix.h"
#include "firmware/FirmwareRig.h"

namespace {

using Chip = SimDeviceModel::Chip;

enum class Step { Erase, Begin, MiddleBlock, LastBlock, Reset };
constexpr std::array kSteps{Step::Erase, Step::Begin, Step::MiddleBlock, Step::LastBlock,
                            Step::Reset};

// Four blocks: three with more to follow, then the last.
constexpr int kImageSize = 100;
constexpr int kBlocks = 4;

struct StepPlay {
    const char* name;
    QByteArray prefix; // the command of the step
    int nth;
    QStringList boxes; // what the page says when the command is not acknowledged
    QString status;
    int commandsSent;
};

StepPlay Play(Step step)
{
    switch (step) {
    case Step::Erase:
        return {"erase", QByteArray::fromHex("030205"), 0, {"Erase Fail!"}, "100 byte.", 1};
    case Step::Begin:
        return {"begin", QByteArray::fromHex("030306"), 0, {"Fail", "Write Fail!"}, "100 byte.", 2};
    case Step::MiddleBlock:
        return {"second block", QByteArray::fromHex("aa"), 2, {}, "No 0xaa!", 4};
    case Step::LastBlock:
        return {"last block", QByteArray::fromHex("bb"), 0, {"Fail!"}, "Count: 3.", 2 + kBlocks};
    case Step::Reset:
        return {"Apply Firmware", QByteArray::fromHex("030407"), 0, {"Reset Fail."}, "", 1};
    }
    return {};
}

QByteArray FlashStart(SimExtender& extender, int size)
{
    const std::vector<uint8_t> flash = extender.Flash(Chip::Local);
    return QByteArray(reinterpret_cast<const char*>(flash.data()), size);
}

} // namespace

Q_DECLARE_METATYPE(Step)

class FirmwareFaultsTest : public QObject {
    Q_OBJECT

private slots:
    void stepThroughAFault_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Step>("step");
        for (Step step : kSteps) {
            for (Fault fault : kFaults)
                QTest::addRow("%s / %s", FaultName(fault), Play(step).name) << fault << step;
        }
    }

    void stepThroughAFault()
    {
        QFETCH(Fault, fault);
        QFETCH(Step, step);
        const StepPlay play = Play(step);
        FirmwareRig rig;
        rig.Open();
        const QByteArray image = CountingImage(kImageSize);
        const QString path = rig.WriteFile("image.hex", PaddedHex(image));
        rig.Load(path);
        rig.page->SetTickPeriod(std::chrono::milliseconds(0));
        rig.extender.SetFaults(Playing(fault, Bytes(play.prefix), play.nth));

        if (step == Step::Reset) {
            Restart(rig, Fails(fault) ? play.boxes : QStringList{" Local Reset done."});
            QCOMPARE(rig.Commands().size(), size_t(play.commandsSent));
        } else {
            Program(rig);
            if (QTest::currentTestFailed())
                return;
            QCOMPARE(rig.boxes,
                     Fails(fault) ? play.boxes : QStringList{"Firmware update Completed!"});
            QCOMPARE(rig.Status(), Fails(fault) ? play.status : QString("Count: 3."));
            QCOMPARE(int(rig.Commands().size()), Fails(fault) ? play.commandsSent : 2 + kBlocks);
            if (!Fails(fault))
                QCOMPARE(FlashStart(rig.extender, kImageSize), image);
        }
        if (!Fails(fault))
            return;

        // The user goes on: with the fault gone, or after plugging the device in again and
        // reconnecting, the same image programs in full and the chip restarts.
        if (fault == Fault::Unplug) {
            rig.ReplugAndReopen();
            rig.page = &rig.PageAt<DlgProgrammer>(PerformanceTool::FirmwareTab);
            rig.Load(path);
            rig.page->SetTickPeriod(std::chrono::milliseconds(0));
        } else {
            rig.extender.SetFaults({});
        }
        rig.boxes.clear();
        rig.wire.Clear();
        if (step == Step::Reset) {
            Restart(rig, {" Local Reset done."});
            QCOMPARE(rig.extender.WithModel(
                         [](SimDeviceModel& m) { return m.RestartCount(Chip::Local); }),
                     fault == Fault::Unplug
                         ? 1
                         : 2); // the silent and the refusing chip restarted unheard
            return;
        }
        Program(rig);
        QCOMPARE(rig.boxes, QStringList{"Firmware update Completed!"});
        QCOMPARE(int(rig.Commands().size()), 2 + kBlocks);
        QCOMPARE(FlashStart(rig.extender, kImageSize), image);
        auto* bar = ui::FindControl<QProgressBar>(rig.page, 1087);
        QCOMPARE(bar->value(), bar->maximum());
    }

private:
    // "Read Firmware from file": the click erases and opens the write sequence, then the
    // programming timer sends one block per tick until the run ends.
    static void Program(FirmwareRig& rig)
    {
        const StepCost click = Measure(rig.mainDlg->Channel(), [&] { rig.Click(1086); });
        QString over = click.OverBound(2, kFlashCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));

        StallMeter stalls;
        const StepCost run = Measure(rig.mainDlg->Channel(), [&] {
            QTRY_VERIFY_WITH_TIMEOUT(!rig.page->IsBusy(), kBlocks * kChunkBoundMs);
        });
        over = run.OverBound(kBlocks, kChunkBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));
        // One block per tick: the window never froze longer than one block may take.
        QVERIFY2(stalls.LongestMs() <= kChunkBoundMs,
                 qPrintable(QString::number(stalls.LongestMs())));
        QVERIFY(!rig.page->IsBusy());
    }

    // "Apply Firmware".
    static void Restart(FirmwareRig& rig, const QStringList& boxes)
    {
        const StepCost click = Measure(rig.mainDlg->Channel(), [&] { rig.Click(1084); });
        const QString over = click.OverBound(1, kFlashCommandBoundMs);
        QVERIFY2(over.isEmpty(), qPrintable(over));
        QCOMPARE(rig.boxes, boxes);
    }
};

QTEST_MAIN(FirmwareFaultsTest)
#include "tst_faults_firmware.moc"
