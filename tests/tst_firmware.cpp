// The Firmware page in its tool window: both chips' identification, loading a file, the
// programming stream on the wire and the flash afterwards, and what it refuses. Refused and
// unanswered steps of a run are rows of the fault matrix.
#include <random>

#include "HexText.h"
#include "Rig.h"
#include "TestPlatform.h"
#include "device/Waitable.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/ImageGuard.h"
#include "firmware/IncompleteMarks.h"
#include "firmware/UserSettings.h"

using enum FirmwareControl::Id; // the page's controls by name

namespace {

using Chip = SimDeviceModel::Chip;

const QByteArray kPadding = QByteArray(":0000000000\r\n").repeated(20);

struct Firmware {
    InTempDir dir;
    Rig rig;
    DlgProgrammer* page;
    QStringList startDirs;

    explicit Firmware(std::array<uint8_t, 4> remote = {0x33, 0x07, 0x21, 0x00})
    {
        rig.extender.WithModel([&](SimDeviceModel& m) {
            m.SetFlashSize(128 * 1024);
            m.SetIdentification(Chip::Remote, remote);
        });
        rig.Open();
        page = &rig.page<DlgProgrammer>();
        rig.wire.Clear();
    }
    void Load(const QString& path) // what the user picks after "..."
    {
        page->SetFileChooser([this, path](QWidget*, const QString& startDir) {
            startDirs << startDir;
            return path;
        });
        Click(page, Browse);
    }
    // image as a HEX file, long enough for any image: empty records pad it.
    void LoadHex(const QByteArray& image, const char* name = "image.hex")
    {
        Load(WriteFile(name, kPadding + QByteArray::fromStdString(hextext::Write(AsBytes(image)))));
    }
    void Program()
    {
        Click(page, FirmwareControl::Program);
        QTRY_VERIFY_WITH_TIMEOUT(!page->IsBusy(), 20000);
    }
    int Restarts(Chip chip)
    {
        return rig.extender.WithModel([&](SimDeviceModel& m) { return m.RestartCount(chip); });
    }
};

// A pattern whose first 8 bytes name the chip id (QX710 TX unless told otherwise) where they fit,
// so that the image goes to the local chip unasked.
QByteArray Counting(int size, const char* id = "1234fedc23072110")
{
    return size < 8 ? Pattern(size) : Pattern(size).replace(0, 8, QByteArray::fromHex(id));
}

// An image of 65 bytes that names the local chip, and the blocks it is sent in.
const QByteArray kSixtyFive = [] {
    QByteArray image = QByteArray::fromHex("1234fedc23072110");
    for (int i = 8; i < 65; ++i)
        image += char(i);
    return image;
}();
const QStringList kSixtyFiveBlocks = {
    "aa1234fedc2307211008090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
    "aa202122232425262728292a2b2c2d2e2f303132333435363738393a3b3c3d3e3f",
    "bb40ffffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff"};

// The identification bytes after the marker, in hex, of an image and of the chip, and the question
// asked before the erase ("": none).
struct Mismatch {
    QByteArray image, chip;
    QString asked;
};

// Whether the marks' file is a folder (else its folder is a file), the page's button or
// torvanreader-cli's command, the exit code, and whether the chip was erased or restarted.
struct KeptMarks {
    bool unreadable = false;
    QString command;
    int exit = 0;
    bool changed = false;
};

const QString kRisk = " Programming it may leave the unit unusable. Program it anyway?";

} // namespace

class FirmwareTest : public QObject {
    Q_OBJECT

private slots:
    void showsBothChips()
    {
        Firmware fw({0x53, 0, 5, 0});
        QCOMPARE(Texts(fw.page, {LocalType, LocalRevision, LocalRole, RemoteType, RemoteRevision,
                                 RemoteRole, ImageType, ImageRevision}),
                 (QStringList{"QX710", "3072.1", "TX", "", "3000.5", "RX", "N/A", "N/A"}));
    }

    // A file is taken by what it holds, whatever its name; what would harm a chip is refused with
    // the reason, and what the page refuses sends nothing.
    void loadsFilesAndRefusesWhatWouldHarmAChip()
    {
        Firmware fw;
        fw.Load(""); // cancelled: nothing changes
        QVERIFY(ui::FindControl<QRadioButton>(fw.page, Local)->isChecked());
        QCOMPARE(Text(fw.page, Path), QDir::homePath());
        QByteArray marked = Counting(300, "0000000000000000");
        marked.replace(100, 8, QByteArray::fromHex("1234fedc23072210"));
        fw.LoadHex(marked, "marked.BIN"); // HEX by its first byte, whatever its name
        QCOMPARE(Texts(fw.page, {Path, Status, ImageType, ImageRevision}),
                 (QStringList{QDir::current().filePath("marked.BIN"), "300 byte.", "QX710TX",
                              "3072.2"}));
        const auto refused = [&](const QString& path, const QString& status) {
            fw.LoadHex(marked);
            fw.Load(path);
            QCOMPARE(Texts(fw.page, {Status, ImageType, ImageRevision}),
                     (QStringList{status, "N/A", "N/A"}));
        };
        refused(WriteFile("plain", Counting(400, "0000000000000000")), "400 byte."); // no id
        QCOMPARE(fw.startDirs.last(), QDir::currentPath()); // where the last file was
        refused(WriteFile("refused", kPadding + ":02000000GG00FE\r\n"),
                "Fail to convert the input from hex to bin! (line 21: 'G' is no hex digit)");
        Click(fw.page, Program);
        refused(WriteFile("refused", Counting(256)),
                "File size 256 bytes: too small for a firmware image!");
        // A file that cannot be opened or read: the page says it plainly. (The system's cause the
        // command line shows is its suite's.)
        for (const char* path : {"missing.hex", "."}) // "." a directory, not measured as a file
            refused(path, "Cannot open the file!");
        Click(fw.page, Program);
        fw.LoadHex({});
        QCOMPARE(Text(fw.page, Status), "0 byte.");
        Click(fw.page, Program); // an empty image is refused before the erase
        QCOMPARE(fw.rig.boxes, QStringList(2, "Please load file first!")
                                   << "The image holds no data: nothing to program!");
        QCOMPARE(fw.rig.Commands(), Payloads());
    }

    // While another job uses the wire no update starts, and while one runs no other starts.
    void oneJobOnTheWireAtATime()
    {
        Firmware fw;
        auto& status = fw.rig.page<Tool1Main>();
        auto& burnIn = fw.rig.page<CBIT>();
        const QByteArray image = Counting(32 * 60);
        fw.LoadHex(image);
        for (auto [page, start] : {std::pair<QWidget*, int>{&status, StatusControl::Test},
                                   {&burnIn, BurnInControl::StartStop}}) {
            Click(page, start);
            Click(fw.page, Program);
            Click(page, start);
        }
        fw.rig.wire.Clear();
        Click(fw.page, Program);
        Click(&status, StatusControl::Test);
        Click(&burnIn, BurnInControl::StartStop);
        fw.rig.page<ResetTool>().OnBnClickedOn();
        fw.rig.page<ResetTool>().OnBnClickedOff();
        QVERIFY(!status.IsRunning());
        QVERIFY(!burnIn.IsRunning());
        const QString running =
            "A firmware update is running. Start the test again when it has ended.";
        const QString switching =
            "A firmware update is running. Switch the fail-safe on or off when it has ended.";
        QCOMPARE(fw.rig.boxes,
                 (QStringList{"Stop the Status test first.", "Stop the burn-in test first.",
                              running, running, switching, switching}));
        auto* bar = ui::FindControl<QProgressBar>(fw.page, Progress);
        QTRY_VERIFY(bar->value() > 0); // the bar moves with the run
        fw.startDirs.clear();
        Click(fw.page, Program); // a second start: ignored without a word
        QVERIFY(Text(fw.page, Status).startsWith("Count: "));
        for (int id : {Browse, Apply}) { // a new image, a restart: refused
            Click(fw.page, id);
            QCOMPARE(Text(fw.page, Status), "Busy: wait until the programming has ended.");
        }
        QCOMPARE(fw.startDirs, QStringList());
        QCOMPARE_LT(bar->value(), bar->maximum());
        QTRY_VERIFY(!fw.page->IsBusy());
        QCOMPARE(fw.rig.Commands().size(), size_t(2 + 60)); // nothing but the update
        QVERIFY(fw.rig.Holds(Chip::Local, image));
        QCOMPARE(fw.Restarts(Chip::Local), 0);
        QCOMPARE(fw.rig.boxes.last(), "Firmware update Completed!");
    }

    // A run stopped in any way, here by closing the window with Yes, marks the chip for every
    // later window and command: a restart asks first (No: the fault rows), info shows it.
    void stoppedRunMarksTheChip()
    {
        Firmware fw;
        const QByteArray image = Counting(32 * 60);
        fw.LoadHex(image);
        Click(fw.page, Program);
        fw.rig.answers = {true};
        fw.rig.tool->done(0);
        fw.rig.tool.reset(); // as "Start to Analyze" destroys it once it returns
        fw.rig.main.reset();
        const CliResult applied = RunCli(fw.rig.wire, "apply --to local");
        QCOMPARE(applied.code, 4);
        QVERIFY2(applied.err.endsWith("(--yes restarts it anyway)\n"), qPrintable(applied.err));
        const QString info = RunCli(fw.rig.wire, "--json info").out;
        QVERIFY2(info.contains(R"("incomplete_image":["local"])"), qPrintable(info));
        QCOMPARE(RunCli(fw.rig.wire, "apply --to local --yes").out, " Local Reset done.\n");
        fw.page = fw.rig.Open().findChild<DlgProgrammer*>();
        fw.rig.boxes.clear();
        fw.rig.answers = {true};
        Click(fw.page, Apply);
        fw.LoadHex(image);
        fw.Program();
        Click(fw.page, Apply); // complete again: restarted unasked
        QCOMPARE(fw.rig.boxes, (QStringList{firmware::kRestartMarkedQuestion, " Local Reset done.",
                                            "Firmware update Completed!", " Local Reset done."}));
        QCOMPARE(fw.Restarts(Chip::Local), 3);
    }

    // Closing the window during an update asks "… Stop it?"; an update ending meanwhile (any end)
    // takes the question with it: the window closes as after a completed one, even on No.
    void updateEndingTakesTheQuestionWithIt()
    {
        Firmware fw;
        fw.LoadHex(Counting(32 * 60));
        Click(fw.page, Program);
        const QPointer<DlgProgrammer> page = fw.page;
        ui::SetBoxPresenter([&](const ui::Box& box) {
            fw.rig.boxes << box.text; // a question unanswered until the update has ended, then No
            return box.question && !QTest::qWaitFor([&] { return !page->IsBusy(); });
        });
        fw.rig.tool->done(0);
        QCOMPARE(fw.rig.boxes,
                 (QStringList{firmware::kStopQuestion, "Firmware update Completed!"}));
        QVERIFY(page.isNull());
    }

    // Units updated at once mark and clear their chips from threads of their own: no mark of one
    // is lost to another's, in the settings file the windows and every later command read.
    void marksOfUnitsUpdatedAtOnce()
    {
        Rig rig; // the user's settings
        std::vector<std::unique_ptr<SimExtender>> units;
        for (int unit = 0; unit < 8; ++unit)
            units.push_back(std::make_unique<SimExtender>("sim:" + std::to_string(unit),
                                                          "M" + std::to_string(unit)));
        SimUnits pc({units[0].get(), units[1].get(), units[2].get(), units[3].get(), units[4].get(),
                     units[5].get(), units[6].get(), units[7].get()});
        std::vector<std::unique_ptr<CHidCmd>> channels;
        for (int unit = 0; unit < 8; ++unit) {
            channels.push_back(std::make_unique<CHidCmd>(pc));
            QVERIFY(channels.back()->Transport().Open("sim:" + std::to_string(unit)));
        }
        std::vector<std::thread> threads;
        for (int unit = 0; unit < 8; ++unit) {
            threads.emplace_back([&, unit] { // the even units end marked, the odd ones clear
                firmware::IncompleteMarks marks(*channels[size_t(unit)]);
                for (int round = 0; round < 20; ++round)
                    marks.Mark(frames::Chip::Local, round % 2 == 0 || unit % 2 == 0);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        // As another program reads the file: a copy, which this program has never read.
        const QString copy = rig.settings.filePath("copy.ini");
        QVERIFY(QFile::copy(UserSettings().fileName(), copy));
        const QSettings kept(copy, QSettings::IniFormat);
        for (int unit = 0; unit < 8; ++unit) // each mark notes the port it was made in
            QCOMPARE(kept.value(QString("IncompleteImage/M%1/local").arg(unit)).toStringList(),
                     unit % 2 == 0 ? QStringList{QString("sim:%1").arg(unit)} : QStringList{});
    }

    // A sleep that ends early, as Windows' Sleep may without its high-resolution timer, sends no
    // block early: the page reads the clock again until the block is due. On a clock of the test's
    // own, so that a busy machine can neither fail it nor hide the fault: time passes only in the
    // page's sleeps, each up to a millisecond short, and in answers that take their time.
    void blocksNeverGoEarly()
    {
        using std::chrono::microseconds;
        struct Stamped : RecordingBackend { // the clock's time of each report written
            using RecordingBackend::RecordingBackend;
            HidTransfer Write(HidHandle handle, const uint8_t* report, size_t length,
                              int timeoutMs) override
            {
                stamps.push_back(now);
                now += microseconds(random() % 3000); // the answer's time
                return RecordingBackend::Write(handle, report, length, timeoutMs);
            }
            std::chrono::steady_clock::duration now{};
            std::vector<std::chrono::steady_clock::duration> stamps;
            std::minstd_rand random{5};
        };
        InTempDir dir;
        Rig rig;
        rig.extender.WithModel([](SimDeviceModel& m) { m.SetFlashSize(128 * 1024); });
        Stamped sent(rig.bounded); // as the UI thread sends, before the write's thread
        rig.windowsBackend = &sent;
        const auto windowsFirst = qScopeGuard([&] { // they go before what they send through
            rig.tool.reset();
            rig.main.reset();
        });
        auto* early = rig.Open().findChild<DlgProgrammer*>();
        early->SetPace({[&] { return sent.now; },
                        [&](microseconds wait) {
                            sent.now += std::max(wait - microseconds(sent.random() % 1000),
                                                 microseconds(1));
                        }});
        early->SetFileChooser([](QWidget*, const QString&) {
            return WriteFile("early.hex",
                             QByteArray::fromStdString(hextext::Write(AsBytes(Counting(32 * 30)))));
        });
        Click(early, Browse);
        sent.stamps.clear();
        Click(early, FirmwareControl::Program);
        QTRY_VERIFY(!early->IsBusy());
        QCOMPARE(sent.stamps.size(), size_t(2 + 30)); // the erase, the write opened, the blocks
        for (size_t block = 3; block < sent.stamps.size(); ++block)
            QVERIFY2(sent.stamps[block] - sent.stamps[block - 1] >= firmware::kBlockPeriod,
                     qPrintable(QString("block %1 went early").arg(block - 1)));
    }

    // The end of the user's session waits while a chip is programmed, and stops the update at the
    // step in hand when it comes all the same: the chip stays marked and nothing more goes out.
    void sessionEndStopsTheUpdate()
    {
        Firmware fw;
        fw.LoadHex(Counting(32 * 400));
        Click(fw.page, FirmwareControl::Program);
        QTRY_VERIFY(fw.rig.Commands().size() > 10);
        const std::optional<bool> held = EndTheSession(*fw.rig.tool);
        if (!held)
            QSKIP("no window hears of the session's end on this system");
        QVERIFY(*held);
        QVERIFY(!fw.page->IsBusy());
        const size_t sent = fw.rig.Commands().size();
        QTest::qWait(50);
        QCOMPARE(fw.rig.Commands().size(), sent);
        QCOMPARE(firmware::IncompleteMarks(fw.rig.main->Channel()).State(frames::Chip::Local),
                 firmware::MarkState::Incomplete);
    }

    // A chip's mark is found again for its unit whatever else is plugged in: a twin with the same
    // serial number plugged in or pulled out changes nothing, the twin's completed update clears
    // only the twin's mark, and a unit alone clears its mark made in another port.
    void marksFollowTheirUnit()
    {
        const auto marked = [](Rig& rig, const char* path, std::optional<bool> set = {}) {
            CHidCmd channel(rig.wire);
            if (!channel.Transport().Open(path))
                return QString("not opened");
            firmware::IncompleteMarks marks(channel);
            if (set)
                marks.Mark(frames::Chip::Local, *set);
            return QString(marks.State(frames::Chip::Local) == firmware::MarkState::Incomplete
                               ? "incomplete"
                               : "clear");
        };
        const char *first = SimExtender::kPath, *twin = "sim:second";
        {
            Rig rig("TWIN", "TWIN");
            QCOMPARE(marked(rig, first, true), "incomplete");
            rig.second.Replug();
            QCOMPARE(marked(rig, first), "incomplete");
            QCOMPARE(marked(rig, twin), "incomplete"); // either may be the one marked
            QCOMPARE(marked(rig, twin, false), "incomplete");
            rig.second.Unplug();
            QCOMPARE(marked(rig, first), "incomplete");
            QCOMPARE(marked(rig, first, false), "clear");
        }
        Rig rig("SOLO", "SOLO"); // one unit, plugged in elsewhere in the end
        rig.second.Replug();
        rig.extender.Unplug();
        QCOMPARE(marked(rig, twin, true), "incomplete");
        rig.second.Unplug();
        rig.extender.Replug();
        QCOMPARE(marked(rig, first), "incomplete");
        QCOMPARE(marked(rig, first, false), "clear");
    }

    // A mark that cannot be stored is asked about before the erase, and marks that cannot be read
    // count as unknown before a restart: the window asks, naming the file and the cause (No, the
    // default, sends nothing); the command line refuses off a terminal unless --yes.
    void marksThatCannotBeKept_data()
    {
        const QString program = QString::number(Program), apply = QString::number(Apply);
        AddRows<KeptMarks>({
            {"not stored: Read Firmware from file asks", {.command = program}},
            {"not stored: flash refuses", {.command = "flash --to local x.hex", .exit = 4}},
            {"not stored: flash --yes",
             {.command = "flash --to local --yes x.hex", .changed = true}},
            {"unreadable: Apply Firmware asks", {.unreadable = true, .command = apply}},
            {"unreadable: apply refuses",
             {.unreadable = true, .command = "apply --to local", .exit = 4}},
        });
    }
    void marksThatCannotBeKept()
    {
        QFETCH(KeptMarks, row);
        const auto& [unreadable, command, code, sent] = row;
        Firmware fw;
        fw.LoadHex(Counting(320), "x.hex");
        const QFileInfo ini(fw.rig.settings.filePath("TorvanReader/TorvanReader.ini"));
        QDir(ini.path()).removeRecursively();
        if (unreadable)
            QVERIFY(QDir().mkpath(ini.filePath()));
        else
            QVERIFY(!WriteFile(ini.path(), {}).isEmpty());
        QString said;
        if (command.toInt()) {
            Click(fw.page, command.toInt());
            said = fw.rig.boxes.join('|');
        } else {
            fw.rig.tool.reset(); // the command line takes the unit over
            fw.rig.main.reset();
            const CliResult run = RunCli(fw.rig.wire, command);
            QCOMPARE(run.code, code);
            said = run.err;
        }
        const QString cause = " (" + (unreadable ? kFolderReadCause : kUnderAFileCause) + ")";
        QVERIFY2(said.contains(QDir::toNativeSeparators(ini.filePath()) + cause), qPrintable(said));
        QCOMPARE(std::ranges::count_if(fw.rig.Commands(), [](auto& c) { return c[0] == 3; }) > 0,
                 sent);
    }

    void programsTheLocalChip()
    {
        Firmware fw;
        fw.LoadHex(kSixtyFive);
        fw.Program();
        QCOMPARE(fw.rig.Commands(), Wire("030205 030306 " + kSixtyFiveBlocks.join(' ')));
        QCOMPARE(fw.rig.pauses, std::vector<uint32_t>{1000}); // the erase waits for the flash
        QCOMPARE(fw.rig.boxes, QStringList{"Firmware update Completed!"});
        QVERIFY(fw.rig.Holds(Chip::Local, kSixtyFive));
        QVERIFY(fw.rig.Holds(Chip::Remote, {}));
    }

    // An image for another chip is asked about before the erase; No sends nothing. This one ends
    // on a full block, marked last all the same.
    void asksBeforeAnotherChipsImage()
    {
        Firmware fw;
        fw.LoadHex(kSixtyFive.left(64));
        fw.rig.wire.Clear();
        Click(fw.page, Remote);
        fw.rig.answers = {false, true};
        Click(fw.page, Program);
        QCOMPARE(fw.rig.Commands(), Payloads());
        fw.Program();
        const QString question =
            "This image is for QX710 TX, but the chip you chose is QX720 RX." + kRisk;
        QCOMPARE(fw.rig.boxes, (QStringList{question, question, "Firmware update Completed!"}));
        QCOMPARE(fw.rig.Commands(),
                 Wire("040206 040307 " + kSixtyFiveBlocks[0] + " bb" + kSixtyFiveBlocks[1].mid(2)));
        QVERIFY(fw.rig.Holds(Chip::Remote, kSixtyFive.left(64)));
    }

    void restartsEitherChip()
    {
        Firmware fw;
        Click(fw.page, Remote);
        Click(fw.page, Apply);
        Click(fw.page, Local);
        Click(fw.page, Apply);
        QCOMPARE(fw.rig.Commands(), Wire("040408 030407"));
        QCOMPARE(fw.rig.boxes, (QStringList{" Remote Reset done.", " Local Reset done."}));
        QCOMPARE(fw.rig.pauses, std::vector<uint32_t>(2, 1000)); // each restart waits for it
        QCOMPARE(fw.Restarts(Chip::Local), 1);
        QCOMPARE(fw.Restarts(Chip::Remote), 1);
    }

    // The question before the erase names what each side is, or says which one is unknown.
    void questionNamesEachSide_data()
    {
        const QString mismatch = "This image is for %1, but the chip you chose is QX710 TX.";
        AddRows<Mismatch>({
            {"another revision of the same chip",
             {.image = "23072110", .chip = "22050010", .asked = ""}},
            {"another role",
             {.image = "23000000", .chip = "23000010", .asked = mismatch.arg("QX710 RX")}},
            {"another chip type",
             {.image = "53000010", .chip = "23000010", .asked = mismatch.arg("chip type 5 TX")}},
            {"the chip unknown",
             {.image = "23000010",
              .chip = "",
              .asked = "The chip you chose did not tell what it is, so nothing tells whether this "
                       "image, for QX710 TX, fits it."}},
            {"both unknown",
             {.image = "",
              .chip = "",
              .asked = "Neither this image nor the chip you chose tells what it is, so nothing "
                       "tells whether they fit."}},
        });
    }
    void questionNamesEachSide()
    {
        QFETCH(Mismatch, row);
        const auto block = [](const QByteArray& hex) { // none from the marker alone
            return firmware::FindImageInfo(Hex("1234fedc" + hex));
        };
        const auto found = firmware::ImageMismatch(block(row.image), block(row.chip));
        QCOMPARE(QString::fromStdString(found ? found->Question() : ""),
                 row.asked.isEmpty() ? "" : row.asked + kRisk);
    }

    // The command line sends the page's stream, the remote sample's here.
    void commandLineSendsThePagesStream()
    {
        Firmware fw;
        const QString path = QT_TESTCASE_SOURCEDIR "/../samples/firmware/demo-remote-rx-3072.2.hex";
        fw.Load(path);
        Click(fw.page, Remote);
        fw.Program();
        Rig rig;
        rig.extender.WithModel([](SimDeviceModel& m) { m.SetFlashSize(128 * 1024); });
        const CliResult flash = RunCli(rig.wire, "flash --to remote --apply " + path);
        QCOMPARE(flash.out, "Image: 8192 byte. IC Type: QX720RX  FW Revision: 3072.2  SHA-256: "
                            "0e1b31179be4eda8395f812122134f3e71d918ed697f695abdd2141f06084847\n"
                            "Firmware update Completed!\n Remote Reset done.\n");
        Payloads stream = fw.rig.Commands(), sent = rig.Commands();
        stream.push_back(Hex("040408"));
        QCOMPARE(Payloads(sent.end() - qsizetype(stream.size()), sent.end()), stream);
        QCOMPARE(rig.extender.Flash(Chip::Remote), fw.rig.extender.Flash(Chip::Remote));
        const CliResult json = RunCli(rig.wire, "--json flash --to remote " + path);
        QCOMPARE(json.took, 1s + 255 * 5ms); // the erase's pause, a block per tick
        QVERIFY2(
            json.out.contains(R"({"blocks":256,"event":"progress","format":2,"of":256})"), // 100 %
            qPrintable(json.out));
    }

    // The rest of a block's wait, under a millisecond too, is slept and never less.
    void restOfABlocksWaitSleptWhole()
    {
        for (const std::chrono::microseconds rest : {300us, 999us, 1500us}) {
            const auto start = std::chrono::steady_clock::now();
            PreciseSleep(rest);
            QCOMPARE_GE(std::chrono::steady_clock::now() - start, rest);
        }
    }

    // Images of many sizes, each over its inverse: a block per 32 bytes, the bar to its end.
    void imagesOfManySizes_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {1, 32, 33, 64, 100000})
            QTest::addRow("%d bytes", size) << size;
    }
    void imagesOfManySizes()
    {
        QFETCH(int, size);
        Firmware sized;
        sized.page->SetTickPeriod(0ms);
        sized.rig.answers = {true, true};   // the inverted image names no chip: program it anyway
        for (const char invert : {0, -1}) { // the second, inverted, over the first
            QByteArray bytes = Counting(size);
            for (char& byte : bytes)
                byte ^= invert;
            sized.LoadHex(bytes);
            sized.rig.wire.Clear();
            sized.Program();
            auto* bar = ui::FindControl<QProgressBar>(sized.page, Progress);
            QCOMPARE(int(sized.rig.Commands().size()), 2 + (size + 31) / 32);
            QVERIFY(sized.rig.Holds(Chip::Local, bytes));
            QCOMPARE(bar->maximum(), (size + 31) / 32);
            QCOMPARE(bar->value(), bar->maximum());
        }
        QCOMPARE(sized.rig.boxes.count("Firmware update Completed!"), 2);
    }
};

QTEST_MAIN(FirmwareTest)
#include "tst_firmware.moc"
