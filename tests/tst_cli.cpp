// torvanreader-cli's own rules over the simulated extender: signals and the block pace, exit codes
// with their messages, the answer on a terminal, --watch, listing and picking units, and the values
// its JSON carries. What it shares with the pages is compared in their suites.
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "Rig.h"
#include "TestPlatform.h"
#include "burnin/BurnInLog.h"
#include "cli/Session.h"
#include "device/SystemDevices.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/UserSettings.h"
#include "history/Formats.h"
#include "history/Keeper.h"
#include "history/Store.h"

namespace {

// The objects a command prints with --json, by line (from the end where negative): each with the
// fields its line must hold; the others are not looked at.
using JsonLines = std::map<int, QJsonObject>;

// A stop the system asks for at a time, on the run's fake time (or its units' own).
struct Signal {
    cli::Stop stop = cli::Stop::None;
    int atMs = 0;
};

// A command run once, stopped by a signal or not, and what it must come to.
struct Ruled {
    QString arguments = {};
    int exit = 0;
    QString message = {}; // in stdout, or in stderr where it fails
    JsonLines json = {};
    bool terminal = false;
    QString keys = {}; // typed at the questions
    // A signal at its time (again 50 ms later), or once a command starting with trigger went out.
    Signal signal = {};
    QString trigger = {};
    std::optional<int> tookMs = {}; // what a run that ends well takes
    QString never = {};             // a command never sent
    QString registers = {};         // the extender's besides a healthy unit's (Rig::Set)
    // The update history's newest row, its action and how it ended; empty for none.
    std::optional<QString> recorded = {};
};

// What happens to one of three units (A1 at sim:first, B2 at sim:second and B2 at sim:third) at a
// time: plugged in ('+'), pulled out ('-'), pulled out as its connect check comes ('!') or given
// access ('p').
struct Step {
    int atMs;
    int unit;
    char what;
};

// Commands on three units, run in turn (split at ';'), the last one checked.
struct Picked {
    QString arguments = {};
    std::vector<Step> steps = {};
    int exit = 0;
    QString message = {}; // in stdout or stderr
    JsonLines json = {};
    int mostMs = 0;            // the longest the last command may take
    bool sendsNothing = false; // instead of a time: the last command sends nothing at all
    // The fail-safe settings each of the first two units was written, and the last in hex.
    QStringList written = {"0", "0"};
    std::optional<int> pulledOut = {}; // the unit pulled out before the run
    // The connect checks sent, where the message is the whole of stdout, or of stderr where the
    // command fails, the other one empty.
    std::optional<int> checks = {};
};

// How a unit of a run on several ended: its exit code and its result's start.
struct Ended {
    int exit;
    QString result;
};
// A unit left out of the run.
const std::optional<Ended> kLeftOut;

// A command on the eight units of a rack at once: what each unit meets in turn ('.' nothing, 'r'
// refuses its 20th block, 'u' is pulled out as its 30th comes, 'h' is held by another program, 'f'
// and 'g' are chips of two kinds that the image is not for, 'd' has its link down, 'p' is plugged
// in only 500 ms into the run), the run's exit code and how each unit ends.
const QString kFlashAll = "--all flash --to local --yes big.bin";
struct Racked {
    QString arguments = kFlashAll;
    QString units = "........";
    int exit = 0;
    std::vector<std::optional<Ended>> ends = {};
    bool terminal = false;
    QString keys = {};
    Signal signal = {};
    int questions = 0;
    QString absent = {}; // a serial number named that no unit has
};

// A burn-in of 7 s on the units of a rack at once: what each unit meets (Racked's letters, and 'l'
// whose log another run holds, 'e' whose log holds an entry), the run's exit code and each unit's
// (none: not of the run), where the logs are ("%1" the serial number). Unless the row says
// otherwise, every unit runs and the first one's link is down.
struct BurnedIn {
    QString arguments = "--all burn-in --duration 7s";
    QString units = "d.......";
    int exit = 5;
    std::vector<std::optional<int>> exits = {5, 0, 0, 0, 0, 0, 0, 0};
    QString logs = "BIT-%1.txt";
    bool terminal = false;
    QString keys = {};
    int questions = 0;
};

// The metrics or the report of the units chosen, each read on a thread of its own: what each unit
// of a rack meets (Racked's letters), the exit code, each unit's state ('1' read, 'h' in use and
// sent nothing, '-' left out) and what is said.
struct Monitored {
    QString arguments = {};
    QString units = "........";
    int exit = 0;
    QString read = {};
    QString said = {};
};

// A program run with the arguments (commands in turn, split at ';'); said is in the last one's
// stdout, or stderr if it fails.
struct Said {
    QString program = TORVAN_CLI;
    QString arguments = {};
    int exit = 0;
    QString said = {};
};

// Every line of out is a JSON object of this form, and the lines named hold their fields.
void CompareJson(const QString& out, const JsonLines& expected)
{
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        QCOMPARE(QJsonDocument::fromJson(line.toUtf8())["format"], cli::kJsonFormat);
    for (const auto& [index, fields] : expected) {
        const qsizetype at = index < 0 ? lines.size() + index : index;
        const QString missing = QString("no line %1 in:\n%2").arg(index).arg(out);
        QVERIFY2(at >= 0, qPrintable(missing));
        QVERIFY2(at < lines.size(), qPrintable(missing));
        const QJsonObject printed = QJsonDocument::fromJson(lines[at].toUtf8()).object();
        for (auto field = fields.begin(); field != fields.end(); ++field)
            QCOMPARE((std::pair<QString, QJsonValue>(field.key(), printed[field.key()])),
                     (std::pair<QString, QJsonValue>(field.key(), field.value())));
    }
}

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
std::vector<std::optional<Ended>> Each(const Ended& ended)
{
    return std::vector<std::optional<Ended>>(kRackSize, ended);
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

// The blocks go one per 5 ms from the erase's pause of 1 s, so the 64th leaves at 1315 ms; a block
// answered 300 ms late puts the rest 295 ms later (its 5 ms are in the 300), none made up. A
// command stopped at t ms ends at t + 100: it sleeps 100 ms at a time.
constexpr int kLastBlockMs = 1000 + 63 * 5, kLateMs = 300 - 5, kStopSeenMs = 100;
const QString kTornAt20 = "stopped after block 20 of 64";

// Three units as Picked runs them: the first given access and the third plugged in, all three
// answering; or the two there at first pulled out.
const std::vector<Step> kAllThere{{0, 0, 'p'}, {0, 2, '+'}};
const std::vector<Step> kNoneThere{{0, 0, '-'}, {0, 1, '-'}};
const QString kTwice = "torvanreader-cli: info: 2 extenders have serial number B2 (sim:second, "
                       "sim:third): use --device to name one\n";
const QString kNoneFound = "no extender found (vendor 0x051A, product 0x511B); plug the unit (TX) "
                           "into this PC with its USB to mini-USB cable";

// A command refused as given, exit 2.
template <typename Row>
Row Usage(const QString& arguments, const QString& message)
{
    return {.arguments = arguments, .exit = 2, .message = message};
}

// An image that cannot be used, exit 3.
Ruled Unusable(const QString& arguments, const QString& message)
{
    return {.arguments = arguments, .exit = 3, .message = message};
}

// A command that does not do its job, as the user or a signal asked: exit 4.
Ruled NotDone(const QString& arguments, const QString& message, Signal signal = {})
{
    return {.arguments = arguments, .exit = 4, .message = message, .signal = signal};
}

// A command that ends well, saying message.
Ruled Says(const QString& arguments, const QString& message)
{
    return {.arguments = arguments, .message = message};
}

// The row run on a terminal, keys typed at its questions.
template <typename Row>
Row OnTerminal(Row row, const QString& keys = {})
{
    row.terminal = true;
    row.keys = keys;
    if constexpr (requires { row.questions; })
        row.questions = int(keys.size()); // each key answers a question of its own
    return row;
}

// A rack's flash where a signal stops every unit, each with the result given.
Racked EachStopped(const QString& result, Signal signal)
{
    return {.exit = 4, .ends = Each({4, result}), .signal = signal};
}

// A command on the three units all there that says message alone, on stdout, or on stderr where
// it fails, after the connect checks named.
Picked SaysAlone(const QString& arguments, int exit, const QString& message, int checks)
{
    return {.arguments = arguments,
            .steps = kAllThere,
            .exit = exit,
            .message = message,
            .checks = checks};
}

// A command where no unit is there: it sends nothing and says message alone on stderr.
Picked NoUnit(const QString& arguments, const QString& message)
{
    return {.arguments = arguments,
            .steps = kNoneThere,
            .exit = 1,
            .message = message,
            .sendsNothing = true,
            .checks = 0};
}

// The monitoring plugin where it cannot look: UNKNOWN, exit 3, nothing sent.
Picked PluginUnknown(const QString& arguments, const QString& message,
                     const std::vector<Step>& steps = {})
{
    return {.arguments = arguments,
            .steps = steps,
            .exit = 3,
            .message = "TORVANREADER UNKNOWN - " + message,
            .sendsNothing = true};
}

// A unit's line in the summary of a fail-safe switched on several units.
QJsonObject Summed(const QString& serial, const QString& path)
{
    return {{"serial", serial}, {"path", path}, {"chip", QJsonValue()}, {"code", 0},
            {"result", "off"},  {"seconds", 0}, {"error", QJsonValue()}};
}

// What one unit's update sends: the connect check, the identification read, the erase, the
// opening of the write and the blocks of image.
Payloads UpdateWire(const QByteArray& image)
{
    Payloads update = Wire("aa01ab 010102 030205 030306");
    for (size_t block = 0; block < 64; ++block) {
        const frames::DataChunk chunk = frames::DataChunkAt(AsBytes(image), block);
        update.emplace_back(chunk.begin(), chunk.end());
    }
    return update;
}

// How a unit of a rack's flash ended, as expected: its summary row, its wire (a part of update,
// up to where its result says it ended) at its pace, its history row and its incomplete mark.
void CheckUnitFlashed(const Rack& rack, int unit, const std::optional<Ended>& ended,
                      const std::map<QString, QStringList>& summary, const Payloads& update)
{
    const QString serial = QString("U%1").arg(unit + 1);
    const QString path = QString::fromStdString(Rack::Path(unit));
    if (!ended) {
        QVERIFY(!summary.contains(serial));
        QCOMPARE(rack.Commands(unit).size(), size_t(0));
        return;
    }
    QCOMPARE(summary.at(serial).at(0), QString::number(ended->exit));
    const QString result = summary.at(serial).at(1);
    QVERIFY2(result.startsWith(ended->result), qPrintable(serial + ": " + result));
    const Payloads sent = rack.Commands(unit);
    QCOMPARE(sent, Payloads(update.begin(), update.begin() + CommandsFor(result)));
    const auto blocks = rack.Blocks(unit);
    for (size_t block = 1; block < blocks.size(); ++block)
        QVERIFY(blocks[block] - blocks[block - 1] >= firmware::kBlockPeriod);
    // Its history row, from its own thread: its own serial number and path, ended.
    const std::vector<history::Row> rows = history::Read(rack.history, {.serials = {serial}}).rows;
    QCOMPARE(rows.size(), size_t(sent.size() >= 3 ? 1 : 0));
    if (!rows.empty()) {
        QCOMPARE(rows[0].path, path);
        QCOMPARE(rows[0].outcome, result.startsWith("completed") ? history::kCompleted
                                  : result.startsWith("stopped") ? history::kStopped
                                                                 : history::kFailed);
    }
    const bool torn = sent.size() >= 3 && !result.startsWith("completed");
    QCOMPARE(UserSettings().value("IncompleteImage/" + serial + "/local").toStringList(),
             torn ? QStringList{path} : QStringList{});
}

// Each line of a unit says which unit it is, and so does each of its objects; the image is the
// run's, as is the summary.
void CheckEachLineNamesItsUnit(const QString& said)
{
    for (const QString& line : said.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        if (object.isEmpty()) {
            QVERIFY2(QRegularExpression("^(U\\d |U\\d: |Image: |SERIAL )").match(line).hasMatch(),
                     qPrintable(line));
        } else if (object["event"] != "image" && object["event"] != "summary") {
            QVERIFY2(object["serial"].toString().startsWith('U'), qPrintable(line));
            QVERIFY2(object["path"].toString().startsWith("sim:unit"), qPrintable(line));
        }
    }
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

    // The run of a Ruled row: a healthy unit that refuses the fail-safe setting. Nothing goes to
    // the chip before the erase; a refused run erases and programs nothing; a stop is seen at the
    // next step.
    void Rule(const Ruled& row)
    {
        InTempDir dir;
        Rig rig;
        rig.Healthy();
        WriteFile("big.bin", Pattern(64 * 32));
        WriteFile("bad.hex", QByteArray(300, '0').prepend(':'));
        WriteFile("plain.bin", QByteArray(300, '\x11'));
        WriteFile("empty.hex", QByteArray(300, ' ').prepend(":00000001FF\n"));
        WriteFile("old.txt", kOldEntry);
        rig.Set(row.registers);
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = {0x05}});
        const auto sent = [&](const QString& hex) {
            return !hex.isEmpty()
                   && std::ranges::any_of(rig.Commands(), [&](const std::vector<uint8_t>& command) {
                          return Bytes(command).toHex().startsWith(hex.toLatin1());
                      });
        };
        int told = 0; // the signal again 50 ms later; without one, the 10th block 300 ms late
        const auto moment = [&](std::chrono::milliseconds& now, std::atomic<cli::Stop>& stop) {
            if (row.signal.stop == cli::Stop::None && rig.Commands().size() == 14 && !told++)
                now += 300ms;
            else if (row.signal.stop != cli::Stop::None && told < 2
                     && (row.trigger.isEmpty() ? now.count() >= row.signal.atMs + told * 50
                                               : sent(row.trigger)))
                stop = row.signal.stop, ++told;
        };
        const CliResult run =
            RunCli(rig.wire, row.arguments, nullptr, row.terminal, moment, row.keys);
        // Data goes to stdout; a run that fails says why on stderr.
        QVERIFY2((row.exit ? run.err : run.out).contains(row.message), qPrintable(run.err));
        QCOMPARE(run.code, row.exit);
        if (!row.json.empty())
            CompareJson(run.out, row.json);
        QCOMPARE(run.err.count("[y/N]"), qsizetype(!row.keys.isEmpty()));
        QCOMPARE(std::ranges::count(rig.Commands(), Hex("030205")),
                 row.arguments.contains("--yes") && !row.message.contains("before the erase"));
        QVERIFY(row.arguments.contains("--yes")
                || std::ranges::none_of(rig.Commands(), [](auto& c) { return c[0] == 3; }));
        QVERIFY(!sent(row.never));
        if (row.tookMs)
            QCOMPARE(run.took.count(), *row.tookMs);
        if (!row.trigger.isEmpty())
            QCOMPARE(RunCli(rig.wire, "info").out.contains("incomplete image"),
                     row.trigger == "030205");
        if (row.recorded) {
            const std::vector<history::Row> kept = rig.History();
            QCOMPARE(kept.empty() ? "" : kept[0].action + " " + history::OutcomeText(kept[0]),
                     *row.recorded);
        }
    }

    // The run of a Racked row, checked unit by unit.
    void FlashRack(const Racked& row)
    {
        Rack rack;
        const QByteArray image =
            Pattern(64 * 32).replace(0, 8, QByteArray::fromHex("1234fedc23072110"));
        WriteFile("big.bin", image);
        for (int unit = 0; unit < kRackSize; ++unit)
            rack.Meets(unit, row.units[unit]);
        bool signalled = false;
        const auto moment = [&](std::chrono::milliseconds& now, std::atomic<cli::Stop>& stop) {
            if (row.signal.stop != cli::Stop::None && !signalled && now.count() >= row.signal.atMs)
                stop = row.signal.stop, signalled = true;
            for (int unit = 0; unit < kRackSize && now >= 500ms; ++unit) {
                if (row.units[unit] == 'p')
                    rack.units[size_t(unit)]->Replug();
            }
        };
        const CliResult run =
            RunCli(*rack.wire, row.arguments, nullptr, row.terminal, moment, row.keys);
        QCOMPARE(run.code, row.exit);
        QCOMPARE(run.err.count("[y/N]"), row.questions);
        const std::map<QString, QStringList> summary = SummaryRows(run.out);
        const Payloads update = UpdateWire(image);
        bool erased = false;
        for (int unit = 0; unit < kRackSize; ++unit) {
            CheckUnitFlashed(rack, unit, row.ends[size_t(unit)], summary, update);
            erased = erased || rack.Commands(unit).size() >= 3;
            const QString serial = QString("U%1").arg(unit + 1);
            if (row.terminal && summary.contains(serial) && summary.at(serial).at(1) == "completed")
                QVERIFY(run.err.contains(serial + ": [####################] 100%  64/64 blocks"));
        }
        // The end of the user's session held once while any unit streams, let go of after the last.
        if (erased)
            QCOMPARE(run.holds, (QStringList{firmware::kSessionEndHold, ""}));
        if (!row.absent.isEmpty())
            QCOMPARE(summary.at(row.absent),
                     (QStringList{"1", "no extender with serial number " + row.absent}));
        CheckEachLineNamesItsUnit(row.terminal ? run.out : run.out + run.err);
    }

    // The run of a Picked row on three units: A1 at sim:first is listed but cannot be opened, B2
    // at sim:second refuses the erase (so its update leaves it marked), B2 at sim:third is out
    // unless plugged in. Fail-Safe On writes the page's defaults, Off the off setting twice.
    void Pick(const Picked& row)
    {
        InTempDir dir;
        Rig rig; // the user's settings, the marks among them
        WriteFile("big.bin", Pattern(64 * 32));
        SimExtender units[3]{SimExtender("sim:first", "A1"), SimExtender("sim:second", "B2"),
                             SimExtender("sim:third", "B2")};
        SimPlugs plugs;
        units[2].Unplug();
        if (row.pulledOut)
            units[*row.pulledOut].Unplug(); // before its plugs are told
        for (SimExtender& unit : units)
            unit.ReportPlugsTo(&plugs);
        units[0].FailOpen(HidAccess::Write, true);
        units[1].SetFaults({.refuse = true, .onlyPrefix = {0x03, 0x02}});
        SimUnits pc({&units[0], &units[1], &units[2]});
        RecordingBackend seen(pc);
        std::vector<Step> steps = row.steps;
        const auto moment = [&](auto& now, auto&) {
            for (; !steps.empty() && now.count() >= steps.front().atMs;
                 steps.erase(steps.begin())) {
                SimExtender& unit = units[steps.front().unit];
                const char what = steps.front().what;
                what == '+'   ? unit.Replug()
                : what == '-' ? unit.Unplug()
                : what == '!' ? unit.SetFaults({.unplug = true, .onlyPrefix = Hex("aa01ab")})
                              : unit.FailOpen(HidAccess::Write, false);
            }
        };
        CliResult run{};
        for (const QString& command : row.arguments.split(';')) {
            seen.Clear();
            run = RunCli(seen, command, nullptr, false, moment, {}, &plugs);
        }
        QVERIFY2((run.out + run.err).contains(row.message), qPrintable(run.out + run.err));
        QCOMPARE(run.code, row.exit);
        if (!row.json.empty())
            CompareJson(run.out, row.json);
        if (row.sendsNothing)
            QCOMPARE(seen.CommandPayloads().size(), size_t(0));
        else
            QVERIFY(run.took.count() <= row.mostMs);
        const auto written = [](SimDeviceModel& m) { // how many settings, and the last
            return m.FailSafeWrites()
                       ? QString("%1 %2").arg(m.FailSafeWrites()).arg(m.FailSafeSetting(), 0, 16)
                       : "0";
        };
        QCOMPARE(QStringList({units[0].WithModel(written), units[1].WithModel(written)}),
                 row.written);
        if (row.checks) { // a run that fails says why on stderr alone
            QCOMPARE(row.exit ? run.err : run.out, row.message);
            QCOMPARE(row.exit ? run.out : run.err, "");
            QCOMPARE(int(std::ranges::count(seen.CommandPayloads(), Hex("aa01ab"))), *row.checks);
        }
    }

private slots:
    // Usage, files and the extender's refusals: each exit code with its message.
    void refusesWithReason_data()
    {
        const QString noIdentification =
            "not programmed: This image holds no identification, so nothing tells whether it is "
            "for the chip you chose, QX710 TX. Programming it may leave the unit unusable. (--yes "
            "programs it anyway)";
        AddRows<Ruled>({
            {"another command's option",
             Usage<Ruled>("info --to local", "--to is not an option of info")},
            {"an interval not listed", Usage<Ruled>("fail-safe on --interval 7",
                                                    "--interval takes 5, 10, 20, 30, 40, 50, 60")},
            {"an unsound HEX file", Unusable("flash --to local bad.hex",
                                             "bin! (line 1: byte count 0 but 145 data bytes)")},
            {"no identification", NotDone("flash --to local plain.bin", noIdentification)},
            {"Enter on a terminal answers No",
             OnTerminal(NotDone("flash --to local plain.bin", "[y/N]"), "\n")},
            {"no data", Unusable("flash --to local empty.hex",
                                 "empty.hex: The image holds no data: nothing to program!")},
            {"a setting refused",
             {.arguments = "fail-safe off",
              .exit = 1,
              .message = "(05 01 06 33) failed: the extender refused it (status 0x55)",
              .recorded = "fail-safe off failed: the extender refused it (status 0x55)"}},
            {"a read refused",
             {.arguments = "status",
              .exit = 1,
              .message = "status: the read (01 08 09) failed: the extender refused it",
              .registers = "0108="}},
            {"a folder for an image",
             Unusable("flash --to local .", ".: Cannot open the file! (" + kFolderReadCause + ")")},
            {"an unknown option", Usage<Ruled>("--help-all", "Unknown option 'help-all'")},
            {"the version", Says("--version", "torvanreader-cli 1.0.0.1\n")},
            {"a command's help",
             Says("burn-in --help",
                  "burn-in [--period 1s|10s|1m|10m] [--duration TIME] [--log FILE")},
        });
    }
    void refusesWithReason() { Rule(Fetch<Ruled>()); }

    // burn-in's own options and its log.
    void burnInRules_data()
    {
        AddRows<Ruled>({
            {"a period not listed",
             Usage<Ruled>("burn-in --period 5s", "--period takes 1s, 10s, 1m or 10m, not '5s'")},
            {"a duration too long", Usage<Ruled>("burn-in --duration 99999999999999999999",
                                                 "--duration is at most 366 days")},
            {"a duration below a period", Usage<Ruled>("burn-in --period 10s --duration 9",
                                                       "9 is shorter than one period (10s)")},
            {"a log not to be written",
             {.arguments = "--quiet burn-in --duration 1s --log .",
              .exit = 1,
              .message = "burn-in: . cannot be written (" + kFolderWriteCause + ")"}},
        });
    }
    void burnInRules() { Rule(Fetch<Ruled>()); }

    // Signals during a flash: SIGTERM, SIGHUP and Ctrl-C off a terminal stop at a block; Ctrl-C on
    // a terminal asks while the blocks go on (a second changes nothing). A run that ends well takes
    // the time its pace gives, a late block's delay never made up.
    void stopsOnSignals_data()
    {
        using enum cli::Stop;
        const QString flash = "flash --to local --yes big.bin";
        const QString torn = "after block 20 of 64. The local chip now holds an incomplete image";
        AddRows<Ruled>({
            {"SIGTERM on a terminal at a block",
             {.arguments = flash,
              .exit = 4,
              .message = torn,
              .terminal = true,
              .signal = {Terminate, 1100},
              .recorded = "program stopped after block 20 of 64"}},
            {"Ctrl-C off a terminal at a block", NotDone(flash, torn, {Interrupt, 1100})},
            {"Ctrl-C on a terminal, yes",
             OnTerminal(NotDone(flash,
                                "A firmware update is running. Stopping now leaves the chip "
                                "without working firmware. Stop it? [y/N]",
                                {Interrupt, 1100}),
                        "y")},
            {"Ctrl-C on a terminal, no answer",
             {.arguments = flash,
              .message = "Completed!",
              .terminal = true,
              .keys = "...........",
              .signal = {Interrupt, 1100},
              .tookMs = kLastBlockMs}},
            {"the 10th block answered late",
             {.arguments = flash,
              .message = "Completed!",
              .tookMs = kLastBlockMs + kLateMs,
              .recorded = "program completed"}},
            {"Ctrl-C at the question",
             OnTerminal(NotDone("flash --to local big.bin", "not programmed", {Interrupt}),
                        "...y")},
        });
    }
    void stopsOnSignals() { Rule(Fetch<Ruled>()); }

    // A stop sent once a command went out is seen at the next step: before the erase the mark
    // stored for the update is taken back, during it the write is never opened, with the last
    // block the image is complete but --apply restarts nothing. A burn-in and a watch end within
    // 100 ms, as they sleep 100 ms at a time.
    void stopsAtTheNextStep_data()
    {
        // An update that goes on to the restart, stopped once a command starting with trigger went
        // out: never sends the other command, says where it stopped and records it.
        const auto stoppedWhen = [](const QString& trigger, const QString& never,
                                    const QString& where, const QString& recorded) -> Ruled {
            return {.arguments = "flash --to local --yes --apply big.bin",
                    .exit = 4,
                    .message = "flash: stopped " + where,
                    .signal = {cli::Stop::Terminate},
                    .trigger = trigger,
                    .never = never,
                    .recorded = recorded};
        };
        AddRows<Ruled>({
            {"stopped before the erase",
             stoppedWhen("010102", "030205", "before the erase: nothing", "")},
            {"stopped during the erase",
             stoppedWhen("030205", "030306", "after the erase. The local chip may now hold no",
                         "program stopped after the erase")},
            {"stopped with the last block",
             stoppedWhen("bb", "030407",
                         "after the last block: the local chip holds the complete image, it was "
                         "not restarted.\n",
                         "program completed")},
            {"burn-in",
             {.arguments = "burn-in --duration 9s",
              .message = "ended (signal): 3 samples",
              .signal = {cli::Stop::Terminate, 3500},
              .tookMs = 3500 + kStopSeenMs}},
            {"burn-in, its end as JSON",
             {.arguments = "--json burn-in --duration 9s",
              .json = {{-1, {{"event", "summary"}, {"samples", 1}, {"ended", "interrupt"}}}},
              .signal = {cli::Stop::Interrupt, 1500},
              .tookMs = 1500 + kStopSeenMs}},
            {"status --watch",
             {.arguments = "status --watch",
              .signal = {cli::Stop::Terminate, 2500},
              .tookMs = 2500 + kStopSeenMs}},
        });
    }
    void stopsAtTheNextStep() { Rule(Fetch<Ruled>()); }

    // --json carries values: numbers as numbers, times in ISO 8601
    // with their offset (the rig's clock is an hour ahead of UTC), and every object its form.
    void printsValuesAsJson_data()
    {
        AddRows<Ruled>({
            {"flash",
             {.arguments = "--json flash --to local --yes --apply big.bin",
              .json = {{0, {{"event", "image"}, {"bytes", 2048}, {"chip", QJsonValue()}}},
                       {1, {{"event", "progress"}, {"blocks", 0}, {"of", 64}}},
                       {-2, {{"event", "completed"}, {"blocks", 64}}},
                       {-1, {{"event", "restarted"}}}}}},
            {"burn-in",
             {.arguments = "--json burn-in --duration 2s",
              .json = {{0,
                        {{"event", "sample"},
                         {"time", "2014-03-07T13:05:01+01:00"},
                         {"link", true},
                         {"5v", true}}}}}},
        });
    }
    void printsValuesAsJson() { Rule(Fetch<Ruled>()); }

    // --watch prints a reading when it changes, after its time: the link comes up when its read is
    // answered.
    void watchesReadings()
    {
        Rig rig;
        rig.Healthy();
        rig.Set("010c=0000001e 0112=00000021 0114=08");
        rig.extender.SetFaults({.refuse = true, .onlyPrefix = Hex("011213"), .onlyNth = 1});
        const QString watched = RunCli(rig.wire, "--json status --watch").out;
        QCOMPARE(watched.count('\n'), 2);
        CompareJson(watched, {{0, {{"time", "2014-03-07T13:05:00+01:00"}, {"link", "down"}}},
                              {1,
                               {{"time", "2014-03-07T13:05:05+01:00"},
                                {"video_ber", QJsonObject{{"lamp", "marginal"}, {"level", 8}}},
                                {"link", "up"}}}});
    }

    // --device, --serial and --all reach the units named; a serial number two units tell is
    // refused, and a marked chip is not restarted unasked.
    void picksTheUnitsNamed_data()
    {
        const QString denied = "first could not be opened: Permission denied; "
                               + QString::fromStdString(NoAccessAdvice());
        AddRows<Picked>({
            {"--device of none", {.arguments = "--device sim:third info", .exit = 1}},
            {"--serial with --device",
             Usage<Picked>("--serial A1 --device sim:first info", "give one of them")},
            {"--all with --serial", Usage<Picked>("--all --serial A1 info",
                                                  "--all names every extender; give it without")},
            {"--serial twice, one not to be opened",
             {.arguments = "--serial A1 --serial B2 fail-safe off",
              .exit = 1,
              .message = "A1: torvanreader-cli: fail-safe: sim:first could not be opened: "
                         "Permission denied",
              .written = {"0", "2 33"}}},
            {"--serial, no access",
             {.arguments = "--serial A1 info", .exit = 1, .message = denied}},
            {"--serial",
             {.arguments = "--serial B2 fail-safe off",
              .message = "Fail-Safe Disable",
              .written = {"0", "2 33"}}},
            {"--serial of two units", SaysAlone("--serial B2 info", 2, kTwice, 0)},
            {"apply on every unit, one marked: not restarted unasked",
             {.arguments =
                  "--device sim:second flash --to local --yes big.bin;--all apply --to local",
              .steps = kAllThere,
              .exit = 4,
              .message = "B2 at sim:second: torvanreader-cli: apply: not restarted: the last "
                         "firmware update of the local chip did not complete",
              .mostMs = 1000}},
            {"info, the unit pulled out",
             {.arguments = "--serial B2 info",
              .steps = {{0, 1, '!'}},
              .exit = 1,
              .message = "torvanreader-cli: info: the connect check (AA 01 AB) failed: the "
                         "extender did not answer (No such device)\n",
              .checks = 1}},
        });
    }
    void picksTheUnitsNamed() { Pick(Fetch<Picked>()); }

    // --wait reaches the unit named as it is plugged in or given access, and says which one stayed
    // out; a serial number of two units stays a usage error.
    void waitsForTheUnitsNamed_data()
    {
        AddRows<Picked>({
            {"--wait for every unit named",
             {.arguments = "--wait 10 --serial A1 --serial B2 fail-safe off",
              .steps = {{0, 0, 'p'}, {0, 1, '-'}, {3000, 1, '+'}},
              .message = "B2: Fail-Safe Disable\n",
              .mostMs = 3100,
              .written = {"2 33", "2 33"}}},
            {"--wait, a unit named stays out",
             {.arguments = "--wait 2 --serial A1 --serial NOPE info",
              .exit = 1,
              .message = "no extender with serial number NOPE (waited 2 s)",
              .mostMs = 2000}},
            {"--wait, none comes",
             {.arguments = "--wait 99 list",
              .steps = {{0, 0, '-'}},
              .exit = 4,
              .message = "waiting: no extender found",
              .mostMs = 60000,
              .pulledOut = 1}},
            {"--wait, plugged in, then access",
             {.arguments = "--wait 9 --serial A1 fail-safe off",
              .steps = {{0, 0, '+'}, {1000, 0, 'p'}},
              .mostMs = 1250,
              .written = {"2 33", "0"},
              .pulledOut = 0}},
            {"--serial of two units, --wait", SaysAlone("--wait 9 --serial B2 info", 2, kTwice, 0)},
        });
    }
    void waitsForTheUnitsNamed() { Pick(Fetch<Picked>()); }

    // list shows and checks only the units named, and list --watch tells plugs and pulls, sending
    // nothing; where there is no unit, what to do is said.
    void listsTheUnitsNamed_data()
    {
        const QString a1 = "sim:first\tA1\tTorvan\tSimulated HDBaseT extender\tanswers\n";
        const QString none = "torvanreader-cli: list: no extender ";
        AddRows<Picked>({
            {"list, no access",
             {.arguments = "list",
              .message = "A1\tTorvan\tSimulated HDBaseT extender\tno permission"}},
            {"list --watch",
             {.arguments = "list --watch",
              .steps = {{1000, 1, '+'}, {2000, 1, '-'}},
              .message = "present\tsim:first\tA1\nadded\tsim:second\tB2\nremoved\tsim:second\tB2\n",
              .sendsNothing = true,
              .pulledOut = 1}},
            {"list --serial", SaysAlone("list --serial A1", 0, a1, 1)},
            {"list --serial, none there",
             SaysAlone("list --serial NOPE", 1, none + "with serial number NOPE\n", 0)},
            {"list --device, none there",
             SaysAlone("list --device sim:nope", 1, none + "at sim:nope\n", 0)},
            {"list --watch --serial",
             {.arguments = "list --watch --serial A1",
              .steps = kAllThere,
              .message = "present\tsim:first\tA1\n",
              .sendsNothing = true,
              .checks = 0}},
            {"list, no unit",
             NoUnit("list", "torvanreader-cli: list: " + kNoneFound
                                + ", or try every command on a simulated extender with --demo\n")},
            {"status, no unit",
             NoUnit("status", "torvanreader-cli: status: " + kNoneFound
                                  + ", see what is there with 'torvanreader-cli list', or try "
                                    "every command on a simulated extender with --demo\n")},
        });
    }
    void listsTheUnitsNamed() { Pick(Fetch<Picked>()); }

    // check is a monitoring plugin: what went wrong is UNKNOWN, on stdout.
    void checksAsAPlugin_data()
    {
        AddRows<Picked>({
            {"no unit", PluginUnknown("check", "no extender found (vendor 0x051A", kNoneThere)},
            {"a range upside down",
             PluginUnknown("check --crit-level 2:1",
                           "--crit-level: '2:1' is not a range: it starts above its end\n")},
            {"an unknown option", PluginUnknown("check --bogus", "Unknown option 'bogus'.\n")},
        });
    }
    void checksAsAPlugin() { Pick(Fetch<Picked>()); }

    // The JSON of the commands on units named, as values; on several units every object names its
    // unit.
    void printsUnitsAsJson_data()
    {
        const QJsonObject second{
            {"path", "sim:second"},     {"serial", "B2"},
            {"manufacturer", "Torvan"}, {"product", "Simulated HDBaseT extender"},
            {"answers", true},          {"in_use", false},
            {"no_permission", false}};
        QJsonObject first = second;
        first["path"] = "sim:first";
        first["serial"] = "A1";
        first["answers"] = false;
        first["no_permission"] = true;
        AddRows<Picked>({
            {"list",
             {.arguments = "--json list", .json = {{0, {{"devices", QJsonArray{first, second}}}}}}},
            {"list --watch",
             {.arguments = "--json list --watch",
              .steps = {{1, 0, '-'}},
              .json = {{-1, {{"event", "removed"}, {"path", "sim:first"}, {"serial", "A1"}}}},
              .sendsNothing = true}},
            {"fail-safe on",
             {.arguments = "--json --device sim:second fail-safe on",
              .json = {{0, {{"fail_safe", "on"}, {"setting", 0xb3}}}},
              .written = {"0", "1 b3"}}},
            {"apply",
             {.arguments = "--json --device sim:second apply --to remote",
              .json = {{0, {{"restarted", "remote"}}}},
              .mostMs = 1000}}, // the restart's pause
            {"every unit",
             {.arguments = "--json --all fail-safe off",
              .steps = kAllThere,
              .json = {{0, {{"fail_safe", "off"}, {"setting", 0x33}}},
                       {-1,
                        {{"event", "summary"},
                         {"units", QJsonArray{Summed("A1", "sim:first"), Summed("B2", "sim:second"),
                                              Summed("B2", "sim:third")}}}}},
              .written = {"2 33", "2 33"}}},
        });
    }
    void printsUnitsAsJson() { Pick(Fetch<Picked>()); }

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
        const QString asked = "--all flash --to local big.bin";
        const Ended done{0, "completed"}, refused{4, "not programmed"};
        const Ended stopped{4, "stopped after block 40 of 64"};
        using enum cli::Stop;
        AddRows<Racked>({
            {"eight units, as JSON", {.arguments = "--json " + kFlashAll, .ends = Each(done)}},
            {"one refusing, one pulled out, one held, one not fitting, a signal",
             {.arguments = asked,
              .units = "ruhf....",
              .exit = 1,
              .ends = {Ended{1, "block 20 of 64 failed"}, Ended{1, "block 30 of 64 failed"},
                       Ended{1, "sim:unit3 is in use by tst_cli"}, refused, stopped, stopped,
                       stopped, stopped},
              .signal = {Terminate, 1200}}},
            {"images not for the chips, asked once a kind",
             OnTerminal(Racked{.arguments = asked, .units = "f.gf..g.", .ends = Each(done)}, "yy")},
            {"images not for the chips, refused",
             {.arguments = asked,
              .units = "f.gf..g.",
              .exit = 4,
              .ends = {refused, done, refused, refused, done, done, refused, done}}},
            {"a unit plugged in during the run",
             {.units = "...p....", .ends = {done, done, done, kLeftOut, done, done, done, done}}},
            {"the units named",
             {.arguments = "--serial U2 --serial U5 --serial U9 flash --to local --yes big.bin",
              .exit = 1,
              .ends = {kLeftOut, done, kLeftOut, kLeftOut, done, kLeftOut, kLeftOut, kLeftOut},
              .absent = "U9"}},
        });
    }
    // A signal reaches every unit of the rack at its next step, and Ctrl-C on a terminal asks once
    // for all of them.
    void stopsEveryUnitAtOnce_data()
    {
        const Ended done{0, "completed"};
        using enum cli::Stop;
        AddRows<Racked>({
            {"SIGTERM before any erase",
             OnTerminal(EachStopped("stopped before the erase", {Terminate}))},
            {"SIGTERM during the erases", EachStopped("stopped after the erase", {Terminate, 500})},
            {"SIGTERM at a block", OnTerminal(EachStopped(kTornAt20, {Terminate, 1100}))},
            {"Ctrl-C off a terminal at a block", EachStopped(kTornAt20, {Interrupt, 1100})},
            {"Ctrl-C on a terminal, yes",
             OnTerminal(EachStopped(kTornAt20, {Interrupt, 1100}), "y")},
            {"Ctrl-C on a terminal, no",
             OnTerminal(Racked{.ends = Each(done), .signal = {Interrupt, 1100}}, "n")},
        });
    }
    void stopsEveryUnitAtOnce() { FlashRack(Fetch<Racked>()); }

    void flashesEveryUnitAtOnce() { FlashRack(Fetch<Racked>()); }

    // Each unit of a burn-in on several keeps a log of its own, BIT-SERIAL.txt where BIT.txt would
    // be, or in --log-dir, or named after --log, with what the one-unit command logs for the same
    // samples; a log another run holds keeps its unit out, as a unit another program holds; logs
    // that hold entries are asked about once, and kept off a terminal without --yes.
    void logsEachUnitApart_data()
    {
        const std::optional<int> out;
        AddRows<BurnedIn>({
            {"in a folder given",
             {.arguments = "--all burn-in --duration 7s --log-dir logs",
              .logs = "logs/BIT-%1.txt"}},
            {"named after --log",
             {.arguments = "--serial U1 --serial U2 burn-in --duration 7s --log run.txt",
              .exits = {5, 0, out, out, out, out, out, out},
              .logs = "run-%1.txt"}},
            {"a log held, a unit held, a log kept, a link down",
             {.units = "lhed....", .exits = {1, 1, 4, 5, 0, 0, 0, 0}}},
            {"logs that hold entries, asked once",
             OnTerminal(BurnedIn{.units = "e.e.....", .exit = 0, .exits = {0, 0, 0, 0, 0, 0, 0, 0}},
                        "y")},
        });
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
        QCOMPARE(run.code, row.exit);
        QCOMPARE(run.err.count("[y/N]"), row.questions);
        const std::map<QString, QStringList> summary = SummaryRows(run.out);
        for (int unit = 0; unit < kRackSize; ++unit) {
            const QString serial = QString("U%1").arg(unit + 1), log = row.logs.arg(serial);
            const std::optional<int> exit = row.exits[size_t(unit)];
            QCOMPARE(summary.contains(serial), exit.has_value());
            if (exit)
                QCOMPARE(summary.at(serial).at(0), QString::number(*exit));
            // A kept log keeps its entry; a unit's run logs what one unit's run does.
            const QByteArray logged = exit == 4                ? kOldEntry
                                      : exit == 1 || !exit     ? "<missing>"
                                      : row.units[unit] == 'd' ? down
                                                               : "";
            QCOMPARE(ReadFile(log), logged);
            QCOMPARE(rack.Commands(unit).empty(), !exit || exit == 1 || exit == 4);
        }
        QVERIFY(!QFile::exists("BIT.txt"));
    }

    // The metrics and the report read the units the options choose, every one present where none
    // is named, each unit at the same time as the others; a unit another program holds is
    // reported in use and sent nothing. The plugin's check looks at one unit alone.
    void monitorsTheUnitsChosen_data()
    {
        const QString metrics = " status --format prometheus";
        AddRows<Monitored>({
            {"every unit present", {.arguments = metrics.trimmed(), .read = "11111111"}},
            {"--all, one held",
             {.arguments = "--all" + metrics, .units = "..h.....", .read = "11h11111"}},
            {"two serial numbers",
             {.arguments = "--serial U2 --serial U5" + metrics, .read = "-1--1---"}},
            {"one of them absent",
             {.arguments = "--serial U2 --serial U9" + metrics,
              .read = "-1------",
              .said = "no extender with serial number U9"}},
            {"the report of every unit",
             {.arguments = "report --output -",
              .units = ".h......",
              .read = "1h111111",
              .said = "Extenders\n=========\n8 found."}},
            {"check on several units",
             {.arguments = "--all check",
              .exit = 3,
              .read = "--------",
              .said = "TORVANREADER UNKNOWN - check looks at one extender"}},
        });
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
        QCOMPARE(run.code, row.exit);
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

    // The program itself, stopped as the system asks: a command whose output nobody reads
    // (status --watch into a pipe whose reader stopped) still ends, as the write gives way.
    void stopsWhileNobodyReads()
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
        // A status beside it, read, ends after the reading that this one waits to write.
        QCOMPARE(RunProgram(TORVAN_CLI, {"--demo", "status"}, ProgramEnvironment(dir.path())).exit,
                 0);
        QCOMPARE(program.state(), QProcess::Running);
        QVERIFY(SendStop(program));
        QVERIFY(program.waitForFinished(30000));
    }

    // Flash, stopped by the system's signal at moments spread over the first 2 s after its main
    // began (the erase's pause and the sample's 256 blocks take 2.3 s): every run ends with exit 4
    // and says where it stopped, its mark stored only once the chip was to be erased, and no write
    // completes.
    void stopsFlashWhereSignalled()
    {
        QTemporaryDir dir;
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
                const QByteArray seen =
                    QString::asprintf("at %d ms: ", run->moment).toUtf8() + said.toUtf8();
                QVERIFY2(run->signalled, seen);
                QVERIFY2(run->program.exitStatus() == QProcess::NormalExit, seen);
                QCOMPARE(run->program.exitCode(), 4);
                QVERIFY2(!where.isEmpty(), seen);
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
        const QString usage = "Usage: torvanreader-cli [options] ";
        const QString update = "--demo flash --to remote --yes " QT_TESTCASE_SOURCEDIR
                               "/../samples/firmware/demo-remote-rx-3072.2.hex;"
                               "--demo apply --to remote;--demo info";
        AddRows<Said>({
            {"help", {.arguments = "--help", .said = usage + "COMMAND [command options]\n"}},
            {"help on flash", {.arguments = "--help", .said = "\n  flash       Program an"}},
            {"flash's usage",
             {.arguments = "flash --help",
              .said = usage + "flash --to local|remote FILE [--yes] [--apply]\n"}},
            {"torvanreader, no display",
             {.program = TORVAN_APP, .exit = 1, .said = "torvanreader: needs a desktop session"}},
            {"torvanreader-demo, no display",
             {.program = TORVAN_DEMO,
              .exit = 1,
              .said = "\ntorvanreader-cli does every job of the tool"}},
            {"--replug abc",
             {.program = TORVAN_DEMO,
              .arguments = "--replug abc",
              .exit = 2,
              .said = "--replug takes whole seconds from 1 to 86400, not 'abc'\n"
                      "Usage: torvanreader-demo [--in-documents] [--replug"}},
            {"the demo, an update played through",
             {.arguments = update, .said = "Remote (RX):\tQX720\t3072.2\tRX"}},
        });
    }
    void saysWhatToDoNext()
    {
        QFETCH(Said, row);
        QTemporaryDir home; // the demo keeps its chips there from one command to the next
        QProcessEnvironment environment = ProgramEnvironment(home.path());
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "xcb");
        Ran ran;
        for (const QString& command : row.arguments.split(';'))
            ran = RunProgram(row.program, command.split(' ', Qt::SkipEmptyParts), environment);
        // Data and help go to stdout, what went wrong to stderr.
        const QString said = row.exit ? ran.err : ran.out;
        QVERIFY2(said.contains(row.said), qPrintable(said));
        QCOMPARE(ran.exit, row.exit);
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
        const Ran demo =
            RunProgram(TORVAN_DEMO, {"--in-documents", "--screenshot", "shots"}, environment);
        QCOMPARE(demo.exit, 0);
        QVERIFY2(demo.err.contains("TorvanReader cannot be used: "), qPrintable(demo.err));
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
        const QProcessEnvironment home = ProgramEnvironment(dir.dir.path());
        const Ran flashed =
            RunProgram(cliPath, {"--demo", "--json", "flash", "--to", "remote", image}, home);
        QCOMPARE(flashed.exit, 4);
        const QJsonObject shown = QJsonDocument::fromJson(flashed.out.toUtf8()).object();
        QCOMPARE(shown["file"].toString(), image);
        QCOMPARE(shown["chip"].toString(), "QX710");
        const QStringList missing{"--demo", "flash", "--to", "local", "Ωμέγα Прошивка.hex"};
        const QString said =
            "Ωμέγα Прошивка.hex: Cannot open the file! (" + kMissingFileCause + ")";
        const Ran refused = RunProgram(cliPath, missing, home);
        QCOMPARE(refused.exit, 3);
        QVERIFY2(refused.err.contains(said), qPrintable(refused.err));
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
            read -ra COMP_WORDS <<<"${2% *} ."
            COMP_WORDS[-1]=${2##* } COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
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
