// The fault matrix: every step of every page in its real windows while the extender misbehaves on
// one command of that step. Each row checks the step's bound, what the user sees, that the wire
// shows the fault really played on that command, and the way on once the fault is gone.
#include <QProgressBar>

#include "Rig.h"
#include "burnin/BurnInPage.h"
#include "failsafe/FailSafePage.h"
#include "firmware/FirmwarePage.h"
#include "status/StatusPage.h"

using namespace std::chrono_literals;

namespace {

enum class Fault { Silent, Refuse, Late, Stale, Bit7, Short, Unplug };
enum class Phase { Opening, Polling, Erase, Begin, MiddleBlock, LastBlock, Reset, Sample, On, Off };
constexpr int kLatencyMs = 20; // well within the shortened 100 ms time-out

struct Play {
    const char* name;
    const char* command; // the command the fault hits: a payload prefix
    int nth;             // of those, this one (0: every one)
    int transactions;    // the most the step may run
    uint32_t timeoutMs;  // of its commands
    // What the user sees after the step: answered, not answered, device gone.
    QString answered, failed, gone;
};

Play PlayOf(Phase phase)
{
    const QString done = "Firmware update Completed!|Count: 8.|11";
    switch (phase) {
    case Phase::Opening:
        return {"opening",   "010c0d", 0, 13, 1000, "HDBT|31m|QX710|QX720", "HDBT|N/A|QX710|QX720",
                "HDBT|N/A||"};
    case Phase::Polling:
        return {"polling",
                "010c0d",
                0,
                10,
                1000,
                "0.15625|HDBT|31m|HDMI with HDCP|All port signal are good.\n",
                "0.15625|HDBT|N/A|HDMI with HDCP|Disconnected",
                "0.15625|HDBT|N/A||Disconnected"};
    case Phase::Erase: return {"erase", "030205", 0, 11, 3000, done, "Erase Fail!|257 byte.|1", ""};
    case Phase::Begin:
        return {"begin", "030306", 0, 11, 3000, done, "Fail/Write Fail!|257 byte.|2", ""};
    case Phase::MiddleBlock: return {"second block", "aa", 2, 11, 3000, done, "|No 0xaa!|4", ""};
    case Phase::LastBlock: return {"last block", "bb", 0, 11, 3000, done, "Fail!|Count: 8.|11", ""};
    case Phase::Reset:
        return {"Apply Firmware",          "030407", 0, 1, 1000, " Local Reset done.|257 byte.|1",
                "Reset Fail.|257 byte.|1", ""};
    case Phase::Sample:
        return {"burn-in sample",
                "aa01ab",
                0,
                4,
                1000,
                "Stop|1|",
                "Start|0|2014/3/7 13:5:0\tDevice Disconnected.\r\n",
                ""};
    case Phase::On:
        return {"On", "050106", 0, 1, 1000, "|Fail-Safe Enable", "Fail!|Fail-Safe Disable", ""};
    case Phase::Off:
        return {"Off", "050106", 0, 2, 1000, "|Fail-Safe Disable", "Fail!|Fail-Safe Enable", ""};
    }
    return {};
}

const char* FaultName(Fault fault)
{
    const char* names[]{"silent", "refusing", "late", "stale", "bit-7", "short", "unplug"};
    return names[int(fault)];
}

SimFaults Playing(Fault fault, const Play& play)
{
    SimFaults faults{.refuse = fault == Fault::Refuse,
                     .silent = fault == Fault::Silent,
                     .latencyMs = fault == Fault::Late ? kLatencyMs : 0,
                     .staleBefore = fault == Fault::Stale ? 3 : 0,
                     .setBit7 = fault == Fault::Bit7,
                     .shortReport = fault == Fault::Short,
                     .unplug = fault == Fault::Unplug};
    faults.onlyPrefix = Hex(play.command);
    faults.onlyNth = play.nth;
    return faults;
}

bool Firmware(Phase phase)
{
    return phase >= Phase::Erase && phase <= Phase::Reset;
}

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Phase)

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void openingAndPolling_data() { Rows({Phase::Opening, Phase::Polling}); }
    void openingAndPolling() { RunRow(); }
    void programming_data()
    {
        Rows({Phase::Erase, Phase::Begin, Phase::MiddleBlock, Phase::LastBlock, Phase::Reset});
    }
    void programming() { RunRow(); }
    void samplesAndSwitches_data() { Rows({Phase::Sample, Phase::On, Phase::Off}); }
    void samplesAndSwitches() { RunRow(); }

private:
    InTempDir m_dir;
    FakeClock m_clock;

    static void Rows(std::initializer_list<Phase> phases)
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Phase>("phase");
        for (Phase phase : phases) {
            for (int fault = 0; fault <= int(Fault::Unplug); ++fault)
                QTest::addRow("%s / %s", FaultName(Fault(fault)), PlayOf(phase).name)
                    << Fault(fault) << phase;
        }
    }

    void RunRow()
    {
        QFETCH(Fault, fault);
        QFETCH(Phase, phase);
        const Play play = PlayOf(phase);
        Rig rig;
        rig.Healthy();
        QFile::remove("BIT.txt");
        if (phase == Phase::Opening) {
            rig.OpenMain();
        } else {
            rig.Open();
            Prepare(rig, phase);
        }
        rig.boxes.clear();
        rig.wire.Clear();
        rig.extender.SetFaults(Playing(fault, play));

        const uint8_t before = rig.main->Channel().Sequence();
        QElapsedTimer clock;
        clock.start();
        Step(rig, phase);
        const int transactions = (rig.main->Channel().Sequence() - before) & 0x7F;
        QVERIFY2(transactions <= play.transactions, qPrintable(QString::number(transactions)));
        const qint64 bound = 5 * play.timeoutMs / kTimeoutDivisor * std::max(transactions, 1);
        QVERIFY2(clock.elapsed() <= bound, qPrintable(QString("%1 ms").arg(clock.elapsed())));

        const bool fails =
            fault == Fault::Silent || fault == Fault::Refuse || fault == Fault::Unplug;
        const QString failed =
            fault == Fault::Unplug && !play.gone.isEmpty() ? play.gone : play.failed;
        QCOMPARE(Shown(rig, phase), fails ? failed : play.answered);
        if (phase == Phase::Opening || phase == Phase::Polling || phase == Phase::Sample)
            QVERIFY(rig.boxes.isEmpty());
        VerifyPlayed(rig, fault, play);

        // The way on: the fault gone, or the device plugged in again and reconnected.
        if (fault == Fault::Unplug) {
            rig.Reopen();
            Prepare(rig, phase);
        } else {
            rig.extender.SetFaults({});
        }
        rig.boxes.clear();
        WayOn(rig, phase, fault);
    }

    void Prepare(Rig& rig, Phase phase)
    {
        if (phase == Phase::Polling) {
            rig.page<Tool1Main>().SetPeriods({1h, 1h});
            Click(&rig.page<Tool1Main>(), 1075);
        } else if (Firmware(phase)) {
            WriteFile("image.bin", QByteArray(257, '\x5A'));
            auto& page = rig.page<DlgProgrammer>();
            page.SetFileChooser([](QWidget*, const QString&) { return QString("image.bin"); });
            page.SetTickPeriod(0ms);
            Click(&page, 1077);
        } else if (phase == Phase::Sample) {
            BurnInTiming timing;
            timing.clock = m_clock.Reader();
            timing.periods = {1h, 1h, 1h, 1h};
            timing.manualCycle = true;
            rig.page<CBIT>().SetTiming(timing);
            Click(&rig.page<CBIT>(), 1103);
        } else if (phase == Phase::Off) {
            Click(&rig.page<ResetTool>(), 1123);
        }
    }

    void Step(Rig& rig, Phase phase)
    {
        switch (phase) {
        case Phase::Opening: rig.Open(); break;
        case Phase::Polling:
            rig.page<Tool1Main>().OnTimer();
            rig.page<Tool1Main>().RunPortCheck();
            break;
        case Phase::Reset: Click(&rig.page<DlgProgrammer>(), 1084); break;
        case Phase::Sample: rig.page<CBIT>().OnTimer(); break;
        case Phase::On: Click(&rig.page<ResetTool>(), 1123); break;
        case Phase::Off: Click(&rig.page<ResetTool>(), 1122); break;
        default:
            Click(&rig.page<DlgProgrammer>(), 1086);
            QTRY_VERIFY(!rig.page<DlgProgrammer>().IsBusy());
        }
    }

    QString Shown(Rig& rig, Phase phase)
    {
        QStringList shown;
        const auto texts = [&](const QWidget* page, std::initializer_list<int> ids) {
            for (int id : ids)
                shown << Text(page, id);
        };
        if (phase == Phase::Opening) {
            texts(&rig.page<Tool1Main>(), {1014, 1037});
            texts(&rig.page<DlgProgrammer>(), {1011, 1023});
        } else if (phase == Phase::Polling) {
            texts(&rig.page<Tool1Main>(), {1017, 1046, 1037, 1010, 1077});
        } else if (phase == Phase::Sample) {
            auto& page = rig.page<CBIT>();
            shown << Text(&page, 1103) << QString::number(page.Chart().count)
                  << QString(ReadFile("BIT.txt"));
        } else {
            shown << rig.boxes.join('/');
            if (Firmware(phase))
                shown << Text(&rig.page<DlgProgrammer>(), 1091)
                      << QString::number(rig.Commands().size());
            else
                shown << Text(&rig.page<ResetTool>(), 1124);
        }
        return shown.join('|');
    }

    // The reports that came in after the command named, up to the next command, show the fault.
    void VerifyPlayed(Rig& rig, Fault fault, const Play& play)
    {
        const auto records = rig.wire.Records();
        const std::vector<uint8_t> prefix = Hex(play.command);
        int seen = 0;
        auto sent = std::find_if(records.begin(), records.end(), [&](const auto& record) {
            const auto payload = record.Payload();
            return record.direction == RecordingBackend::Direction::Out
                   && payload.size() >= prefix.size()
                   && std::equal(prefix.begin(), prefix.end(), payload.begin())
                   && ++seen == std::max(play.nth, 1);
        });
        QVERIFY2(sent != records.end(), "the command was never sent");
        std::vector<RecordingBackend::Record> in;
        for (auto next = sent + 1;
             next != records.end() && next->direction == RecordingBackend::Direction::In; ++next)
            in.push_back(*next);
        const auto answer = std::find_if(in.begin(), in.end(), [&](const auto& r) {
            return r.bytes.size() >= 3 && (r.bytes[1] & 0x7F) == sent->bytes[1];
        });
        const long before = answer - in.begin();
        switch (fault) {
        case Fault::Silent: QVERIFY(in.empty()); break;
        case Fault::Unplug: QVERIFY(in.empty() && rig.extender.EnumeratePaths().empty()); break;
        case Fault::Refuse: QVERIFY(answer != in.end() && answer->bytes[3] == 0x55); break;
        case Fault::Late:
            QVERIFY(answer != in.end()
                    && answer->time - sent->time >= std::chrono::milliseconds(kLatencyMs));
            break;
        case Fault::Stale: QVERIFY(answer != in.end() && before == 3); break;
        case Fault::Bit7: QVERIFY(answer != in.end() && (answer->bytes[1] & 0x80)); break;
        case Fault::Short:
            QVERIFY(answer != in.end() && before == 1 && in[0].bytes.size() == 2);
            break;
        }
    }

    void WayOn(Rig& rig, Phase phase, Fault fault)
    {
        switch (phase) {
        case Phase::Opening:
        case Phase::Polling: {
            auto& page = rig.page<Tool1Main>();
            if (!page.IsRunning())
                Prepare(rig, Phase::Polling);
            while (page.TickCount() % 10 != 0) // to the next tick that reads everything
                page.OnTimer();
            page.OnTimer();
            page.RunPortCheck();
            page.RunPortCheck();
            QCOMPARE(Shown(rig, Phase::Polling), PlayOf(Phase::Polling).answered);
            break;
        }
        case Phase::Reset:
            Step(rig, phase);
            QCOMPARE(rig.boxes, QStringList{" Local Reset done."});
            // A silent or refusing chip restarted all the same.
            QCOMPARE(rig.extender.WithModel(
                         [](SimDeviceModel& m) { return m.RestartCount(SimDeviceModel::Local); }),
                     fault == Fault::Unplug ? 1 : 2);
            break;
        case Phase::Sample: {
            auto& page = rig.page<CBIT>();
            if (!page.IsRunning())
                Click(&page, 1103);
            const int held = page.Chart().count;
            page.OnTimer();
            QVERIFY(page.IsRunning());
            QCOMPARE(page.Chart().count, held + 1);
            break;
        }
        case Phase::On:
        case Phase::Off: {
            auto& page = rig.page<ResetTool>();
            if (phase == Phase::Off && Text(&page, 1124) == "Fail-Safe Disable")
                Click(&page, 1123); // a reopened page starts off
            Step(rig, phase);
            QCOMPARE(Text(&page, 1124),
                     phase == Phase::On ? "Fail-Safe Enable" : "Fail-Safe Disable");
            QCOMPARE(rig.extender.WithModel([](SimDeviceModel& m) { return m.FailSafeSetting(); }),
                     phase == Phase::On ? 0xB3 : 0x33);
            break;
        }
        default: {
            rig.wire.Clear();
            Step(rig, Phase::Erase);
            QCOMPARE(Shown(rig, Phase::Erase), PlayOf(Phase::Erase).answered);
            const std::vector<uint8_t> flash = rig.extender.Flash(SimDeviceModel::Local);
            QVERIFY(std::count(flash.begin(), flash.begin() + 257, 0x5A) == 257
                    && flash[257] == 0xFF);
            auto* bar = ui::FindControl<QProgressBar>(&rig.page<DlgProgrammer>(), 1087);
            QCOMPARE(bar->value(), bar->maximum());
        }
        }
        if (!Firmware(phase))
            QVERIFY(rig.boxes.isEmpty()); // polling, sampling and switching pages never raise one
    }
};

TORVAN_SUITE(FaultsTest, "faults")
#include "tst_faults.moc"
