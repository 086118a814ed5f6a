// torvanreader-cli's own rules over the simulated extender: signals and the block pace, exit codes
// with their messages, the answer on a terminal, --watch, and listing and picking units. What it
// shares with the pages is compared in their suites.
#include "Rig.h"
#include "device/SystemDevices.h"
#include "device/sim/SimUnits.h"

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void ownRules()
    {
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        // Signals: nothing goes to the chip before the erase; SIGTERM, SIGHUP and Ctrl-C off a
        // terminal stop at a block, Ctrl-C on a terminal asks while the blocks go on (a second
        // changes nothing). Blocks from 1 s (the erase's pause) one per 5 ms, none made up.
        WriteFile("big.bin", Pattern(64 * 32));
        const QString flash = "flash --to local --yes big.bin", before = "before the erase",
                      torn = "stopped. The local chip now holds an incomplete image";
        using enum cli::Stop;
        const std::tuple<QString, bool, cli::Stop, int, const char*, int, QString> signalled[]{
            // arguments, on a terminal, signal at ms (again 50 ms later), keys, code, message
            {flash, false, Interrupt, 0, "", 4, before},
            {flash, true, Terminate, 0, "", 4, before},
            {flash, true, Terminate, 1100, "", 4, torn},
            {flash, false, Interrupt, 1100, "", 4, torn},
            {flash, true, Interrupt, 1100, "y", 4,
             "A firmware update is running. Stopping now "
             "leaves the chip without working firmware. Stop it? [y/N]"},
            {flash, true, Interrupt, 1100, "...........", 0, "Completed!"},
            {flash, false, None, 0, "", 0, "Completed!"}, // the 10th block answered 300 ms late
            {"flash --to local big.bin", true, Interrupt, 0, "...y", 4, "not programmed"},
            {"burn-in --duration 9s", false, Terminate, 3500, "", 0, "ended (signal): 3 samples"},
            {"status --watch", false, Terminate, 2500, "", 0, ""}};
        for (auto [arguments, terminal, signal, at, keys, code, message] : signalled) {
            rig.wire.Clear();
            int sent = 0;
            const auto moment = [&](std::chrono::milliseconds& now, std::atomic<cli::Stop>& stop) {
                if (signal == None && rig.Commands().size() == 14 && !sent++)
                    now += 300ms;
                else if (signal != None && now.count() >= at + sent * 50 && sent < 2)
                    stop = signal, ++sent;
            };
            const CliResult run = RunCli(rig.wire, arguments, nullptr, terminal, moment, keys);
            QVERIFY2(
                run.code == code && (run.err + run.out).contains(message)
                    && run.err.count("[y/N]") == !QString(keys).isEmpty()
                    && std::ranges::count(rig.Commands(), Hex("030205"))
                           == (flash == arguments && message != before)
                    && (code
                        || run.took.count() == (flash == arguments ? 1315 + 295 * !at : at + 100)),
                qPrintable(arguments + (": " + run.err)));
        }
        WriteFile("bad.hex", QByteArray(300, '0').prepend(':'));
        WriteFile("plain.bin", QByteArray(300, '\x11'));
        WriteFile("empty.hex", QByteArray(300, ' ').prepend(":00000001FF\n"));
        WriteFile("old.txt", "2014/3/6 9:0:0\tLink Fail.\r\n");
        rig.Set("0108=");
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}});
        const std::tuple<const char*, int, const char*> table[]{
            {"info --to local", 2, "--to is not an option of info"},
            {"fail-safe on --interval 7", 2, "--interval takes 5, 10, 20, 30, 40, 50, 60"},
            {"flash --to local bad.hex", 3, "bin! (line 1: byte count 0 but 145 data bytes)"},
            {"flash --to local plain.bin", 4,
             "not programmed: This image holds no identification, so nothing tells whether it is "
             "for the chip you chose, QX710 TX. Programming it may leave the unit unusable. (--yes "
             "programs it anyway)"},
            {"flash --to local empty.hex", 3,
             "empty.hex: The image holds no data: nothing to program!"},
            {"fail-safe off", 1, "(05 01 06 33) failed: the extender refused it (status 0x55)"},
            {"status", 1, "status: the read (01 08 09) failed: the extender refused it"},
            {"burn-in --period 5s", 2, "--period takes 1s, 10s, 1m or 10m, not '5s'"},
            {"burn-in --duration 99999999999999999999", 2, "--duration is at most 366 days"},
            {"burn-in --period 10s --duration 9", 2, "9 is shorter than one period (10s)"},
            {"burn-in --log old.txt", 4, "not started: old.txt was kept (--yes empties it)"},
            {"--quiet burn-in --duration 1s --log .", 1, "burn-in: . cannot be written (Is a"},
            {"flash --to local none", 3, "none: Cannot open the file! (No such file or directory)"},
            {"flash --to local .", 3, ".: Cannot open the file! (Is a directory)"},
            {"--help-all", 2, "Unknown option 'help-all'"},
            {"--version", 0, "torvanreader-cli 1.0.0.1\n"},
            {"burn-in --help", 0, "burn-in [--period 1s|10s|1m|10m] [--duration TIME] [--log FILE"},
            {"--json list", 0, ""}};
        for (auto [arguments, code, message] : table) {
            const CliResult run = RunCli(rig.wire, arguments);
            QVERIFY2(run.code == code && (run.err + run.out).contains(message),
                     qPrintable(arguments + (": " + run.err)));
        }
        // Nothing was erased or programmed.
        QVERIFY(std::ranges::none_of(rig.Commands(), [](auto& c) { return c[0] == 3; }));
        const CliResult asked = RunCli(rig.wire, "flash --to local plain.bin", nullptr, true);
        QVERIFY(asked.code == 4 && asked.err.contains("[y/N]")); // on a terminal Enter answers No
        // --watch prints a reading when it changes: the link comes up when its read is answered.
        rig.Set("010c=0000001e 0112=00000021 0114=08");
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = Hex("011213"), .onlyNth = 1});
        const QString watched = RunCli(rig.wire, "--json status --watch").out;
        QVERIFY(watched.count('\n') == 2 && watched.contains(R"("time":"2014/3/7 13:5:0")")
                && watched.contains(R"("video_ber":{"lamp":"marginal","level":8})")
                && watched.indexOf(R"("link":"down")") < watched.indexOf(R"("link":"up")"));
        rig.extender.SetFaults({.unplug = true, .onlyPrefix = Hex("aa01ab")}); // pulled out
        QVERIFY(RunCli(rig.wire, "info").err.endsWith("did not answer (No such device)\n"));
        const CliResult missing = RunCli(rig.wire, "status");
        QVERIFY(missing.code == 1 && missing.out.isEmpty());
        QCOMPARE(missing.err,
                 "torvanreader-cli: status: no extender found (vendor 0x051A, product 0x511B)\n");
        // --device picks one unit among several.
        SimExtender units[2]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2")};
        SimUnits pc({&units[0], &units[1]});
        units[0].FailOpen(HidAccess::Write, true); // listed, but it cannot be opened
        const QJsonDocument list = QJsonDocument::fromJson(RunCli(pc, "--json list").out.toUtf8());
        QVERIFY(list["devices"][1]["serial"] == "B2" && list["devices"][1]["answers"] == true
                && list["devices"][0]["answers"] == false
                && list["devices"][0]["no_permission"] == true
                && list["devices"][1]["no_permission"] == false);
        QCOMPARE(RunCli(pc, "--device sim:second fail-safe on").out, "Fail-Safe Enable\n");
        // Settings written, then the last: on with the page's defaults, off written twice.
        const auto written = [](SimDeviceModel& m) {
            return m.FailSafeWrites() << 8 | m.FailSafeSetting();
        };
        QVERIFY(units[0].WithModel(written) >> 8 == 0 && units[1].WithModel(written) == 0x1B3);
        QVERIFY(RunCli(pc, "--device sim:second fail-safe off").code == 0
                && units[1].WithModel(written) == 0x333);
        QCOMPARE(RunCli(pc, "--device sim:third info").code, 1);
        // --serial and --wait reach the unit named as it is plugged in (+), pulled out (-) or
        // given access (p) at a time (ms); list --watch tells the plugs and pulls, sending nothing.
        SimPlugs plugs;
        RecordingBackend seen(pc);
        for (SimExtender& unit : units)
            unit.ReportPlugsTo(&plugs);
        using Steps = std::vector<std::tuple<int, int, char>>;
        const std::string denied =
            "first could not be opened: Permission denied; " + NoAccessAdvice();
        const std::tuple<const char*, Steps, int, const char*, int> plugged[]{
            // arguments, steps, code, message or output, most ms taken (-1: sends nothing)
            {"--serial A1 --device sim:first info", {}, 2, "give one of them", 0},
            {"list", {}, 0, "A1\tTorvan\tSimulated HDBaseT extender\tno permission", 0},
            {"--serial A1 info", {}, 1, denied.c_str(), 0},
            {"--serial B2 fail-safe off", {}, 0, "Fail-Safe Disable", 0},
            {"--wait 10 --serial B2 fail-safe off", {{0, 1, '-'}, {3000, 1, '+'}}, 0, "", 3100},
            {"--wait 2 --serial B2 info", {{0, 1, '-'}}, 1, "number B2 (waited 2 s)", 2000},
            {"--wait 99 list", {{0, 0, '-'}}, 4, "waiting: no extender found", 60000},
            {"--wait 9 --serial A1 fail-safe off", {{0, 0, '+'}, {1000, 0, 'p'}}, 0, "", 1250},
            {"list --watch",
             {{1000, 1, '+'}, {2000, 1, '-'}},
             0,
             "present\tsim:first\tA1\n"
             "added\tsim:second\tB2\n"
             "removed\tsim:second\tB2\n",
             -1},
            {"--json list --watch", {{1, 0, '-'}}, 0, R"("removed","path":"sim:first")", -1}};
        for (const auto& [arguments, steps, code, message, most] : plugged) {
            const size_t sent = seen.CommandPayloads().size();
            const CliResult run = RunCli(
                seen, arguments, nullptr, false,
                [&, steps = steps](auto& now, auto&) mutable {
                    for (; !steps.empty() && now.count() >= std::get<0>(steps.front());
                         steps.erase(steps.begin())) {
                        SimExtender& unit = units[std::get<1>(steps.front())];
                        const char step = std::get<2>(steps.front());
                        step == '+'   ? unit.Replug()
                        : step == '-' ? unit.Unplug()
                                      : unit.FailOpen(HidAccess::Write, false);
                    }
                },
                {}, &plugs);
            QVERIFY2(run.code == code && (run.out + run.err).contains(message)
                         && (most < 0 ? seen.CommandPayloads().size() == sent
                                      : run.took.count() <= most),
                     qPrintable(arguments + (": " + run.out + run.err)));
        }
        QVERIFY(units[0].WithModel(written) == 0x233 && units[1].WithModel(written) == 0x733);
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
