// torvanreader-cli against the windows over the simulated extender: the same stream for flash, the
// same reading for status, the same log for burn-in; exit codes; picking one unit among several.
#include <QJsonDocument>
#include <QJsonObject>

#include "Rig.h"
#include "cli/Cli.h"
#include "device/sim/SimUnits.h"

using namespace std::chrono_literals;

namespace {

struct Result {
    int code;
    QString out, err;
};

// One run of the program, not on a terminal, on fake time that the clock follows.
Result Cli(IHidBackend& backend, const QString& arguments, FakeClock* clock = nullptr)
{
    Result result;
    QTextStream out(&result.out), err(&result.err);
    std::atomic<bool> interrupted{false};
    FakeClock own;
    FakeClock& time = clock ? *clock : own;
    std::chrono::milliseconds now{0};
    const auto sleep = [&, start = qint64(time.seconds)](std::chrono::milliseconds ms) {
        now += ms;
        time.seconds = start + now.count() / 1000;
    };
    cli::Context context{.backend = [&](bool) -> IHidBackend& { return backend; },
                         .out = out,
                         .err = err,
                         .interrupted = interrupted,
                         .clock = time.Reader(),
                         .now = [&] { return now; },
                         .sleep = sleep};
    result.code = cli::Run(("torvanreader-cli " + arguments).split(' '), context);
    return result;
}

// From the erase on: the programming stream.
Payloads Stream(const Rig& rig)
{
    Payloads sent = rig.Commands();
    sent.erase(sent.begin(), std::find_if(sent.begin(), sent.end(),
                                          [](const auto& c) { return c[0] == 3 || c[0] == 4; }));
    return sent;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void flashSendsThePagesStream()
    {
        InTempDir dir;
        const QString path = QT_TESTCASE_SOURCEDIR "/../samples/firmware/demo-remote-rx-3072.2.hex";
        Rig page;
        page.Open();
        page.page<DlgProgrammer>().SetFileChooser([&](QWidget*, const QString&) { return path; });
        Click(&page.page<DlgProgrammer>(), 1077);
        Click(&page.page<DlgProgrammer>(), 1034);
        Click(&page.page<DlgProgrammer>(), 1086);
        QTRY_VERIFY_WITH_TIMEOUT(!page.page<DlgProgrammer>().IsBusy(), 20000);
        Rig rig;
        const Result flash = Cli(rig.wire, "flash --to remote --apply " + path);
        QCOMPARE(flash.out,
                 "Image: 8192 byte. IC Type: QX720RX  FW Revision: 3072.2\nFirmware update "
                 "Completed!\n Remote Reset done.\n");
        Payloads expected = Stream(page);
        expected.push_back(Hex("040408"));
        QCOMPARE(Stream(rig), expected);
        QCOMPARE(rig.extender.Flash(SimDeviceModel::Remote),
                 page.extender.Flash(SimDeviceModel::Remote));
    }

    void statusReadsWhatThePageShows()
    {
        Rig page; // the command opens the extender beside the windows
        page.Healthy();
        page.Set("0109=0a46370d 0114=08 010b=04");
        page.Open();
        auto& status = page.page<Tool1Main>();
        Click(&status, 1075);
        status.OnTimer();
        status.RunPortCheck();
        const Result run = Cli(page.wire, "status --json");
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(run.code, 0);
        QStringList read{json["local"]["mode"].toString(), json["remote"]["mode"].toString(),
                         json["local"]["source"].toString(), json["remote"]["source"].toString(),
                         json["cable_length"].toString()};
        for (const auto pair : json["pairs"].toArray())
            read << pair.toObject()["level"].toString() + ", " + pair.toObject()["band"].toString();
        read << json["advice"][0].toString()
             << json["video_ber"]["lamp"].toString() + " "
                    + QString::number(json["video_ber"]["level"].toInt())
             << json["link"].toString();
        QStringList shown = Texts(&status, {1014, 1046, 1010, 1042, 1037}).split('|');
        for (int id : {1017, 1023, 1024, 1025})
            shown << Text(&status, id) + ", "
                         + ui::FindControl<QWidget>(&status, id)->toolTip().section(", ", 1);
        shown << Text(&status, 1077).trimmed() << "marginal 8"
              << "up";
        QCOMPARE(read, shown);
        QCOMPARE(Lamps(&status, {1103}), "M");
        for (int id : {1097, 1098, 1099, 1094, 1095, 1096}) {
            const QStringList lamp = ui::FindControl<QWidget>(&status, id)->toolTip().split(": ");
            QCOMPARE(json["lamps"][lamp[0]].toString(), lamp[1]);
        }
        QCOMPARE(json["faulty_pairs"].toArray(), QJsonArray{"B"});
    }

    void burnInLogsWhatThePageLogs()
    {
        QByteArray logs[2];
        for (int cli = 0; cli < 2; ++cli) {
            InTempDir dir;
            Rig rig;
            FakeClock clock;
            rig.Healthy();
            rig.Set("0201=00 010b=04"); // the link down throughout, HPD bad
            if (cli) {
                const Result run = Cli(rig.wire, "burn-in --period 1s --duration 14s", &clock);
                QCOMPARE(run.out.count("Link bad   Video Signal good   5V good   HPD bad"), 14);
                QVERIFY(run.out.endsWith(
                    "Burn-in ended (duration): 14 samples; bad: Link 14, Video Signal 0, "
                    "5V 0, HPD 14; 4 entries logged in BIT.txt\n"));
            } else {
                rig.Open();
                auto& page = rig.page<CBIT>();
                page.SetTiming({clock.Reader(), {1h, 1h, 1h, 1h}, 1s, true});
                Click(&page, 1103);
                for (int second = 0; second <= 14; ++second, ++clock.seconds) {
                    page.ClockLogCycle(); // each second the cycle, then the sample
                    if (second > 0)
                        page.OnTimer();
                }
            }
            logs[cli] = ReadFile("BIT.txt");
        }
        QCOMPARE(logs[1], logs[0]);
        QCOMPARE(logs[0].count("Fail") + logs[0].count("No HPD"), 4);
    }

    void exitCodes()
    {
        InTempDir dir;
        Rig rig;
        WriteFile("bad.hex", QByteArray(300, '0').prepend(':'));
        WriteFile("plain.bin", QByteArray(300, '\x11'));
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}});
        const std::tuple<const char*, int, const char*> table[]{
            {"info --to local", 2, "--to is not an option of info"},
            {"fail-safe on --interval 7", 2, "--interval takes 5, 10, 20, 30, 40, 50, 60"},
            {"flash --to local bad.hex", 3,
             "bad.hex: Fail to convert the input from hex to bin! (line 1: byte count 0 but 145 "
             "data bytes)"},
            {"flash --to local plain.bin", 4, "not programmed: This image holds no identification"},
            {"fail-safe off", 1,
             "Fail!: the fail-safe setting (05 01 06 33) failed: the extender refused it (status "
             "0x55)"},
            {"--json list", 0, ""}};
        for (auto [arguments, code, message] : table) {
            const Result run = Cli(rig.wire, arguments);
            QVERIFY2(run.code == code && run.err.contains(message),
                     qPrintable(arguments + (": " + run.err)));
        }
        QCOMPARE(Stream(rig), Payloads{}); // nothing was erased
        rig.extender.Unplug();
        const Result missing = Cli(rig.wire, "status");
        QVERIFY(missing.code == 1 && missing.out.isEmpty());
        QCOMPARE(missing.err,
                 "torvanreader-cli: status: no extender found (vendor 0x051A, product 0x511B)\n");
        // --device picks one unit among several.
        SimExtender units[2]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2")};
        SimUnits pc({&units[0], &units[1]});
        const Result list = Cli(pc, "--json list");
        QCOMPARE(QJsonDocument::fromJson(list.out.toUtf8())["devices"][1]["serial"].toString(),
                 "B2");
        QCOMPARE(Cli(pc, "--device sim:second fail-safe on").out, "Fail-Safe Enable\n");
        const auto writes = [&](int unit) {
            return units[unit].WithModel([](SimDeviceModel& m) { return m.FailSafeWrites(); });
        };
        QVERIFY(writes(0) == 0 && writes(1) == 1 && Cli(pc, "--device sim:third info").code == 1);
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
