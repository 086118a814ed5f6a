// The "Firmware" page in the tool window over the simulated extender: identification, loading,
// the commands and blocks on the wire, the flash afterwards, refusals and closing mid-run.
#include <QDir>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

#include "FirmwareRig.h"

namespace {

using Payloads = FirmwareRig::Payloads;
using Chip = SimDeviceModel::Chip;

const char* const kBusyText = "Busy: wait until the programming has ended.";

// The blocks an image must go out as: 0xAA blocks of 32 bytes, then one 0xBB block filled up
// with 0xFF.
Payloads ExpectedBlocks(const QByteArray& image)
{
    Payloads blocks;
    for (int offset = 0; offset < image.size(); offset += 32) {
        std::vector<uint8_t> block{offset + 32 >= image.size() ? uint8_t(0xBB) : uint8_t(0xAA)};
        for (int i = offset; i < std::min<int>(offset + 32, image.size()); ++i)
            block.push_back(static_cast<uint8_t>(image[i]));
        block.resize(33, 0xFF);
        blocks.push_back(block);
    }
    return blocks;
}

QByteArray FlashStart(SimExtender& extender, Chip chip, int size)
{
    const std::vector<uint8_t> flash = extender.Flash(chip);
    return QByteArray(reinterpret_cast<const char*>(flash.data()), size);
}

bool FlashErased(SimExtender& extender, Chip chip, int from = 0)
{
    const std::vector<uint8_t> flash = extender.Flash(chip);
    return std::all_of(flash.begin() + from, flash.end(), [](uint8_t b) { return b == 0xFF; });
}

} // namespace

class FirmwarePageTest : public QObject {
    Q_OBJECT

private slots:
    void showsBothChipsAtOpening()
    {
        FirmwareRig rig;
        rig.extender.WithModel([](SimDeviceModel& m) {
            m.SetIdentification(Chip::Remote, {0x53, 0x00, 0x05, 0x00});
        });
        rig.tool = std::make_unique<PerformanceTool>(rig.mainDlg.get());
        rig.page = static_cast<DlgProgrammer*>(rig.tool->Page(0));
        const Payloads sent = rig.Commands();
        // The snapshot's eleven reads come first, then the two identification reads.
        QCOMPARE(sent.size(), size_t(1 + 11 + 2));
        QCOMPARE(sent[12], (std::vector<uint8_t>{0x01, 0x01, 0x02}));
        QCOMPARE(sent[13], (std::vector<uint8_t>{0x01, 0x05, 0x06}));

        QCOMPARE(rig.Text(1011), QString("QX710"));
        QCOMPARE(rig.Text(1012), QString("3072.1"));
        QCOMPARE(rig.Text(1013), QString("TX"));
        QCOMPARE(rig.Text(1023), QString("")); // type index 5 has no name
        QCOMPARE(rig.Text(1024), QString("3000.5"));
        QCOMPARE(rig.Text(1025), QString("RX"));
        QCOMPARE(rig.Text(1010), QDir::homePath());
        QCOMPARE(rig.Text(1092), QString("N/A"));
        QCOMPARE(rig.Text(1093), QString("N/A"));
        QVERIFY(ui::FindControl<QRadioButton>(rig.page, 1033)->isChecked());
        const QList<QLabel*> labels = rig.page->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [](QLabel* l) { return !l->pixmap().isNull(); }));
        QVERIFY(rig.boxes.isEmpty());
    }

    void unansweredIdentificationLeavesTheFieldsEmpty()
    {
        FirmwareRig rig;
        rig.extender.SetFaults({.refuse = true});
        rig.Open();
        for (int id : {1011, 1012, 1013, 1023, 1024, 1025})
            QCOMPARE(rig.Text(id), QString());
    }

    void loadingShowsWhatTheFileHolds()
    {
        FirmwareRig rig;
        rig.Open();
        // Cancelled: nothing changes.
        rig.Load("");
        QCOMPARE(rig.Text(1010), QDir::homePath());
        QCOMPARE(rig.startDirs, QStringList{QDir::homePath()});

        QByteArray marked = CountingImage(300);
        marked.replace(100, 8, QByteArray::fromHex("1234fedc23072210"));
        // A HEX text is told by its first byte, whatever the file is called.
        const QString hexPath = rig.WriteFile("marked.BIN", PaddedHex(marked));
        rig.Load(hexPath);
        QCOMPARE(rig.Text(1010), hexPath);
        QCOMPARE(rig.Status(), QString("300 byte."));
        QCOMPARE(rig.Text(1092), QString("QX710TX"));
        QCOMPARE(rig.Text(1093), QString("3072.2"));

        // An image without a marker shows no identification, not the last image's.
        rig.Load(rig.WriteFile("plain.bin", CountingImage(400)));
        QCOMPARE(rig.startDirs.last(), rig.dir.path()); // the dialog opens where the last file was
        QCOMPARE(rig.Status(), QString("400 byte."));
        QCOMPARE(rig.Text(1092), QString("N/A"));
        QCOMPARE(rig.Text(1093), QString("N/A"));

        rig.Load(hexPath);
        QByteArray bad = PaddedHex(CountingImage(64));
        bad.replace(bad.indexOf(":20000000") + 9, 1, "X");
        rig.Load(rig.WriteFile("bad.hex", bad));
        QCOMPARE(
            rig.Status(),
            QString("Fail to convert the input from hex to bin! (line 21: 'X' is no hex digit)"));
        QCOMPARE(rig.Text(1092), QString("N/A"));
        rig.Click(1086);
        QCOMPARE(rig.boxes, QStringList{"Please load file first!"});

        rig.Load(hexPath);
        rig.Load(rig.WriteFile("short.bin", CountingImage(256)));
        QCOMPARE(rig.Status(), QString("File size 256 bytes: too small for a firmware image!"));
        QCOMPARE(rig.Text(1093), QString("N/A"));

        rig.Load(hexPath);
        const QString missing = rig.dir.filePath("missing.hex");
        rig.Load(missing);
        QCOMPARE(rig.Text(1010), missing);
        QCOMPARE(rig.Status(), QString("Cannot open the file!"));
        QCOMPARE(rig.Text(1092), QString("N/A"));
        rig.Click(1086);
        QCOMPARE(rig.boxes, (QStringList{"Please load file first!", "Please load file first!"}));
        QVERIFY(rig.Commands().empty());
    }

    void programsTheImageBlockByBlock_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {1, 31, 32, 33, 64, 65})
            QTest::addRow("%d bytes", size) << size;
        QTest::newRow("100000 bytes") << 100000;
    }

    void programsTheImageBlockByBlock()
    {
        QFETCH(int, size);
        FirmwareRig rig;
        rig.extender.WithModel([](SimDeviceModel& m) { m.SetFlashSize(128 * 1024); });
        rig.Open();
        auto* timer = rig.page->findChild<QTimer*>();
        QCOMPARE(timer->interval(), 5);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        if (size > 1000)
            rig.page->SetTickPeriod(std::chrono::milliseconds(0));

        const QByteArray image = CountingImage(size);
        rig.Load(rig.WriteFile("image.hex", PaddedHex(image)));
        rig.Click(1086);
        QVERIFY(rig.page->IsBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.page->IsBusy(), 20000);

        Payloads expected{{0x03, 0x02, 0x05}, {0x03, 0x03, 0x06}};
        const Payloads blocks = ExpectedBlocks(image);
        expected.insert(expected.end(), blocks.begin(), blocks.end());
        QCOMPARE(rig.Commands(), expected);
        QCOMPARE(rig.pauses, std::vector<uint32_t>{1000}); // the erase waits for the flash
        QCOMPARE(rig.boxes, QStringList{"Firmware update Completed!"});
        QCOMPARE(FlashStart(rig.extender, Chip::Local, size), image);
        QVERIFY(FlashErased(rig.extender, Chip::Local, size));
        QVERIFY(FlashErased(rig.extender, Chip::Remote));
        if (blocks.size() > 1)
            QCOMPARE(rig.Status(), QString("Count: %1.").arg(blocks.size() - 1));
        auto* bar = ui::FindControl<QProgressBar>(rig.page, 1087);
        QCOMPARE(bar->maximum(), int(blocks.size()));
        QCOMPARE(bar->value(), bar->maximum());

        // Idle again: the same image goes out once more.
        rig.wire.Clear();
        rig.boxes.clear();
        rig.Click(1086);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.page->IsBusy(), 20000);
        QCOMPARE(rig.Commands().size(), expected.size());
        QCOMPARE(rig.boxes, QStringList{"Firmware update Completed!"});
    }

    void anEmptyImageIsRefusedBeforeTheErase()
    {
        FirmwareRig rig;
        rig.Open();
        rig.Load(rig.WriteFile("empty.hex", PaddedHex({})));
        QCOMPARE(rig.Status(), QString("0 byte."));
        rig.Click(1086);
        QCOMPARE(rig.boxes, QStringList{"The image holds no data: nothing to program!"});
        QVERIFY(rig.Commands().empty());
        QVERIFY(!rig.page->IsBusy());
    }

    void remoteChipTakesTarget4()
    {
        FirmwareRig rig;
        rig.Open();
        const QByteArray image = CountingImage(65);
        rig.Load(rig.WriteFile("image.hex", PaddedHex(image)));
        rig.Click(1034);
        rig.Click(1086);
        QTRY_VERIFY(!rig.page->IsBusy());
        Payloads expected{{0x04, 0x02, 0x06}, {0x04, 0x03, 0x07}};
        const Payloads blocks = ExpectedBlocks(image);
        expected.insert(expected.end(), blocks.begin(), blocks.end());
        QCOMPARE(rig.Commands(), expected);
        QCOMPARE(FlashStart(rig.extender, Chip::Remote, 65), image);
        QVERIFY(FlashErased(rig.extender, Chip::Local));

        rig.wire.Clear();
        rig.Click(1084);
        rig.Click(1033);
        rig.Click(1084);
        QCOMPARE(rig.Commands(), (Payloads{{0x04, 0x04, 0x08}, {0x03, 0x04, 0x07}}));
        QCOMPARE(rig.boxes, (QStringList{"Firmware update Completed!", " Remote Reset done.",
                                         " Local Reset done."}));
        QCOMPARE(rig.pauses, (std::vector<uint32_t>{1000, 1000, 1000}));
        QCOMPARE(
            rig.extender.WithModel([](SimDeviceModel& m) { return m.RestartCount(Chip::Remote); }),
            1);
    }

    void refusedCommands_data()
    {
        QTest::addColumn<int>("refusedStep"); // index of the command refused in the sequence
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("commandsSent");
        QTest::newRow("erase") << 0 << QStringList{"Erase Fail!"} << "100 byte." << 1;
        QTest::newRow("begin write") << 1 << QStringList{"Fail", "Write Fail!"} << "100 byte." << 2;
        QTest::newRow("second of four blocks") << 3 << QStringList{} << "No 0xaa!" << 4;
        QTest::newRow("last block") << 5 << QStringList{"Fail!"} << "Count: 3." << 6;
    }

    void refusedCommands()
    {
        QFETCH(int, refusedStep);
        QFETCH(QStringList, boxes);
        QFETCH(QString, status);
        QFETCH(int, commandsSent);
        FirmwareRig rig;
        rig.Open();
        const QByteArray image = CountingImage(100);
        rig.Load(rig.WriteFile("image.hex", PaddedHex(image)));
        rig.extender.SetFaults({.refuse = true, .onlyNth = refusedStep + 1});
        rig.Click(1086);
        QTRY_VERIFY(!rig.page->IsBusy());
        QCOMPARE(rig.boxes, boxes);
        QCOMPARE(rig.Status(), status);
        QCOMPARE(int(rig.Commands().size()), commandsSent);

        // The image stays loaded: the next start erases again and sends it from its first byte.
        rig.boxes.clear();
        rig.Click(1086);
        QTRY_VERIFY(!rig.page->IsBusy());
        QCOMPARE(rig.boxes, QStringList{"Firmware update Completed!"});
        QCOMPARE(FlashStart(rig.extender, Chip::Local, image.size()), image);
    }

    void refusedRestart()
    {
        FirmwareRig rig;
        rig.Open();
        rig.extender.SetFaults({.refuse = true});
        rig.Click(1084);
        QCOMPARE(rig.boxes, QStringList{"Reset Fail."});
    }

    void busyRefusesASecondStartALoadAndARestart()
    {
        FirmwareRig rig;
        rig.Open();
        const QByteArray image = CountingImage(32 * 60);
        rig.Load(rig.WriteFile("image.hex", PaddedHex(image)));
        rig.Click(1086);
        QVERIFY(rig.page->IsBusy());
        auto* bar = ui::FindControl<QProgressBar>(rig.page, 1087);
        QCOMPARE(bar->maximum(), 60);
        QTRY_VERIFY(bar->value() > 0); // the bar moves while the run goes on

        bool chooserAsked = false;
        rig.page->SetFileChooser([&](QWidget*, const QString&) {
            chooserAsked = true;
            return QString();
        });
        rig.Click(1086);
        rig.Click(1077);
        QVERIFY(!chooserAsked);
        QCOMPARE(rig.Status(), QString(kBusyText));
        rig.Click(1084);
        QCOMPARE(rig.Status(), QString(kBusyText));
        QVERIFY(bar->value() < bar->maximum());

        QTRY_VERIFY(!rig.page->IsBusy());
        const Payloads sent = rig.Commands();
        QCOMPARE(sent.size(), size_t(2 + 60)); // one erase, one begin, the blocks: nothing else
        QCOMPARE(FlashStart(rig.extender, Chip::Local, image.size()), image);
        QCOMPARE(
            rig.extender.WithModel([](SimDeviceModel& m) { return m.RestartCount(Chip::Local); }),
            0);
        QCOMPARE(rig.boxes, QStringList{"Firmware update Completed!"});
    }

    void closingTheToolWindowMidRunStopsIt()
    {
        FirmwareRig rig;
        rig.Open();
        rig.tool->show();
        rig.Load(rig.WriteFile("image.hex", PaddedHex(CountingImage(32 * 200))));
        rig.Click(1086);
        QTRY_VERIFY(rig.Commands().size() > 5);
        QPointer<DlgProgrammer> page = rig.page;
        rig.tool->close();
        QVERIFY(page.isNull());
        const size_t sent = rig.Commands().size();
        QTest::qWait(50);
        QCOMPARE(rig.Commands().size(), sent);
        QVERIFY(sent < 2 + 200);
        QVERIFY(rig.boxes.isEmpty());
    }
};

QTEST_MAIN(FirmwarePageTest)
#include "tst_firmware_page.moc"
