// torvanreader-cli's own rules over the simulated extender: signals and the block pace, exit codes
// with their messages, the answer on a terminal, --watch, and listing and picking units. What it
// shares with the pages is compared in their suites.
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "Rig.h"
#include "TestPlatform.h"
#include "burnin/BurnInLog.h"
#include "device/SystemDevices.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/UserSettings.h"
#include "history/Formats.h"
#include "history/Keeper.h"
#include "history/Store.h"

namespace {

// clang-format off
// A run stopped by a signal at ms (again 50 ms later) or once a command starting with trigger went
// out, the keys typed, the ms it takes when it ends well (0: not checked), a command never sent,
// the registers the extender has (Rig::Set) besides a healthy unit's, and the update history's
// newest row, action and outcome ("": none; not checked when not given).
struct Ruled { QString arguments; int code; QString message; bool terminal = false; cli::Stop signal = cli::Stop::None;
               int at = 0; QString keys = {}; int took = 0; QString trigger = {}, never = {}, registers = {};
               QString recorded = {}; };
// The commands run in turn, the last one checked; steps of (ms, unit, + - ! or p); the most ms taken
// (-1: sends nothing); the fail-safe settings each unit was written, and the last; the unit pulled
// out before the run; the connect checks sent, with the message then the whole stdout, or stderr
// if it fails, the other one empty (-1: the message is looked for in them).
struct Picked { QString arguments; std::vector<std::tuple<int, int, char>> steps; int code; QString message; int most;
                QString written = "0|0"; int out = -1; int checks = -1; };
// The program run with the arguments (commands in turn, split at ';'); said is in the last one's
// stdout, or stderr if it fails.
struct Said { QString program, arguments; int code; QString said; };
// How a unit of a run on several ended: its exit code (-1: not of the run) and its result's start.
struct Ended { int code; QString result; };
// A command on the eight units of a rack at once: what each unit meets in turn ('.' nothing, 'r'
// refuses its 20th block, 'u' is pulled out as its 30th comes, 'h' is held by another program, 'f'
// and 'g' are chips of two kinds that the image is not for, 'd' has its link down, 'p' is plugged
// in only 500 ms into the run), the run's exit
// code and how each unit ends; on a terminal with the keys typed, a signal at a time of the units'
// own, the questions asked, and a serial number named that no unit has.
struct Racked { QString arguments; QString units; int code; std::vector<Ended> ends; bool terminal = false;
                QString keys = {}; cli::Stop signal = cli::Stop::None; int at = 0; int questions = 0; QString absent = {}; };
// A burn-in of 7 s on the units of a rack at once: the arguments, what each unit meets (Racked's
// letters, and 'l' whose log another run holds, 'e' whose log holds an entry), the run's exit
// code and each unit's (-1: not of the run), where the logs are ("%1" the serial number), on a
// terminal with the keys typed, and the questions asked.
struct BurnedIn { QString arguments; QString units; int code; std::vector<int> codes; QString logs;
                  bool terminal = false; QString keys = {}; int questions = 0; };
// The metrics or the report of the units chosen, each read on a thread of its own: the arguments,
// what each unit of a rack meets (Racked's letters), the exit code, each unit's state ('1' read,
// 'h' in use and sent nothing, '-' left out) and what is said.
struct Monitored { QString arguments; QString units; int code; QString read; QString said = {}; };
// clang-format on

// What the manual page and the command table both name: on the page, in the table.
struct Named {
    QStringList onPage, inTable;
};

// A line of the manual page as it reads: roff's escapes for the minus, the fonts, the tilde and the
// spaces undone, its quotes dropped.
QString ReadText(QString line)
{
    static const QRegularExpression font(R"(\\f[BIRP])");
    line.replace(R"(\-)", "-").replace(R"(\(ti)", "~").replace(R"(\~)", " ").replace(R"(\ )", " ");
    return line.remove(R"(\&)").remove(font).remove('"');
}

// What the manual page tells of the command line: its commands; the options that the headings of
// each command's entry and of its options' entries name, and those of the options every command
// takes (under ""); and every option named anywhere on the page.
struct ManPage {
    QStringList commands;
    QMap<QString, QStringList> options;
    QStringList named;
};

ManPage ReadManPage(QFile& file)
{
    static const QRegularExpression option("--([a-z][a-z-]*)");
    ManPage page;
    QString section, command;
    int depth = 0;        // entries within an entry: a command's options
    bool afterTp = false; // the line after .TP names the entry
    for (QString line : QString(file.readAll()).split('\n')) {
        line = ReadText(line);
        for (const QRegularExpressionMatch& match : option.globalMatch(line))
            page.named << match.captured(1);
        if (line.startsWith(".SH "))
            section = line.mid(4);
        depth += int(line == ".RS") - int(line == ".RE");
        const bool heading = std::exchange(afterTp, line == ".TP");
        if (!heading || (section != "OPTIONS" && section != "COMMANDS"))
            continue;
        const QString words = line.section(' ', 1); // the heading's words after the macro
        if (section == "COMMANDS" && depth == 0)
            page.commands << (command = words.section(' ', 0, 0));
        QStringList& options = page.options[section == "OPTIONS" ? QString() : command];
        for (const QRegularExpressionMatch& match : option.globalMatch(words))
            options << match.captured(1);
    }
    for (QStringList& options : page.options)
        options.removeDuplicates();
    page.named.removeDuplicates();
    return page;
}

// The names of first that second lacks.
QStringList Lacking(const QStringList& first, const QStringList& second)
{
    QStringList lacking;
    for (const QString& name : first)
        if (!second.contains(name))
            lacking << name;
    return lacking;
}

constexpr int kRackSize = 8;
const QByteArray kOldEntry = "2014/3/6 9:0:0\tLink Fail.\r\n";

// Every unit of the rack ends the same way.
std::vector<Ended> Each(int code, const QString& result)
{
    return std::vector<Ended>(kRackSize, {code, result});
}

// Eight units side by side, sim:unit1 to sim:unit8 with serial numbers U1 to U8, on one wire whose
// records carry the fake time of each unit's own thread; the user's settings of their own.
struct Rack {
    InTempDir dir;
    QTemporaryDir settings;
    std::vector<std::unique_ptr<SimExtender>> units;
    std::unique_ptr<SimUnits> pc;
    std::unique_ptr<RecordingBackend> wire;
    const QString history = dir.dir.filePath("history.sqlite");
    const history::Keeper keeper{history, {}};

    Rack()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        std::vector<SimExtender*> plugged;
        for (int unit = 1; unit <= kRackSize; ++unit) {
            const std::string number = std::to_string(unit);
            units.push_back(std::make_unique<SimExtender>("sim:unit" + number, "U" + number));
            plugged.push_back(units.back().get());
        }
        for (SimExtender* unit : plugged) { // the link, a source and the lines up
            for (const auto& [reg, value] : {std::pair{0x01, 0x04}, {0x02, 0x02}})
                unit->SetRegister(0x02, uint8_t(reg), {uint8_t(value)});
            unit->SetRegister(0x01, 0x0B, {0x05});
        }
        pc = std::make_unique<SimUnits>(plugged);
        wire = std::make_unique<RecordingBackend>(*pc);
        wire->SetClock(TestClock);
    }
    // What unit (from 0) meets, as Racked's letters say.
    void Meets(int unit, QChar what)
    {
        SimExtender& one = *units[size_t(unit)];
        // Of the commands that start with AA, the connect check is the first, then the blocks.
        if (what == 'r')
            one.SetFaults({.refuse = true, .onlyPrefix = {0xAA}, .onlyNth = 1 + 20});
        else if (what == 'u')
            one.SetFaults({.unplug = true, .onlyPrefix = {0xAA}, .onlyNth = 1 + 30});
        else if (what == 'h')
            QVERIFY(pc->Claim(Path(unit)).handle != kInvalidHidHandle); // kept for the run
        else if (what == 'f' || what == 'g')
            one.WithModel([&](SimDeviceModel& m) {
                m.SetIdentification(SimDeviceModel::Local,
                                    what == 'f' ? std::array<uint8_t, 4>{0x33, 7, 0x21, 0}
                                                : std::array<uint8_t, 4>{0x13, 7, 0x21, 0});
            });
        else if (what == 'd')
            one.SetRegister(0x02, 0x01, {0x00});
        else if (what == 'p')
            one.Unplug();
        else if (what == 'l')
            QVERIFY(!logs.emplace_back(std::make_unique<BurnInLogFile>(Log(unit)))->Hold());
        else if (what == 'e')
            QVERIFY(!WriteFile(Log(unit), kOldEntry).isEmpty());
    }
    // Where a unit's log is when none is named.
    static QString Log(int unit) { return QString("BIT-U%1.txt").arg(unit + 1); }
    std::vector<std::unique_ptr<BurnInLogFile>> logs; // held by another run
    static std::string Path(int unit) { return "sim:unit" + std::to_string(unit + 1); }
    Payloads Commands(int unit) const { return wire->CommandPayloads(Path(unit)); }
    // When each data block went to the unit, on the unit's own time.
    std::vector<std::chrono::steady_clock::time_point> Blocks(int unit) const
    {
        std::vector<std::chrono::steady_clock::time_point> sent;
        for (const RecordingBackend::Record& record : wire->Records()) {
            if (record.path == Path(unit) && record.direction == RecordingBackend::Direction::Out
                && record.Payload().size() == 33)
                sent.push_back(record.time);
        }
        return sent;
    }
};

// The summary's row of each unit by its serial number: its columns, the table's or the JSON's.
std::map<QString, QStringList> SummaryRows(const QString& out)
{
    std::map<QString, QStringList> rows;
    const QString last = out.trimmed().section('\n', -1);
    if (last.startsWith('{')) {
        for (const QJsonValue unit : QJsonDocument::fromJson(last.toUtf8())["units"].toArray())
            rows[unit["serial"].toString()] = {QString::number(unit["code"].toInt()),
                                               unit["result"].toString()};
        return rows;
    }
    const QStringList lines = out.section("SERIAL ", 1).split('\n', Qt::SkipEmptyParts).mid(1);
    for (const QString& line : lines) {
        const QStringList columns = line.split(QRegularExpression("  +"));
        rows[columns[0]] = {columns[3], columns.last()};
    }
    return rows;
}

// How many commands the unit's wire holds after a job that ended with result: the connect check
// and the identification read, the erase, the opening of the write, and the blocks named.
int CommandsFor(const QString& result)
{
    const QRegularExpressionMatch block =
        QRegularExpression("^(stopped after block|block) (\\d+) of").match(result);
    if (block.hasMatch())
        return 4 + block.captured(2).toInt();
    if (result.startsWith("completed"))
        return 4 + 64;
    if (result.startsWith("stopped after the erase"))
        return 3;
    return result.contains(" is in use by ") ? 0 : 2;
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    // Exit codes with their messages, and signals. A refused run erases and programs nothing.
    // Nothing goes to the chip before the erase; SIGTERM, SIGHUP and Ctrl-C off a terminal stop at
    // a block, Ctrl-C on a terminal asks while the blocks go on (a second changes nothing). A stop
    // sent once a command went out is seen at the next step: before the erase the mark stored for
    // the update is taken back, during it the write is never opened, with the last block the image
    // is complete but --apply restarts nothing. A run that ends well takes the time its pace gives.
    void ownRules_data()
    {
        // The blocks go one per 5 ms from the erase's pause of 1 s, so the 64th leaves at 1315 ms;
        // a block answered 300 ms late puts the rest 295 ms later (its 5 ms are in the 300),
        // none made up. A command stopped at t ms ends at t + 100: it sleeps 100 ms at a time.
        constexpr int kLastBlockMs = 1000 + 63 * 5, kLateMs = 300 - 5, kStopSeenMs = 100;
        const QString flash = "flash --to local --yes big.bin", before = "before the erase",
                      torn = "after block 20 of 64. The local chip now holds an incomplete image",
                      apply = "flash --to local --yes --apply big.bin";
        using enum cli::Stop;
        // clang-format off
        AddRows<Ruled>({
            {"another command's option", {"info --to local", 2, "--to is not an option of info"}},
            {"an interval not listed", {"fail-safe on --interval 7", 2, "--interval takes 5, 10, 20, 30, 40, 50, 60"}},
            {"an unsound HEX file", {"flash --to local bad.hex", 3, "bin! (line 1: byte count 0 but 145 data bytes)"}},
            {"no identification", {"flash --to local plain.bin", 4, "not programmed: This image holds no identification, so "
                "nothing tells whether it is for the chip you chose, QX710 TX. Programming it may leave the unit unusable. "
                "(--yes programs it anyway)"}},
            {"Enter on a terminal answers No", {"flash --to local plain.bin", 4, "[y/N]", true, None, 0, "\n"}},
            {"no data", {"flash --to local empty.hex", 3, "empty.hex: The image holds no data: nothing to program!"}},
            {"a setting refused", {.arguments = "fail-safe off", .code = 1, .message = "(05 01 06 33) failed: the extender refused it "
                "(status 0x55)", .recorded = "fail-safe off failed: the extender refused it (status 0x55)"}},
            {"a read refused", {.arguments = "status", .code = 1, .message = "status: the read (01 08 09) failed: the extender refused it",
                .registers = "0108="}},
            {"a period not listed", {"burn-in --period 5s", 2, "--period takes 1s, 10s, 1m or 10m, not '5s'"}},
            {"a duration too long", {"burn-in --duration 99999999999999999999", 2, "--duration is at most 366 days"}},
            {"a duration below a period", {"burn-in --period 10s --duration 9", 2, "9 is shorter than one period (10s)"}},
            {"an old log kept", {"burn-in --log old.txt", 4, "not started: old.txt was kept (--yes empties it)"}},
            {"a log not to be written", {"--quiet burn-in --duration 1s --log .", 1, "burn-in: . cannot be written (" + kFolderWriteCause + ")"}},
            {"no such image", {"flash --to local none", 3, "none: Cannot open the file! (" + kMissingFileCause + ")"}},
            {"a folder for an image", {"flash --to local .", 3, ".: Cannot open the file! (" + kFolderReadCause + ")"}},
            {"an unknown option", {"--help-all", 2, "Unknown option 'help-all'"}},
            {"the version", {"--version", 0, "torvanreader-cli 1.0.0.1\n"}},
            {"a command's help", {"burn-in --help", 0, "burn-in [--period 1s|10s|1m|10m] [--duration TIME] [--log FILE"}},
            {"list as JSON", {"--json list", 0, ""}},
            {"Ctrl-C off a terminal before the erase", {flash, 4, before, false, Interrupt, 0, "", 0, "", "", "", ""}},
            {"SIGTERM on a terminal before the erase", {flash, 4, before, true, Terminate, 0}},
            {"SIGTERM on a terminal at a block", {flash, 4, torn, true, Terminate, 1100, "", 0, "", "", "",
                "program stopped after block 20 of 64"}},
            {"Ctrl-C off a terminal at a block", {flash, 4, torn, false, Interrupt, 1100}},
            {"Ctrl-C on a terminal, yes", {flash, 4, "A firmware update is running. "
                "Stopping now leaves the chip without working firmware. Stop it? [y/N]", true, Interrupt, 1100, "y"}},
            {"Ctrl-C on a terminal, no answer", {flash, 0, "Completed!", true, Interrupt, 1100, "...........", kLastBlockMs}},
            {"the 10th block answered late", {flash, 0, "Completed!", false, None, 0, "", kLastBlockMs + kLateMs, "",
                "", "", "program completed"}},
            {"Ctrl-C at the question", {"flash --to local big.bin", 4, "not programmed", true, Interrupt, 0, "...y"}},
            {"burn-in", {"burn-in --duration 9s", 0, "ended (signal): 3 samples", false, Terminate, 3500, "", 3500 + kStopSeenMs}},
            {"status --watch", {"status --watch", 0, "", false, Terminate, 2500, "", 2500 + kStopSeenMs}},
            {"stopped before the erase", {apply, 4, "flash: stopped before the erase: nothing", false, Terminate, 0, "", 0,
                "010102", "030205"}},
            {"stopped during the erase", {apply, 4, "flash: stopped after the erase. The local chip may now hold no", false,
                Terminate, 0, "", 0, "030205", "030306", "", "program stopped after the erase"}},
            {"stopped with the last block", {apply, 4, "flash: stopped after the last block: the local chip holds the "
                "complete image, it was not restarted.\n", false, Terminate, 0, "", 0, "bb", "030407", "",
                "program completed"}}});
        // clang-format on
    }
    void ownRules()
    {
        QFETCH(Ruled, row);
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        WriteFile("big.bin", Pattern(64 * 32));
        WriteFile("bad.hex", QByteArray(300, '0').prepend(':'));
        WriteFile("plain.bin", QByteArray(300, '\x11'));
        WriteFile("empty.hex", QByteArray(300, ' ').prepend(":00000001FF\n"));
        WriteFile("old.txt", "2014/3/6 9:0:0\tLink Fail.\r\n");
        rig.Set(row.registers);
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}});
        const auto sent = [&](const QString& hex) {
            return !hex.isEmpty()
                   && std::ranges::any_of(rig.Commands(), [&](const std::vector<uint8_t>& command) {
                          return Bytes(command).toHex().startsWith(hex.toLatin1());
                      });
        };
        int told = 0; // the signal again 50 ms later
        const auto moment = [&](std::chrono::milliseconds& now, std::atomic<cli::Stop>& stop) {
            if (row.signal == cli::Stop::None && rig.Commands().size() == 14 && !told++)
                now += 300ms;
            else if (row.signal != cli::Stop::None && told < 2
                     && (row.trigger.isEmpty() ? now.count() >= row.at + told * 50
                                               : sent(row.trigger)))
                stop = row.signal, ++told;
        };
        const CliResult run =
            RunCli(rig.wire, row.arguments, nullptr, row.terminal, moment, row.keys);
        // Data goes to stdout; a run that fails says why on stderr.
        QVERIFY2((row.code ? run.err : run.out).contains(row.message), qPrintable(run.err));
        QCOMPARE(run.code, row.code);
        QCOMPARE(run.err.count("[y/N]"), qsizetype(!row.keys.isEmpty()));
        QCOMPARE(std::ranges::count(rig.Commands(), Hex("030205")),
                 row.arguments.contains("--yes") && !row.message.contains("before the erase"));
        QVERIFY(row.arguments.contains("--yes")
                || std::ranges::none_of(rig.Commands(), [](auto& c) { return c[0] == 3; }));
        QVERIFY(!sent(row.never));
        if (row.took)
            QCOMPARE(run.took.count(), row.took);
        if (!row.trigger.isEmpty())
            QCOMPARE(RunCli(rig.wire, "info").out.contains("incomplete image"),
                     row.trigger == "030205");
        if (!row.recorded.isNull()) {
            const std::vector<history::Row> kept = rig.History();
            QCOMPARE(kept.empty() ? "" : kept[0].action + " " + history::OutcomeText(kept[0]),
                     row.recorded);
        }
    }

    // --watch prints a reading when it changes: the link comes up when its read is answered.
    void ownRulesOnReadings()
    {
        Rig rig;
        rig.Healthy();
        rig.Set("010c=0000001e 0112=00000021 0114=08");
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = Hex("011213"), .onlyNth = 1});
        const QString watched = RunCli(rig.wire, "--json status --watch").out;
        QCOMPARE(watched.count('\n'), 2);
        QVERIFY(watched.contains(R"("time":"2014/3/7 13:5:0")"));
        QVERIFY(watched.contains(R"("video_ber":{"lamp":"marginal","level":8})"));
        QVERIFY(watched.section('\n', 0, 0).contains(R"("link":"down")")
                && watched.section('\n', 1, 1).contains(R"("link":"up")"));
    }

    // Three units: the first listed but not to be opened, the third a second B2, out unless plugged
    // in. --device, --serial and --wait reach the unit named as it is plugged in (+), pulled out
    // (-), pulled out as its connect check comes (!) or given access (p) at a time (ms); one gone
    // or none there is said; list --watch tells plugs and pulls, sending nothing, and list shows
    // and checks only the units named. Fail-Safe On writes the page's defaults, Off the off setting
    // twice. A serial number two units tell is refused, and each of the two keeps its own marks
    // (sim:second refuses the erase, so its update leaves it marked).
    void ownRulesOnUnits_data()
    {
        const QString denied = "first could not be opened: Permission denied; "
                               + QString::fromStdString(NoAccessAdvice());
        const QString a1 = "sim:first\tA1\tTorvan\tSimulated HDBaseT extender\tanswers\n",
                      b2 = QString(a1).replace("first\tA1", "third\tB2"),
                      twice = "torvanreader-cli: info: 2 extenders have serial number B2 "
                              "(sim:second, sim:third): use --device to name one\n",
                      none = "torvanreader-cli: list: no extender ",
                      flash = "--device sim:%1 flash --to local --yes big.bin;";
        // The first opens and the third is plugged in: all three answer.
        const std::vector<std::tuple<int, int, char>> all{{0, 0, 'p'}, {0, 2, '+'}};
        // clang-format off
        AddRows<Picked>({
            {"--device, On", {"--device sim:second fail-safe on", {}, 0, "Fail-Safe Enable\n", 0, "0|1 b3"}},
            {"--device, Off", {"--device sim:second fail-safe off", {}, 0, "Fail-Safe Disable", 0, "0|2 33"}},
            {"--device of none", {"--device sim:third info", {}, 1, "", 0}},
            {"--serial with --device", {"--serial A1 --device sim:first info", {}, 2, "give one of them", 0}},
            {"--all with --serial", {"--all --serial A1 info", {}, 2, "--all names every extender; give it without", 0}},
            {"--serial twice, one not to be opened", {"--serial A1 --serial B2 fail-safe off", {}, 1,
                "A1: torvanreader-cli: fail-safe: sim:first could not be opened: Permission denied", 0, "0|2 33"}},
            {"--all as JSON", {"--json --all fail-safe off", all, 0, R"("code":0,"error":null,"path":"sim:third","result":"off",)"
                R"("seconds":0,"serial":"B2"}]})", 0, "2 33|2 33"}},
            {"--wait for every unit named", {"--wait 10 --serial A1 --serial B2 fail-safe off", {{0, 0, 'p'}, {0, 1, '-'}, {3000, 1, '+'}},
                0, "B2: Fail-Safe Disable\n", 3100, "2 33|2 33"}},
            {"--wait, a unit named stays out", {"--wait 2 --serial A1 --serial NOPE info", {}, 1,
                "no extender with serial number NOPE (waited 2 s)", 2000}},
            {"list, no access", {"list", {}, 0, "A1\tTorvan\tSimulated HDBaseT extender\tno permission", 0}},
            {"list as JSON", {"--json list", {}, 0, R"({"answers":false,"in_use":false,"manufacturer":"Torvan","no_permission":true,)"
                R"("path":"sim:first","product":"Simulated HDBaseT extender","serial":"A1"},{"answers":true,"in_use":false,)"
                R"("manufacturer":"Torvan","no_permission":false,"path":"sim:second")", 0}},
            {"--serial, no access", {"--serial A1 info", {}, 1, denied, 0}},
            {"--serial", {"--serial B2 fail-safe off", {}, 0, "Fail-Safe Disable", 0, "0|2 33"}},
            {"--wait, plugged in again", {"--wait 10 --serial B2 fail-safe off", {{0, 1, '-'}, {3000, 1, '+'}}, 0, "", 3100, "0|2 33"}},
            {"--wait, stays out", {"--wait 2 --serial B2 info", {{0, 1, '-'}}, 1, "number B2 (waited 2 s)", 2000}},
            {"--wait, none comes", {"--wait 99 list", {{0, 0, '-'}}, 4, "waiting: no extender found", 60000, "0|0", 1}},
            {"--wait, plugged in, then access", {"--wait 9 --serial A1 fail-safe off", {{0, 0, '+'}, {1000, 0, 'p'}}, 0, "", 1250, "2 33|0", 0}},
            {"list --watch", {"list --watch", {{1000, 1, '+'}, {2000, 1, '-'}}, 0,
                "present\tsim:first\tA1\nadded\tsim:second\tB2\nremoved\tsim:second\tB2\n", -1, "0|0", 1}},
            {"list --watch as JSON", {"--json list --watch", {{1, 0, '-'}}, 0, R"("removed","path":"sim:first")", -1}},
            {"list --serial", {"list --serial A1", all, 0, a1, 0, "0|0", -1, 1}},
            {"list --device", {"list --device sim:third", all, 0, b2, 0, "0|0", -1, 1}},
            {"list --serial, none there", {"list --serial NOPE", all, 1, none + "with serial number NOPE\n", 0, "0|0", -1, 0}},
            {"list --device, none there", {"list --device sim:nope", all, 1, none + "at sim:nope\n", 0, "0|0", -1, 0}},
            {"list --watch --serial", {"list --watch --serial A1", all, 0, "present\tsim:first\tA1\n", -1, "0|0", -1, 0}},
            {"--serial of two units", {"--serial B2 info", all, 2, twice, 0, "0|0", -1, 0}},
            {"--serial of two units, --wait", {"--wait 9 --serial B2 info", all, 2, twice, 0, "0|0", -1, 0}},
            {"info, the unit pulled out", {"--serial B2 info", {{0, 1, '!'}}, 1, "torvanreader-cli: info: the connect check (AA 01 AB) "
                "failed: the extender did not answer (No such device)\n", 0, "0|0", -1, 1}},
            {"status, no unit", {"status", {{0, 0, '-'}, {0, 1, '-'}}, 1, "torvanreader-cli: status: no extender found (vendor 0x051A, "
                "product 0x511B); plug the unit (TX) into this PC with its USB to mini-USB cable, see what is there with "
                "'torvanreader-cli list', or try every command on a simulated extender with --demo\n", -1, "0|0", -1, 0}},
            {"check, no unit", {"check", {{0, 0, '-'}, {0, 1, '-'}}, 3, "TORVANREADER UNKNOWN - no extender found (vendor 0x051A", -1}},
            {"check, a range upside down", {"check --crit-level 2:1", {}, 3,
                "TORVANREADER UNKNOWN - --crit-level: '2:1' is not a range: it starts above its end\n", -1}},
            {"check, an unknown option", {"check --bogus", {}, 3, "TORVANREADER UNKNOWN - Unknown option 'bogus'.\n", -1}},
            {"list, no unit", {"list", {{0, 0, '-'}, {0, 1, '-'}}, 1, "torvanreader-cli: list: no extender found (vendor 0x051A, "
                "product 0x511B); plug the unit (TX) into this PC with its USB to mini-USB cable, or try every command on a "
                "simulated extender with --demo\n", -1, "0|0", -1, 0}},
            {"apply on every unit, one marked", {flash.arg("second") + "--all apply --to local", all, 4,
                "B2 at sim:second: torvanreader-cli: apply: not restarted: the last firmware update of the local chip did not "
                "complete", 1000}},
            {"marks of two units with one serial number", {flash.arg("second") + flash.arg("third") + "--device sim:second info",
                all, 0, "Local (TX):\tQX710\t3072.1\tTX\tincomplete image\nRemote (RX):\tQX720\t3072.1\tRX\n", 0, "0|0", -1, 1}}});
        // clang-format on
    }
    void ownRulesOnUnits()
    {
        QFETCH(Picked, row);
        InTempDir dir;
        Rig rig; // the user's settings, the marks among them
        WriteFile("big.bin", Pattern(64 * 32));
        SimExtender units[3]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2"),
                             SimExtender("sim:third", "B2")};
        SimPlugs plugs;
        units[2].Unplug();
        if (row.out >= 0)
            units[row.out].Unplug(); // before its plugs are told
        for (SimExtender& unit : units)
            unit.ReportPlugsTo(&plugs);
        units[0].FailOpen(HidAccess::Write, true); // listed, but it cannot be opened
        units[1].SetFaults({.refuse = true, .onlyPrefix = {0x03, 0x02}});
        SimUnits pc({&units[0], &units[1], &units[2]});
        RecordingBackend seen(pc);
        auto steps = row.steps;
        const auto moment = [&](auto& now, auto&) {
            for (; !steps.empty() && now.count() >= std::get<0>(steps.front());
                 steps.erase(steps.begin())) {
                SimExtender& unit = units[std::get<1>(steps.front())];
                const char step = std::get<2>(steps.front());
                step == '+'   ? unit.Replug()
                : step == '-' ? unit.Unplug()
                : step == '!' ? unit.SetFaults({.unplug = true, .onlyPrefix = Hex("aa01ab")})
                              : unit.FailOpen(HidAccess::Write, false);
            }
        };
        CliResult run{};
        for (const QString& command : row.arguments.split(';')) {
            seen.Clear();
            run = RunCli(seen, command, nullptr, false, moment, {}, &plugs);
        }
        QVERIFY2((run.out + run.err).contains(row.message), qPrintable(run.out + run.err));
        QCOMPARE(run.code, row.code);
        if (row.most < 0)
            QCOMPARE(seen.CommandPayloads().size(), size_t(0));
        else
            QVERIFY(run.took.count() <= row.most);
        const auto written = [](SimDeviceModel& m) { // how many settings, and the last
            return m.FailSafeWrites()
                       ? QString("%1 %2").arg(m.FailSafeWrites()).arg(m.FailSafeSetting(), 0, 16)
                       : "0";
        };
        QCOMPARE(units[0].WithModel(written) + "|" + units[1].WithModel(written), row.written);
        if (row.checks >= 0) { // a run that fails says why on stderr alone
            QCOMPARE(row.code ? run.err : run.out, row.message);
            QCOMPARE(row.code ? run.out : run.err, "");
            QCOMPARE(int(std::ranges::count(seen.CommandPayloads(), Hex("aa01ab"))), row.checks);
        }
    }

    // The units of a rack flashed at once, each on its own channel at its own pace: each unit's
    // wire is exactly one unit's update, or the first part of it up to where its result says it
    // ended, its blocks never sooner than 5 ms apart on its own time; a unit that refuses, is
    // pulled out or is held by another program ends alone, one the image is not for is asked about
    // once per question on a terminal and refused elsewhere, and a signal reaches every unit at its
    // next step. A unit whose update ended after its erase keeps its incomplete mark. Every line
    // of a unit starts with its serial number; the summary gives each unit's code, and the run's
    // is the worst.
    void flashesEveryUnitAtOnce_data()
    {
        const QString flash = "--all flash --to local --yes big.bin",
                      asked = "--all flash --to local big.bin";
        const QString stopped = "stopped after block 20 of 64";
        using enum cli::Stop;
        // clang-format off
        AddRows<Racked>({
            {"eight units", {flash, "........", 0, Each(0, "completed")}},
            {"eight units, as JSON", {"--json " + flash, "........", 0, Each(0, "completed")}},
            {"one refusing, one pulled out, one held, one not fitting, a signal", {asked, "ruhf....", 1,
                {{1, "block 20 of 64 failed"}, {1, "block 30 of 64 failed"}, {1, "sim:unit3 is in use by tst_cli"},
                 {4, "not programmed"}, {4, "stopped after block 40 of 64"}, {4, "stopped after block 40 of 64"},
                 {4, "stopped after block 40 of 64"}, {4, "stopped after block 40 of 64"}}, false, {}, Terminate, 1200}},
            {"SIGTERM before any erase", {flash, "........", 4, Each(4, "stopped before the erase"), true, {}, Terminate, 0}},
            {"SIGTERM during the erases", {flash, "........", 4, Each(4, "stopped after the erase"), false, {}, Terminate, 500}},
            {"SIGTERM at a block", {flash, "........", 4, Each(4, stopped), true, {}, Terminate, 1100}},
            {"Ctrl-C off a terminal at a block", {flash, "........", 4, Each(4, stopped), false, {}, Interrupt, 1100}},
            {"Ctrl-C on a terminal, yes", {flash, "........", 4, Each(4, stopped), true, "y", Interrupt, 1100, 1}},
            {"Ctrl-C on a terminal, no", {flash, "........", 0, Each(0, "completed"), true, "n", Interrupt, 1100, 1}},
            {"images not for the chips, asked once a kind", {asked, "f.gf..g.", 0, Each(0, "completed"), true, "yy", None, 0, 2}},
            {"images not for the chips, refused", {asked, "f.gf..g.", 4, {{4, "not programmed"}, {0, "completed"},
                {4, "not programmed"}, {4, "not programmed"}, {0, "completed"}, {0, "completed"}, {4, "not programmed"},
                {0, "completed"}}}},
            {"a unit plugged in during the run", {flash, "...p....", 0, {{0, "completed"}, {0, "completed"},
                {0, "completed"}, {-1, {}}, {0, "completed"}, {0, "completed"}, {0, "completed"}, {0, "completed"}}}},
            {"the units named", {"--serial U2 --serial U5 --serial U9 flash --to local --yes big.bin", "........", 1,
                {{-1, {}}, {0, "completed"}, {-1, {}}, {-1, {}}, {0, "completed"}, {-1, {}}, {-1, {}}, {-1, {}}},
                false, {}, None, 0, 0, "U9"}}});
        // clang-format on
    }
    void flashesEveryUnitAtOnce()
    {
        QFETCH(Racked, row);
        Rack rack;
        const QByteArray image =
            Pattern(64 * 32).replace(0, 8, QByteArray::fromHex("1234fedc23072110"));
        WriteFile("big.bin", image);
        for (int unit = 0; unit < kRackSize; ++unit)
            rack.Meets(unit, row.units[unit]);
        Payloads update = Wire("aa01ab 010102 030205 030306");
        for (size_t block = 0; block < 64; ++block) {
            const frames::DataChunk chunk = frames::DataChunkAt(AsBytes(image), block);
            update.emplace_back(chunk.begin(), chunk.end());
        }
        bool signalled = false;
        const auto moment = [&](std::chrono::milliseconds& now, std::atomic<cli::Stop>& stop) {
            if (row.signal != cli::Stop::None && !signalled && now.count() >= row.at)
                stop = row.signal, signalled = true;
            for (int unit = 0; unit < kRackSize && now >= 500ms; ++unit) {
                if (row.units[unit] == 'p')
                    rack.units[size_t(unit)]->Replug();
            }
        };
        const CliResult run =
            RunCli(*rack.wire, row.arguments, nullptr, row.terminal, moment, row.keys);
        QCOMPARE(run.code, row.code);
        QCOMPARE(run.err.count("[y/N]"), row.questions);
        const std::map<QString, QStringList> summary = SummaryRows(run.out);
        bool erased = false;
        for (int unit = 0; unit < kRackSize; ++unit) {
            const QString serial = QString("U%1").arg(unit + 1);
            const Ended& ended = row.ends[size_t(unit)];
            if (ended.code < 0) {
                QVERIFY(!summary.contains(serial));
                QCOMPARE(rack.Commands(unit).size(), size_t(0));
                continue;
            }
            QCOMPARE(summary.at(serial).at(0), QString::number(ended.code));
            const QString result = summary.at(serial).at(1);
            QVERIFY2(result.startsWith(ended.result), qPrintable(serial + ": " + result));
            const Payloads sent = rack.Commands(unit);
            QCOMPARE(sent, Payloads(update.begin(), update.begin() + CommandsFor(result)));
            const auto blocks = rack.Blocks(unit);
            for (size_t block = 1; block < blocks.size(); ++block)
                QVERIFY(blocks[block] - blocks[block - 1] >= firmware::kBlockPeriod);
            const bool torn = sent.size() >= 3 && !result.startsWith("completed");
            // Its history row, from its own thread: its own serial number and path, ended.
            const std::vector<history::Row> rows =
                history::Read(rack.history, {.serials = {serial}}).rows;
            QCOMPARE(rows.size(), size_t(sent.size() >= 3 ? 1 : 0));
            if (!rows.empty()) {
                QCOMPARE(rows[0].path, QString("sim:unit%1").arg(unit + 1));
                QCOMPARE(rows[0].outcome, result.startsWith("completed") ? history::kCompleted
                                          : result.startsWith("stopped") ? history::kStopped
                                                                         : history::kFailed);
            }
            QCOMPARE(UserSettings().value("IncompleteImage/" + serial + "/local").toStringList(),
                     torn ? QStringList{QString("sim:unit%1").arg(unit + 1)} : QStringList{});
            if (row.terminal && result == "completed") // its bar, as it ended
                QVERIFY(run.err.contains(serial + ": [####################] 100%  64/64 blocks"));
            erased = erased || sent.size() >= 3;
        }
        // The end of the user's session held once while any unit streams, let go of after the last.
        if (erased)
            QCOMPARE(run.holds, (QStringList{firmware::kSessionEndHold, ""}));
        if (!row.absent.isEmpty())
            QCOMPARE(summary.at(row.absent),
                     (QStringList{"1", "no extender with serial number " + row.absent}));
        // Each line of a unit says which unit it is (stderr off a terminal, where no bars are
        // drawn), and so does each of its objects; the image is the run's, as is the summary.
        for (const QString& line :
             (row.terminal ? run.out : run.out + run.err).split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            if (object.isEmpty())
                QVERIFY2(
                    QRegularExpression("^(U\\d |U\\d: |Image: |SERIAL )").match(line).hasMatch(),
                    qPrintable(line));
            else if (object["event"] != "image" && object["event"] != "summary") {
                QVERIFY2(object["serial"].toString().startsWith('U'), qPrintable(line));
                QVERIFY2(object["path"].toString().startsWith("sim:unit"), qPrintable(line));
            }
        }
    }

    // Each unit of a burn-in on several keeps a log of its own, BIT-SERIAL.txt where BIT.txt would
    // be, or in --log-dir, or named after --log, with what the one-unit command logs for the same
    // samples; a log another run holds keeps its unit out, as a unit another program holds; logs
    // that hold entries are asked about once, and kept off a terminal without --yes.
    void logsEachUnitApart_data()
    {
        const QString run = "--all burn-in --duration 7s";
        // clang-format off
        AddRows<BurnedIn>({
            {"each unit its own log", {run, "..d.....", 5, {0, 0, 5, 0, 0, 0, 0, 0}, "BIT-%1.txt"}},
            {"in a folder given", {run + " --log-dir logs", "d.......", 5, {5, 0, 0, 0, 0, 0, 0, 0}, "logs/BIT-%1.txt"}},
            {"named after --log", {"--serial U1 --serial U2 burn-in --duration 7s --log run.txt", "d.......", 5,
                {5, 0, -1, -1, -1, -1, -1, -1}, "run-%1.txt"}},
            {"a log held, a unit held, a log kept, a link down", {run, "lhed....", 5, {1, 1, 4, 5, 0, 0, 0, 0}, "BIT-%1.txt"}},
            {"logs that hold entries, asked once", {run, "e.e.....", 0, {0, 0, 0, 0, 0, 0, 0, 0}, "BIT-%1.txt", true, "y", 1}}});
        // clang-format on
    }
    void logsEachUnitApart()
    {
        QFETCH(BurnedIn, row);
        Rack rack;
        rack.Meets(0, 'd');
        QCOMPARE(RunCli(*rack.wire, "--serial U1 burn-in --duration 7s --log down.txt").code, 5);
        const QByteArray down = ReadFile("down.txt"); // what one unit with its link down logs
        QVERIFY(down.endsWith("\tLink Fail.\r\n"));
        rack.units[0]->SetRegister(0x02, 0x01, {0x04});
        for (int unit = 0; unit < kRackSize; ++unit)
            rack.Meets(unit, row.units[unit]);
        rack.wire->Clear();
        const CliResult run = RunCli(
            *rack.wire, row.arguments, nullptr, row.terminal, [](auto&, auto&) {}, row.keys);
        QCOMPARE(run.code, row.code);
        QCOMPARE(run.err.count("[y/N]"), row.questions);
        const std::map<QString, QStringList> summary = SummaryRows(run.out);
        for (int unit = 0; unit < kRackSize; ++unit) {
            const QString serial = QString("U%1").arg(unit + 1), log = row.logs.arg(serial);
            const int code = row.codes[size_t(unit)];
            QCOMPARE(summary.contains(serial), code >= 0);
            if (code >= 0)
                QCOMPARE(summary.at(serial).at(0), QString::number(code));
            // A kept log keeps its entry; a unit's run logs what one unit's run does.
            const QByteArray logged = code == 4                ? kOldEntry
                                      : code == 1 || code < 0  ? "<missing>"
                                      : row.units[unit] == 'd' ? down
                                                               : "";
            QCOMPARE(ReadFile(log), logged);
            QCOMPARE(rack.Commands(unit).empty(), code < 0 || code == 1 || code == 4);
        }
        QVERIFY(!QFile::exists("BIT.txt"));
    }

    // The metrics and the report read the units the options choose, every one present where none
    // is named, each unit at the same time as the others; a unit another program holds is
    // reported in use and sent nothing. The plugin's check looks at one unit alone.
    void monitorsTheUnitsChosen_data()
    {
        const QString metrics = " status --format prometheus";
        // clang-format off
        AddRows<Monitored>({
            {"every unit present", {metrics.trimmed(), "........", 0, "11111111"}},
            {"--all, one held", {"--all" + metrics, "..h.....", 0, "11h11111"}},
            {"two serial numbers", {"--serial U2 --serial U5" + metrics, "........", 0, "-1--1---"}},
            {"one of them absent", {"--serial U2 --serial U9" + metrics, "........", 0, "-1------",
                "no extender with serial number U9"}},
            {"the report of a unit", {"--device sim:unit3 report --output -", "........", 0, "--1-----",
                "Extenders\n=========\n1 found."}},
            {"the report of every unit", {"report --output -", ".h......", 0, "1h111111",
                "Extenders\n=========\n8 found."}},
            {"check on several units", {"--all check", "........", 3, "--------",
                "TORVANREADER UNKNOWN - check looks at one extender"}}});
        // clang-format on
    }
    void monitorsTheUnitsChosen()
    {
        QFETCH(Monitored, row);
        Rack rack;
        QCOMPARE(RunCli(*rack.wire, "--device sim:unit8 status --format prometheus").code, 0);
        const Payloads alone = rack.Commands(7); // what a unit read alone is sent
        rack.wire->Clear();
        for (int unit = 0; unit < kRackSize; ++unit)
            rack.Meets(unit, row.units[unit]);
        // At once: each unit read waits at its first report until every one has come to its own.
        // Read one after another they never meet, and the first waits in vain.
        const auto reading = size_t(row.read.count('1'));
        std::mutex meeting;
        std::condition_variable came;
        std::set<std::thread::id> threads;
        bool allMet = true;
        rack.wire->SetClock([&] {
            std::unique_lock lock(meeting);
            if (threads.insert(std::this_thread::get_id()).second) {
                came.notify_all();
                allMet = came.wait_for(lock, std::chrono::seconds(10), [&] {
                    return threads.size() >= reading;
                }) && allMet;
            }
            return TestClock();
        });
        const CliResult run = RunCli(*rack.wire, row.arguments);
        QCOMPARE(run.code, row.code);
        QVERIFY2((run.out + run.err).contains(row.said), qPrintable(run.out + run.err));
        QVERIFY(allMet);
        QCOMPARE(threads.size(), reading);
        for (int unit = 0; unit < kRackSize; ++unit) {
            const QString serial = QString("U%1").arg(unit + 1);
            const QChar state = row.read[unit];
            if (row.arguments.contains("prometheus")) {
                const QString labels =
                    QString(R"({serial="%1",path="sim:unit%2"})").arg(serial).arg(unit + 1);
                QCOMPARE(
                    run.out.contains("torvanreader_up" + labels + (state == '1' ? " 1" : " 0")),
                    state != '-');
                QCOMPARE(run.out.contains("torvanreader_in_use" + labels + " 1"), state == 'h');
            }
            QCOMPARE(rack.Commands(unit), state == '1' ? alone : Payloads());
        }
    }

    // The program itself, stopped as the system asks. A command whose output nobody reads
    // (status --watch into a pipe whose reader stopped) still ends: the write gives way. Flash,
    // stopped by a signal at moments spread over the first 2 s after its main began (the erase's
    // pause and the sample's 256 blocks take 2.3 s): every run ends with exit 4 and says where it
    // stopped, its mark stored only once the chip was to be erased, and no write completes.
    void stopsWhenTheSystemAsks()
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
        constexpr int runs = 200;
        if (!kTakesStopsSeenAtStart)
            QSKIP("this system does not show when a program that runs no event loop has taken "
                  "its stop requests; a stop before that ends it by the system's default");
        const QStringList flash{"--demo", "flash", "--to", "local",
                                QT_TESTCASE_SOURCEDIR
                                "/../samples/firmware/demo-local-tx-3072.2.hex"};
        const QRegularExpression stopped(
            "flash: stopped (before the erase|after the erase|after block [0-9]+ of 256)[:.] ");
        struct Run {
            QProcess program;
            int moment = 0; // ms after the program took its stop requests
            QString home;
            QElapsedTimer since;
            bool signalled = false;
        };
        std::list<Run> active;
        for (int next = 0; next < runs || !active.empty(); QTest::qWait(1)) {
            for (; next < runs && active.size() < 40; ++next) {
                Run& run = active.emplace_back();
                run.moment = next * 2000 / runs;
                run.home = dir.filePath(QString::number(next));
                run.program.setProcessEnvironment(ProgramEnvironment(run.home));
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
                         qPrintable(QString::asprintf("at %d ms, exit %d: ", run->moment,
                                                      run->program.exitCode())
                                    + said));
                if (kSettingsKeptApart)
                    QCOMPARE(ReadFile(ProgramSettingsFile(run->home)).contains("IncompleteImage"),
                             where != "before the erase");
                run = active.erase(run);
            }
        }
    }

    // The help names the program, each usage lists all its command takes; no display (xcb without
    // one, as over ssh, and on Windows) and a bad value are met with what to do next. The demo runs
    // a program per command and keeps its chips between them: a remote chip flashed with the
    // 3072.2 sample and restarted reports it.
    void saysWhatToDoNext_data()
    {
        const QString usage = "Usage: torvanreader-cli [options] ", cli = TORVAN_CLI;
        // clang-format off
        AddRows<Said>({
            {"help", {cli, "--help", 0, usage + "COMMAND [command options]\n"}},
            {"help on flash", {cli, "--help", 0, "\n  flash       Program an"}},
            {"flash's usage", {cli, "flash --help", 0, usage + "flash --to local|remote FILE [--yes] [--apply]\n"}},
            {"status usage", {cli, "status --help", 0, "status [--watch] [--format prometheus] [--output FILE]\n"}},
            {"check's usage", {cli, "check --help", 0, usage + "check [--warn-level RANGE] [--crit-level RANGE] [--cable-max RANGE]\n"}},
            {"fail-safe's usage", {cli, "fail-safe --help", 0, "fail-safe on|off [--wire-quality 48|64|72|86] "
                "[--video-ber 1e-8|1e-9] [--interval 5|10|20|30|40|50|60]\n"}},
            {"torvanreader, no display", {TORVAN_APP, {}, 1, "torvanreader: needs a desktop session"}},
            {"torvanreader-demo, no display", {TORVAN_DEMO, {}, 1, "\ntorvanreader-cli does every job of the tool"}},
            {"--replug abc", {TORVAN_DEMO, "--replug abc", 2,
                "--replug takes whole seconds from 1 to 86400, not 'abc'\nUsage: torvanreader-demo [--in-documents] [--replug"}},
            {"the demo, an update played through", {cli, "--demo flash --to remote --yes " QT_TESTCASE_SOURCEDIR
                "/../samples/firmware/demo-remote-rx-3072.2.hex;--demo apply --to remote;--demo info", 0, "Remote (RX):\tQX720\t3072.2\tRX"}}});
        // clang-format on
    }
    void saysWhatToDoNext()
    {
        QFETCH(Said, row);
        QTemporaryDir home; // the demo keeps its chips there from one command to the next
        QProcessEnvironment environment = ProgramEnvironment(home.path());
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        QProcess program;
        program.setProcessEnvironment(environment);
        for (const QString& command : row.arguments.split(';')) {
            program.start(row.program, command.split(' ', Qt::SkipEmptyParts));
            QVERIFY(program.waitForFinished(10000));
        }
        // Data and help go to stdout, what went wrong to stderr; Windows' C runtime ends their
        // lines with CR LF.
        const QString said =
            QString(row.code ? program.readAllStandardError() : program.readAllStandardOutput())
                .replace("\r\n", "\n");
        QVERIFY2(said.contains(row.said), qPrintable(said));
        QCOMPARE(program.exitCode(), row.code);
    }

    // The demo's pictures are taken with nobody at the screen: a Documents folder that cannot be
    // used is said on stderr, not in a box that would wait for an answer, and the pictures are
    // taken where asked.
    void picturesWaitForNobody()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows names the Documents folder itself, whatever the environment says");
#endif
        InTempDir dir;
        QVERIFY(QDir().mkpath("home/Documents"));
        QFile inTheWay("home/Documents/TorvanReader"); // a file where the folder would be
        QVERIFY(inTheWay.open(QIODevice::WriteOnly));
        QProcessEnvironment environment = ProgramEnvironment(dir.dir.filePath("home"));
        environment.insert("HOME", dir.dir.filePath("home"));
        QProcess demo;
        demo.setProcessEnvironment(environment);
        demo.start(TORVAN_DEMO, {"--in-documents", "--screenshot", "shots"});
        QVERIFY(demo.waitForFinished(10000));
        QCOMPARE(demo.exitCode(), 0);
        QVERIFY2(demo.readAllStandardError().contains("TorvanReader cannot be used: "),
                 "the folder in the way not said");
        QVERIFY(QFile::exists("shots/main-window.png"));
    }

    // Names in any script reach the program whole, and so does what it says of them: an image under
    // such a name is read (the guard then refuses it for the other chip, so nothing is sent), and
    // named in UTF-8 to a pipe; a missing one is named in the console's own characters on a
    // console.
    void namesInAnyScript()
    {
        // Found before the folder changes: under Wine the trees are on another drive.
        const QString cliPath = QFileInfo(TORVAN_CLI).absoluteFilePath();
        const QString sample =
            QFileInfo(QT_TESTCASE_SOURCEDIR "/../samples/firmware/demo-local-tx-3072.2.hex")
                .absoluteFilePath();
        InTempDir dir;
        const QString image = QDir::current().filePath("Прошивка Ω 固件.hex");
        QVERIFY(QFile::copy(sample, image));
        QProcess program;
        program.setProcessEnvironment(ProgramEnvironment(dir.dir.path()));
        program.start(cliPath, {"--demo", "--json", "flash", "--to", "remote", image});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 4);
        const QJsonObject shown = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
        QCOMPARE(shown["file"].toString(), image);
        QCOMPARE(shown["chip"].toString(), "QX710");
        const QStringList missing{"--demo", "flash", "--to", "local", "Ωμέγα Прошивка.hex"};
        const QString said =
            "Ωμέγα Прошивка.hex: Cannot open the file! (" + kMissingFileCause + ")";
        program.start(cliPath, missing);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 3);
        const QString error = program.readAllStandardError();
        QVERIFY2(error.contains(said), qPrintable(error));
        const std::optional<QString> screen = ConsoleScreen(cliPath, missing);
        if (!screen)
            QSKIP("no console screen to read back: a terminal shows the bytes the pipe got, and "
                  "Wine gives a console a screen only on a display");
        QVERIFY2(screen->contains(said), qPrintable(*screen));
    }

    // The bash completion offers the command table's commands, options and options' few values, in
    // the table's order, and of the values those that begin as typed.
    void completionOffersTheTable_data()
    {
        QTest::addColumn<std::pair<QString, QStringList>>("row"); // the line, what is offered
        QStringList names;
        for (const cli::Command& command : cli::Commands()) {
            names << command.name;
            const QString line = "torvanreader-cli " + command.name;
            QStringList options;
            for (const QString& name : cli::GlobalOptions() + command.required + command.optional)
                options << "--" + name;
            QTest::newRow(qPrintable(command.name)) << std::pair(line + " --", options);
            for (const cli::Option& option : cli::Options())
                if (options.contains("--" + option.name) && !option.values.isEmpty())
                    QTest::newRow(qPrintable(command.name + " --" + option.name))
                        << std::pair(line + " --" + option.name + " ", option.values);
        }
        QTest::newRow("commands") << std::pair<QString, QStringList>("torvanreader-cli ", names);
        QTest::newRow("a value begun") << std::pair<QString, QStringList>(
            "torvanreader-cli burn-in --period 1", {"1s", "10s", "1m", "10m"});
    }
    void completionOffersTheTable()
    {
        const auto& [line, offered] = Fetch<std::pair<QString, QStringList>>();
        const QString library = "/usr/share/bash-completion/bash_completion";
        if (!QFile::exists(library) || !QFile::exists(TORVAN_COMPLETION))
            QSKIP("the bash completion is Linux's, with Debian's bash-completion");
        QProcess bash; // what bash offers after the line, its last word the one completed
        bash.start("bash", {"-c", R"(. "$0"; . "$1"; COMP_LINE=$2 COMP_POINT=${#2}
            read -ra COMP_WORDS <<<"${2% *} ."; COMP_WORDS[-1]=${2##* } COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            f=$(complete -p torvanreader-cli); ${f#*-F } && echo "${COMPREPLY[*]}")",
                            library, TORVAN_COMPLETION, line});
        QVERIFY(bash.waitForFinished(10000));
        QCOMPARE(QString(bash.readAllStandardOutput()).simplified().split(' '), offered);
    }

    // The manual page names every command of the table and each of its options, in the command's
    // entry or the entries of the options every command takes, and no command or option the table
    // lacks, anywhere on the page.
    void manPageNamesTheTable_data()
    {
        QFile file(QT_TESTCASE_SOURCEDIR "/../res/man/torvanreader-cli.1");
        QVERIFY2(file.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(file.fileName()));
        const ManPage page = ReadManPage(file);
        QTest::addColumn<Named>("row");
        QStringList commands, options = cli::GlobalOptions();
        for (const cli::Command& command : cli::Commands()) {
            commands << command.name;
            QTest::newRow(qPrintable(command.name))
                << Named{.onPage = page.options.value(command.name),
                         .inTable = command.required + command.optional};
        }
        for (const cli::Option& option : cli::Options())
            options << option.name;
        QTest::newRow("commands") << Named{.onPage = page.commands, .inTable = commands};
        QTest::newRow("every command's options")
            << Named{.onPage = page.options.value(""), .inTable = cli::GlobalOptions()};
        const QStringList otherPrograms{"now"}; // systemctl enable --now, for the metrics' timer
        QTest::newRow("anywhere") << Named{.onPage = Lacking(page.named, otherPrograms),
                                           .inTable = options};
    }
    void manPageNamesTheTable()
    {
        QFETCH(Named, row);
        const QStringList missing = Lacking(row.inTable, row.onPage);
        QVERIFY2(missing.isEmpty(), qPrintable("missing from the page: " + missing.join(", ")));
        const QStringList unknown = Lacking(row.onPage, row.inTable);
        QVERIFY2(unknown.isEmpty(), qPrintable("not in the table: " + unknown.join(", ")));
    }
};

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
