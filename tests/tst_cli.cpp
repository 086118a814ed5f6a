// torvanreader-cli's own rules over the simulated extender: exit codes with their messages, the
// answer on a terminal, --watch, and listing and picking units. What it shares with the pages is
// compared in their suites.
#include "Rig.h"
#include "device/sim/SimUnits.h"

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void ownRules()
    {
        InTempDir dir;
        Rig rig;
        WriteFile("bad.hex", QByteArray(300, '0').prepend(':'));
        WriteFile("plain.bin", QByteArray(300, '\x11'));
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}});
        const std::tuple<const char*, int, const char*> table[]{
            {"info --to local", 2, "--to is not an option of info"},
            {"fail-safe on --interval 7", 2, "--interval takes 5, 10, 20, 30, 40, 50, 60"},
            {"flash --to local bad.hex", 3, "bin! (line 1: byte count 0 but 145 data bytes)"},
            {"flash --to local plain.bin", 4, "not programmed: This image holds no identification"},
            {"fail-safe off", 1, "(05 01 06 33) failed: the extender refused it (status 0x55)"},
            {"--json list", 0, ""}};
        for (auto [arguments, code, message] : table) {
            const CliResult run = RunCli(rig.wire, arguments);
            QVERIFY2(run.code == code && run.err.contains(message),
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
        QVERIFY(watched.count('\n') == 2
                && watched.contains(R"("video_ber":{"lamp":"marginal","level":8})")
                && watched.indexOf(R"("link":"down")") < watched.indexOf(R"("link":"up")"));
        rig.extender.Unplug();
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
                && list["devices"][0]["answers"] == false);
        QCOMPARE(RunCli(pc, "--device sim:second fail-safe on").out, "Fail-Safe Enable\n");
        // Settings written, then the last: on with the page's defaults, off written twice.
        const auto written = [](SimDeviceModel& m) {
            return m.FailSafeWrites() << 8 | m.FailSafeSetting();
        };
        QVERIFY(units[0].WithModel(written) >> 8 == 0 && units[1].WithModel(written) == 0x1B3);
        QVERIFY(RunCli(pc, "--device sim:second fail-safe off").code == 0
                && units[1].WithModel(written) == 0x333);
        QCOMPARE(RunCli(pc, "--device sim:third info").code, 1);
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
