// torvanreader-cli against the windows over the simulated extender: the same stream for flash (its
// status reading and burn-in log are compared in the Status and burn-in suites); exit codes;
// picking one unit among several.
#include "Rig.h"
#include "device/sim/SimUnits.h"

namespace {

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
        const CliResult flash = RunCli(rig.wire, "flash --to remote --apply " + path);
        QCOMPARE(flash.out,
                 "Image: 8192 byte. IC Type: QX720RX  FW Revision: 3072.2\nFirmware update "
                 "Completed!\n Remote Reset done.\n");
        Payloads expected = Stream(page);
        expected.push_back(Hex("040408"));
        QCOMPARE(Stream(rig), expected);
        QCOMPARE(rig.extender.Flash(SimDeviceModel::Remote),
                 page.extender.Flash(SimDeviceModel::Remote));
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
            const CliResult run = RunCli(rig.wire, arguments);
            QVERIFY2(run.code == code && run.err.contains(message),
                     qPrintable(arguments + (": " + run.err)));
        }
        QCOMPARE(Stream(rig), Payloads{}); // nothing was erased
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
        const auto writes = [&](int unit) {
            return units[unit].WithModel([](SimDeviceModel& m) { return m.FailSafeWrites(); });
        };
        QVERIFY(writes(0) == 0 && writes(1) == 1
                && RunCli(pc, "--device sim:third info").code == 1);
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
