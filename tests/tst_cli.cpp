// torvanreader-cli's own rules over the simulated extender: exit codes with their messages, and
// picking one unit among several. What it shares with the pages is compared in their suites.
#include "Rig.h"
#include "device/sim/SimUnits.h"

class CliTest : public QObject {
    Q_OBJECT

private slots:
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
            const CliResult run = RunCli(rig.wire, arguments);
            QVERIFY2(run.code == code && run.err.contains(message),
                     qPrintable(arguments + (": " + run.err)));
        }
        const Payloads sent = rig.Commands(); // nothing was erased or programmed
        QVERIFY(std::none_of(sent.begin(), sent.end(), [](const auto& c) { return c[0] == 3; }));
        rig.extender.Unplug();
        const CliResult missing = RunCli(rig.wire, "status");
        QVERIFY(missing.code == 1 && missing.out.isEmpty());
        QCOMPARE(missing.err,
                 "torvanreader-cli: status: no extender found (vendor 0x051A, product 0x511B)\n");
        // --device picks one unit among several.
        SimExtender units[2]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2")};
        SimUnits pc({&units[0], &units[1]});
        const CliResult list = RunCli(pc, "--json list");
        QCOMPARE(QJsonDocument::fromJson(list.out.toUtf8())["devices"][1]["serial"].toString(),
                 "B2");
        QCOMPARE(RunCli(pc, "--device sim:second fail-safe on").out, "Fail-Safe Enable\n");
        const auto writes = [](SimDeviceModel& m) { return m.FailSafeWrites(); };
        QVERIFY(units[0].WithModel(writes) == 0 && units[1].WithModel(writes) == 1);
        QCOMPARE(RunCli(pc, "--device sim:third info").code, 1);
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
