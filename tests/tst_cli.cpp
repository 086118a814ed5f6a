// torvanreader-cli's own rules over the simulated extender: signals and the block pace, exit codes
// with their messages, the answer on a terminal, --watch, and listing and picking units. What it
// shares with the pages is compared in their suites.
#include "Rig.h"
#include "TestPlatform.h"
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
                      torn = "after block 20 of 64. The local chip now holds an incomplete image";
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
        const QByteArray folderRead =
            ".: Cannot open the file! (" + FolderReadCause().toUtf8() + ")";
        const QByteArray folderCause =
            "burn-in: . cannot be written (" + FolderWriteCause().toUtf8() + ")";
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
            {"--quiet burn-in --duration 1s --log .", 1, folderCause.constData()},
            {"flash --to local none", 3, "none: Cannot open the file! (No such file or directory)"},
            {"flash --to local .", 3, folderRead.constData()},
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

    // Units named by --serial and --device, two of them with one serial number: list shows and
    // checks only those named, a command refuses a serial number two units tell, and each of the
    // two keeps its own marks (sim:second refuses the erase, so its update leaves it marked).
    void namedUnits_data()
    {
        QTest::addColumn<QString>("commands"); // run in turn, the last one checked
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("output"); // stdout, then stderr
        QTest::addColumn<int>("checks");     // connect checks sent
        const QString a1 = "sim:first\tA1\tTorvan\tSimulated HDBaseT extender\tanswers\n",
                      b2 = QString(a1).replace("first\tA1", "third\tB2"),
                      twice = "torvanreader-cli: info: 2 extenders have serial number B2 "
                              "(sim:second, sim:third): use --device to name one\n",
                      none = "torvanreader-cli: list: no extender ",
                      flash = "--device sim:%1 flash --to local --yes big.bin;";
        const std::tuple<const char*, QString, int, QString, int> rows[]{
            {"list --serial", "list --serial A1", 0, a1, 1},
            {"list --device", "list --device sim:third", 0, b2, 1},
            {"list --serial, none there", "list --serial NOPE", 1,
             none + "with serial number NOPE\n", 0},
            {"list --device, none there", "list --device sim:nope", 1, none + "at sim:nope\n", 0},
            {"list --watch --serial", "list --watch --serial A1", 0, "present\tsim:first\tA1\n", 0},
            {"--serial of two units", "--serial B2 info", 2, twice, 0},
            {"--serial of two units, --wait", "--wait 9 --serial B2 info", 2, twice, 0},
            {"marks of two units with one serial number",
             flash.arg("second") + flash.arg("third") + "--device sim:second info", 0,
             "Local (TX):\tQX710\t3072.1\tTX\tincomplete image\nRemote (RX):\tQX720\t3072.1\tRX\n",
             1}};
        for (const auto& [name, commands, code, output, checks] : rows)
            QTest::newRow(name) << commands << code << output << checks;
    }
    void namedUnits()
    {
        QFETCH(QString, commands);
        QFETCH(int, code);
        QFETCH(QString, output);
        QFETCH(int, checks);
        InTempDir dir;
        Rig rig; // the user's settings, the marks among them
        WriteFile("big.bin", Pattern(64 * 32));
        SimExtender units[3]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2"),
                             SimExtender("sim:third", "B2")};
        units[1].SetFaults({.refuse = true, .onlyPrefix = {0x03, 0x02}});
        SimUnits pc({&units[0], &units[1], &units[2]});
        RecordingBackend seen(pc);
        CliResult run{};
        for (const QString& command : commands.split(';')) {
            seen.Clear();
            run = RunCli(seen, command);
        }
        QCOMPARE(run.out + run.err, output);
        QCOMPARE(run.code, code);
        QCOMPARE(int(std::ranges::count(seen.CommandPayloads(), Hex("aa01ab"))), checks);
    }

    // A stop is seen at the next step. Before the erase nothing goes out and the mark stored for
    // the update is taken back; during the erase the write is never opened; with the last block
    // the image is complete, but --apply restarts nothing.
    void stopsBetweenSteps_data()
    {
        QTest::addColumn<QString>("trigger"); // SIGTERM once a command starting so went out
        QTest::addColumn<QString>("never");   // and this one never does
        QTest::addColumn<QString>("said");
        QTest::newRow("before the erase") << "010102"
                                          << "030205"
                                          << "before the erase: nothing";
        QTest::newRow("during the erase") << "030205"
                                          << "030306"
                                          << "after the erase. The local chip may now hold no";
        QTest::newRow("with the last block") << "bb"
                                             << "030407"
                                             << "after the last block: the local chip holds the "
                                                "complete image, it was not restarted.\n";
    }
    void stopsBetweenSteps()
    {
        QFETCH(QString, trigger);
        QFETCH(QString, never);
        QFETCH(QString, said);
        InTempDir dir;
        Rig rig;
        WriteFile("big.bin", Pattern(64 * 32));
        const auto sent = [&](const QString& hex) {
            return std::ranges::any_of(rig.Commands(), [&](const std::vector<uint8_t>& command) {
                return Bytes(command).toHex().startsWith(hex.toLatin1());
            });
        };
        const CliResult run = RunCli(
            rig.wire, "flash --to local --yes --apply big.bin", nullptr, false,
            [&](auto&, auto& stop) { stop = sent(trigger) ? cli::Stop::Terminate : stop.load(); });
        QVERIFY2(run.code == 4 && run.err.contains("flash: stopped " + said), qPrintable(run.err));
        QVERIFY(!sent(never));
        QCOMPARE(RunCli(rig.wire, "info").out.contains("incomplete image"), trigger == "030205");
    }

    // The program itself, stopped by a signal at moments spread over the first 2 s after its main
    // began (the erase's pause and the sample's 256 blocks take 2.3 s): every run ends with exit 4
    // and says where it stopped, its mark stored only once the chip was to be erased, and no
    // write completes.
    void flashStopsAtAnyMoment_data()
    {
        QTest::addColumn<int>("runs");
        QTest::newRow("asked to end by the system") << 200;
    }
    void flashStopsAtAnyMoment()
    {
        QFETCH(int, runs);
        if (!TakesStopsSeenAtStart())
            QSKIP("this system does not show when a program that runs no event loop has taken "
                  "its stop requests; a stop before that ends it by the system's default");
        QTemporaryDir dir;
        const QStringList flash{"--demo", "flash", "--to", "local",
                                QT_TESTCASE_SOURCEDIR
                                "/../samples/firmware/demo-local-tx-3072.2.hex"};
        const QRegularExpression stopped(
            "flash: stopped (before the erase|after the erase|after block [0-9]+ of 256)[:.] ");
        struct Run {
            QProcess program;
            int index = 0;
            int moment = 0; // ms after the program took its stop requests
            QElapsedTimer since;
            bool signalled = false;
        };
        std::list<Run> active;
        for (int next = 0; next < runs || !active.empty(); QTest::qWait(1)) {
            for (; next < runs && active.size() < 40; ++next) {
                Run& run = active.emplace_back();
                run.index = next;
                run.moment = next * 2000 / runs;
                run.program.setProcessEnvironment(
                    ProgramEnvironment(dir.filePath(QString::number(next))));
                ReadyForStop(run.program);
                run.program.start(TORVAN_CLI, flash);
            }
            for (auto run = active.begin(); run != active.end();) {
                if (!run->since.isValid() && TakesStops(run->program))
                    run->since.start();
                if (run->since.isValid() && run->since.elapsed() >= run->moment && !run->signalled)
                    run->signalled = SendStop(run->program);
                if (run->program.state() != QProcess::NotRunning) {
                    ++run;
                    continue;
                }
                const QString said = run->program.readAllStandardError();
                const QString where = stopped.match(said).captured(1);
                QVERIFY2(run->signalled && run->program.exitStatus() == QProcess::NormalExit
                             && run->program.exitCode() == 4 && !where.isEmpty(),
                         qPrintable(QString("at %1 ms, exit %2: %3")
                                        .arg(run->moment)
                                        .arg(run->program.exitCode())
                                        .arg(said)));
                if (SettingsKeptApart())
                    QCOMPARE(
                        ReadFile(ProgramSettingsFile(dir.filePath(QString::number(run->index))))
                            .contains("IncompleteImage"),
                        where != "before the erase");
                run = active.erase(run);
            }
        }
    }

    // A command whose output nobody reads (status --watch into a pipe whose reader stopped)
    // still ends when the system asks it to: the write gives way.
    void stopWhileOutputIsBlocked()
    {
        QTemporaryDir dir;
        UnreadPipe pipe;
        QVERIFY(pipe.Made());
        QProcess program;
        program.setProcessEnvironment(ProgramEnvironment(dir.path()));
        pipe.TakeOutputOf(program);
        ReadyForStop(program);
        program.start(TORVAN_CLI, {"--demo", "status", "--watch"});
        QTRY_VERIFY(TakesStops(program));
        QTest::qWait(1000); // the first reading is written, and waits for room
        QCOMPARE(program.state(), QProcess::Running);
        QVERIFY(SendStop(program));
        QVERIFY(program.waitForFinished(1000));
    }

    // The demo runs a program per command and keeps its chips between them: a remote chip flashed
    // with the 3072.2 sample and restarted reports it.
    void demoPlaysAnUpdateThrough()
    {
        QTemporaryDir home;
        QProcess program;
        program.setProcessEnvironment(ProgramEnvironment(home.path()));
        const QString sample =
            QT_TESTCASE_SOURCEDIR "/../samples/firmware/demo-remote-rx-3072.2.hex";
        for (const QString& command :
             {"flash --to remote --yes " + sample, QString("apply --to remote"), QString("info")}) {
            program.start(TORVAN_CLI, ("--demo " + command).split(' '));
            QVERIFY(program.waitForFinished(10000));
        }
        QVERIFY(program.readAllStandardOutput().contains("Remote (RX):\tQX720\t3072.2\tRX"));
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
