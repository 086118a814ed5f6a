// The fault matrix: every step of every page in its real windows while the extender misbehaves on
// one command of that step. Each row checks the step's bound, what the user sees, that the wire
// shows the fault really played on that command, and the way on once the fault is gone.
#include "Rig.h"
#include "history/Formats.h"

namespace {

enum Fault { Silent, Refuse, Late, Stale, Bit7, Short, Unplug, Stall, Slow };
enum Phase { Opening, Polling, Erase, Begin, Block, LastBlock, Reset, Sample, On, Off, OffFirst };
constexpr int kLatencyMs = 20; // well within the shortened 100 ms time-out
// One write blocks 8 times the write wait: a waiter woken late on a busy machine (the sanitizers'
// build beside other suites) still finds it under way.
constexpr int kStallMs = 8000 / kTimeoutDivisor;
const char* const kFaults[]{"silent", "refusing", "late",    "stale",           "bit-7",
                            "short",  "unplug",   "stalled", "two seconds late"};
const SimFaults kPlayed[]{
    {.silent = true},   {.refuse = true},           {.latencyMs = kLatencyMs},
    {.staleBefore = 3}, {.setBit7 = true},          {.shortReport = true},
    {.unplug = true},   {.writeStallMs = kStallMs}, {.latencyMs = 2000 / kTimeoutDivisor}};
// The reports that come in after the command, per fault: a its answer, A the answer with bit 7
// set, r a refusal, o a report of another command, s a short one.
const char* const kCame[]{"", "r", "a", "oooa", "A", "sa", "", "", "a"};

// What a programming shows once it completed: its box, the page's status and the commands sent.
const QStringList kDone = {"Firmware update Completed!", "Count: 8.", "11"};

// The command a phase's fault hits (a payload prefix, and of those the nth, 0 for all), the most
// transactions the step may run, what the user then sees: the command answered, not answered, the
// device gone (when that differs), as Shown() reads it; and the change the update history keeps
// (none for a read) with the step it names when the change fails. The transactions and the answer
// are a programming's unless said.
struct Play {
    const char *name, *command;
    int nth = 0, transactions = 11;
    QStringList answered = kDone, failed, gone = {};
    const char* action = nullptr;
    QString step = {};
};
// How the history says a command failed, for a fault that fails one.
QString How(int fault)
{
    return fault == Refuse   ? "the extender refused it (status 0x55)"
           : fault == Unplug ? "the extender did not answer (No such device)"
                             : "the extender did not answer";
}
const QString kLeft =
    "The chip now holds an incomplete image. Program it again before \"Apply Firmware\".";
const QString kRestartQuestion =
    "The last firmware update of this chip did not complete: it holds an incomplete image. "
    "Restarting it now may leave the unit unusable. Restart it anyway?";
const Play kPlays[]{
    {.name = "opening",
     .command = "010c0d",
     .transactions = 13,
     .answered = {"HDBT", "31m", "QX710", "QX720"},
     .failed = {"HDBT", "N/A", "QX710", "QX720"},
     .gone = {"HDBT", "N/A", "", ""}},
    {.name = "polling",
     .command = "010c0d",
     .transactions = 10,
     .answered = {"0.15625", "HDBT", "31m", "HDMI with HDCP", "All port signal are good.\n"},
     .failed = {"0.15625", "HDBT", "N/A", "HDMI with HDCP", "Disconnected"},
     .gone = {"0.15625", "HDBT", "N/A", "", "Disconnected"}},
    {.name = "erase",
     .command = "030205",
     .failed = {"Erase Fail!", kLeft, "257 byte.", "1"},
     .action = "program",
     .step = "the erase: "},
    {.name = "begin",
     .command = "030306",
     .failed = {"Fail", "Write Fail!", kLeft, "257 byte.", "2"},
     .action = "program",
     .step = "the opening of the write: "},
    {.name = "second block",
     .command = "aa",
     .nth = 2,
     .failed = {kLeft, "No 0xaa!", "4"},
     .action = "program",
     .step = "block 2 of 9: "},
    {.name = "last block",
     .command = "bb",
     .failed = {"Fail!", kLeft, "Count: 8.", "11"},
     .action = "program",
     .step = "block 9 of 9: "},
    {.name = "Apply Firmware",
     .command = "030407",
     .transactions = 1,
     .answered = {" Local Reset done.", "257 byte.", "1"},
     .failed = {"Reset Fail.", "257 byte.", "1"},
     .action = "restart"},
    {.name = "burn-in sample",
     .command = "aa01ab",
     .transactions = 4,
     .answered = {"Stop", "1", ""},
     .failed = {"Start", "0", "2014/3/7 13:5:0\tDevice Disconnected.\r\n"}},
    {.name = "On",
     .command = "050106",
     .transactions = 1,
     .answered = {"Fail-Safe Enable"},
     .failed = {"Fail!", "Fail-Safe Disable"},
     .action = "fail-safe on"},
    {.name = "Off",
     .command = "050106",
     .nth = 2,
     .transactions = 2,
     .answered = {"Fail-Safe Disable"},
     .failed = {"Fail!", "Fail-Safe Enable"},
     .action = "fail-safe off"},
    {.name = "Off's first write",
     .command = "050106",
     .nth = 1,
     .transactions = 2,
     .answered = {"Fail-Safe Disable"},
     .failed = {"Fail-Safe Disable"},
     .gone = {"Fail!", "Fail-Safe Enable"},
     .action = "fail-safe off"},
};

// 257 bytes for the local chip: its identification, then filler.
const QByteArray kImage = QByteArray::fromHex("1234fedc23072110") + QByteArray(249, '\x5A');

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void openingAndPolling_data() { Rows(Opening, Polling); }
    void openingAndPolling() { RunRow(); }
    void programming_data() { Rows(Erase, Reset); }
    void programming() { RunRow(); }
    void samplesAndSwitches_data() { Rows(Sample, OffFirst); }
    void samplesAndSwitches() { RunRow(); }

private:
    InTempDir m_dir;
    FakeClock m_clock;
    int m_pointsBefore = 0; // the burn-in chart's points before the step

    static bool Programming(int phase) { return phase >= Erase && phase <= Reset; }
    // The erase, the write and its blocks may take three seconds to answer; other commands one.
    static int TimeoutMs(int phase) { return Programming(phase) && phase != Reset ? 3000 : 1000; }

    // What the wire recorded from the command the fault played on: nothing if it was never sent.
    static std::vector<RecordingBackend::Record> FromSent(const Rig& rig, const Play& play)
    {
        std::vector<RecordingBackend::Record> records = rig.wire.Records();
        int seen = 0;
        records.erase(
            records.begin(), std::ranges::find_if(records, [&](const auto& record) {
                return record.direction == RecordingBackend::Direction::Out
                       && Bytes(record.Payload()).startsWith(QByteArray::fromHex(play.command))
                       && ++seen == std::max(play.nth, 1);
            }));
        return records;
    }

    static void Rows(int first, int last)
    {
        QTest::addColumn<std::pair<int, int>>("row"); // the fault, and the phase it strikes
        // A data block may take three seconds to answer; other commands one.
        for (int phase = first; phase <= last; ++phase)
            for (int fault = Silent; fault <= (phase == Block || phase == LastBlock ? Slow : Stall);
                 ++fault)
                QTest::addRow("%s / %s", kFaults[fault], kPlays[phase].name)
                    << std::pair(fault, phase);
    }

    void RunRow()
    {
        const auto [fault, phase] = Fetch<std::pair<int, int>>();
        const Play& play = kPlays[phase];
        Rig rig;
        rig.Healthy();
        QFile::remove("BIT.txt");
        rig.OpenMain();
        if (phase != Opening)
            rig.Open();
        Prepare(rig, phase);
        SimFaults faults = kPlayed[fault];
        faults.onlyPrefix = Hex(play.command);
        faults.onlyNth = fault == Stall ? std::max(play.nth, 1) : play.nth; // a write stalls once
        rig.extender.SetFaults(faults);
        if (fault == Stall) // only a stalled write waits the shortened write wait
            rig.main->Channel().Transport().SetWriteWait(CHidIO::kWriteWaitMs / kTimeoutDivisor);

        const uint8_t before = rig.main->Channel().Sequence();
        QElapsedTimer clock;
        clock.start();
        Step(rig, phase);
        const int transactions = (rig.main->Channel().Sequence() - before) & 0x7F;
        QCOMPARE_LE(transactions, play.transactions);
        QCOMPARE_LE(clock.elapsed(),
                    5 * TimeoutMs(phase) / kTimeoutDivisor * std::max(transactions, 1));
        // The stalled write ends on its own, and only then does the handle take writes again;
        // until then every command failed at once as if the unit were gone.
        QTRY_VERIFY(!rig.bounded.WriteUnderWay());
        const bool fails = fault == Silent || fault == Refuse || fault == Unplug || fault == Stall;
        const bool gone = (fault == Unplug || fault == Stall) && !play.gone.isEmpty();
        const QStringList shown = !fails ? play.answered : gone ? play.gone : play.failed;
        QCOMPARE(Shown(rig, phase), shown);
        if (!Programming(phase) && phase < On)
            QCOMPARE(rig.boxes, QStringList());
        VerifyPlayed(rig, fault, play);
        VerifyRecorded(rig, play, shown == play.answered ? QString() : play.step + How(fault));
        if (fails && fault != Unplug && Programming(phase) && phase != Reset) {
            rig.wire.Clear(); // "Apply Firmware" then asks; No sends nothing
            Click(&rig.page<DlgProgrammer>(), FirmwareControl::Apply);
            QCOMPARE(rig.Commands(), Payloads());
            QCOMPARE(rig.boxes.last(), kRestartQuestion);
        }

        // The way on: the fault gone, or the device plugged in again, the step does what it
        // should; after a stalled write without reconnecting.
        rig.extender.SetFaults({});
        if (fault == Unplug)
            VerifyUnitTakenBack(rig, phase);
        Prepare(rig, phase);
        Step(rig, phase);
        QCOMPARE(Shown(rig, phase), play.answered);
        VerifyRecorded(rig, play, {});
        if (Programming(phase) && phase != Reset)
            QVERIFY(rig.Holds(SimDeviceModel::Local, kImage));
    }

    // The tool window tells that its unit is out, takes no other unit plugged in meanwhile, and
    // reopens its own with the connect check alone: a burn-in run stays ended, an update is not
    // resumed.
    static void VerifyUnitTakenBack(Rig& rig, int phase)
    {
        QTRY_COMPARE(rig.tool->windowTitle(), "Tessalink (unplugged)");
        rig.wire.Clear();
        rig.second.Replug();
        QTRY_VERIFY(!AwaitReady(rig.plugs.Handle(), 0ms)); // the window took the plug in
        QCOMPARE(rig.Commands(), Payloads());
        QCOMPARE(rig.second.OpenHandleCount(), 0);
        rig.extender.Replug(); // named now that the other one is present too
        QTRY_COMPARE(rig.tool->windowTitle(), "Tessalink (SIM0001)");
        QCOMPARE(rig.Commands(), Wire("aa01ab"));
        QCOMPARE(rig.extender.OpenHandleCount(), 2);
        if (phase == Sample)
            QVERIFY(!rig.page<CBIT>().IsRunning());
    }

    void Prepare(Rig& rig, int phase)
    {
        if (phase == Polling && !rig.page<Tool1Main>().IsRunning()) {
            rig.page<Tool1Main>().SetPeriods({1h, 1h});
            Click(&rig.page<Tool1Main>(), StatusControl::Test);
        } else if (Programming(phase)
                   && Text(&rig.page<DlgProgrammer>(), FirmwareControl::ImageType) == "N/A") {
            const QString image = WriteFile("image.bin", kImage);
            rig.page<DlgProgrammer>().SetFileChooser(
                [=](QWidget*, const QString&) { return image; });
            rig.page<DlgProgrammer>().SetTickPeriod(0ms);
            Click(&rig.page<DlgProgrammer>(), FirmwareControl::Browse);
        } else if (phase == Sample && !rig.page<CBIT>().IsRunning()) {
            rig.page<CBIT>().SetTiming({m_clock.Reader(), {1h, 1h, 1h, 1h}, 1s, true});
            Click(&rig.page<CBIT>(), BurnInControl::StartStop);
        } else if (phase >= Off
                   && Text(&rig.page<ResetTool>(), FailSafeControl::State) == "Fail-Safe Disable") {
            Click(&rig.page<ResetTool>(), FailSafeControl::On);
        }
        rig.boxes.clear();
        rig.wire.Clear();
    }

    void Step(Rig& rig, int phase)
    {
        if (phase == Opening) {
            rig.Open();
        } else if (phase == Polling) { // up to a tick that reads everything
            do
                rig.page<Tool1Main>().OnTimer();
            while (rig.page<Tool1Main>().TickCount() % 10 != 1);
            rig.page<Tool1Main>().RunPortCheck();
        } else if (phase == Sample) {
            m_pointsBefore = rig.page<CBIT>().Chart().count;
            rig.page<CBIT>().OnTimer();
        } else if (phase >= On) {
            Click(&rig.page<ResetTool>(), phase == On ? FailSafeControl::On : FailSafeControl::Off);
        } else {
            Click(&rig.page<DlgProgrammer>(),
                  phase == Reset ? FirmwareControl::Apply : FirmwareControl::Program);
            QTRY_VERIFY(!rig.page<DlgProgrammer>().IsBusy());
        }
    }

    // What the user sees after the step: the fields it fills, or the boxes said and then the
    // page's state.
    QStringList Shown(Rig& rig, int phase)
    {
        const QWidget *status = &rig.page<Tool1Main>(), *programmer = &rig.page<DlgProgrammer>();
        if (phase == Opening)
            return Texts(status, {StatusControl::LocalMode, StatusControl::CableLength})
                   + Texts(programmer, {FirmwareControl::LocalType, FirmwareControl::RemoteType});
        if (phase == Polling)
            return Texts(status, {StatusControl::PairA, StatusControl::RemoteMode,
                                  StatusControl::CableLength, StatusControl::LocalSource,
                                  StatusControl::Advice});
        if (phase == Sample)
            return {Text(&rig.page<CBIT>(), BurnInControl::StartStop),
                    QString::number(rig.page<CBIT>().Chart().count - m_pointsBefore),
                    ReadFile("BIT.txt")};
        if (!Programming(phase))
            return rig.boxes + QStringList{Text(&rig.page<ResetTool>(), FailSafeControl::State)};
        return rig.boxes
               + QStringList{Text(programmer, FirmwareControl::Status),
                             QString::number(rig.Commands().size())};
    }

    // The change's row, the newest in the update history, says how it ended: completed, or failed
    // at the step and how; a read leaves none.
    static void VerifyRecorded(const Rig& rig, const Play& play, const QString& failure)
    {
        const std::vector<history::Row> rows = rig.History();
        if (!play.action) {
            QCOMPARE(rows.size(), size_t(0));
            return;
        }
        QVERIFY(!rows.empty());
        QCOMPARE(rows.front().action, play.action);
        QCOMPARE(history::OutcomeText(rows.front()),
                 failure.isEmpty() ? QString("completed") : "failed: " + failure);
    }

    // What came in after the command named, up to the next command, shows the fault played.
    void VerifyPlayed(Rig& rig, int fault, const Play& play)
    {
        const auto records = FromSent(rig, play);
        QVERIFY2(!records.empty(), "the command was never sent");
        QString came;
        auto in = records.begin() + 1;
        for (; in != records.end() && in->direction == RecordingBackend::Direction::In; ++in)
            came += in->bytes.size() < 3                           ? 's'
                    : (in->bytes[1] & 0x7F) != records[0].bytes[1] ? 'o'
                    : in->bytes[3] == 0x55                         ? 'r'
                    : in->bytes[1] & 0x80                          ? 'A'
                                                                   : 'a';
        QCOMPARE(came, kCame[fault]);
        QCOMPARE_GE((in - 1)->time - records[0].time,
                    std::chrono::milliseconds(kPlayed[fault].latencyMs));
        if (fault == Unplug)
            QCOMPARE(rig.extender.EnumeratePaths().size(), size_t(0));
    }
};

QTEST_MAIN(FaultsTest)
#include "tst_faults.moc"
