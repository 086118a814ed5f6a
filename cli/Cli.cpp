#include "cli/Cli.h"

#include "burnin/BurnInSession.h"
#include "cli/Session.h"
#include "cli/UnitSelection.h"
#include "device/DeviceIds.h"
#include "failsafe/FailSafeSetting.h"
#include "history/Keeper.h"
#include "monitor/PluginCheck.h"

namespace cli {

QString Listed(QStringList values)
{
    const QString last = values.takeLast();
    return values.isEmpty() ? last : values.join(", ") + " or " + last;
}

namespace {

// "48, 64, 72 or 86".
template <size_t N>
QStringList Words(const std::array<const char*, N>& words)
{
    return {words.begin(), words.end()};
}

// -h and --help, without the Qt options that --help-all would add: this program takes none.
QCommandLineOption HelpOption()
{
    return {{"h", "help"}, "Print the commands, or with a command its options."};
}

QCommandLineOption ParserOption(const Option& option)
{
    return {option.name, option.description, option.value};
}

} // namespace

const std::vector<Option>& Options()
{
    static const QStringList wireQualities = Words(failsafe::kWireQualities),
                             videoBitErrors = Words(failsafe::kVideoBitErrors),
                             timeIntervals = Words(failsafe::kTimeIntervals);
    static const std::vector<Option> options{
        {"device",
         "PATH",
         {},
         "The extender at PATH (see list); the first one found when not given."},
        {"serial",
         "SERIAL",
         {},
         "The extender with serial number SERIAL (see list), wherever it is plugged in; given "
         "more than once, each of those extenders at once."},
        {"all", {}, {}, "Every extender present, each at once, with a summary at the end."},
        {"wait",
         "SECONDS",
         {},
         "Wait up to SECONDS for the extender to be plugged in and answer before the command "
         "starts."},
        {"demo", {}, {}, "Run on the simulated extender of the demo."},
        {"json", {}, {}, "Print JSON: one object per result, one line per sample, change or step."},
        {"quiet", {}, {}, "Print no messages but errors, and no progress bar."},
        {"watch",
         {},
         {},
         "status: keep reading on the Status page's schedule and print each change; "
         "list: print each extender plugged in or pulled out. Until Ctrl-C."},
        {"to", "CHIP", {"local", "remote"}, "The chip: local (TX) or remote (RX)."},
        {"yes",
         {},
         {},
         "Do it without asking: program an image that may not fit the chip (flash), "
         "restart a chip that holds an incomplete image (apply), empty a log that holds "
         "entries (burn-in)."},
        {"apply", {}, {}, "Restart the chip once its image is written completely."},
        {"period", "PERIOD", burnin::SamplePeriodWords(),
         "Sample every " + Listed(burnin::SamplePeriodWords()) + "."},
        {"duration",
         "TIME",
         {},
         "Stop after TIME (90s, 30m, 12h, at most 366d); runs until Ctrl-C when not given."},
        {"log",
         "FILE",
         {},
         "The log file, emptied when the run starts (BIT.txt when not given); one that holds "
         "entries only after a yes, or with --yes. Of several units, each logs in FILE with its "
         "serial number added: BIT-SERIAL.txt."},
        {"log-dir", "DIR", {}, "The folder of the log or logs (the current one when not given)."},
        {"wire-quality", "N", wireQualities,
         "Fail-safe wire quality threshold: " + Listed(wireQualities) + "."},
        {"video-ber", "E", videoBitErrors,
         "Fail-safe video bit error threshold: " + Listed(videoBitErrors) + "."},
        {"interval", "S", timeIntervals,
         "Fail-safe time interval in seconds: " + Listed(timeIntervals) + "."},
        {"since",
         "DATE",
         {},
         "Only what was done from DATE on: 2025-03-07, or 2025-03-07T13:05 in local time (a Z "
         "after it: UTC)."},
        {"csv", {}, {}, "Print CSV for a spreadsheet: a header row, then a record per entry."},
        {"format",
         "FORMAT",
         {"prometheus"},
         "status: print the metrics of every extender (or those named), all read at once, in "
         "Prometheus' text format, for node_exporter's or windows_exporter's textfile "
         "collector."},
        {"output",
         "FILE",
         {},
         "status --format prometheus: write the metrics to FILE, replaced whole (written beside "
         "it, then renamed); report: write the report to FILE, - for standard output."},
        {"warn-level",
         "RANGE",
         {},
         "check: warn when a pair's error level is outside RANGE (plugin range syntax: 10, 10:, "
         "~:10, 10:20, @10:20); 0.8 when not given."},
        {"crit-level",
         "RANGE",
         {},
         "check: critical when a pair's error level is outside RANGE; 0.99 when not given."},
        {"cable-max",
         "RANGE",
         {},
         "check: warn when the cable length in metres is outside RANGE (100 is 0 to 100 m)."},
    };
    return options;
}

const QStringList& GlobalOptions()
{
    static const QStringList global{"device", "serial", "all",  "wait",   "demo",
                                    "json",   "quiet",  "help", "version"};
    return global;
}

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands{
        {"list",
         {},
         "",
         {"watch"},
         "Every extender on this PC and whether it answers the connect check.",
         List},
        {"info",
         {},
         "",
         {},
         "The identification of both chips: chip type, firmware revision, role.",
         Info},
        {"status",
         {},
         "",
         {"watch", "format", "output"},
         "One reading of everything the Status page shows.",
         Status},
        {"flash", {"to"}, "FILE", {"yes", "apply"}, "Program an image file into a chip.", Flash},
        {"apply", {"to"}, "", {"yes"}, "Restart a chip on its firmware.", Apply},
        {"burn-in",
         {},
         "",
         {"period", "duration", "log", "log-dir", "yes"},
         "Run a burn-in test and log its failures.",
         BurnIn},
        {"fail-safe",
         {},
         "on|off",
         {"wire-quality", "video-ber", "interval"},
         "Switch the extender's fail-safe on with a setting, or off.",
         FailSafe},
        {"history",
         {},
         "",
         {"since", "csv"},
         "Every erase, programming, restart and fail-safe change on record, newest first "
         "(--serial: those units').",
         History},
        {"check",
         {},
         "",
         {"warn-level", "crit-level", "cable-max"},
         "The link's health as a Nagios or Icinga plugin: exit 0 OK to 3 UNKNOWN.",
         Check,
         true},
        {"report",
         {},
         "",
         {"output", "yes"},
         "Write a support report: the program, this PC, every extender (or those named), the "
         "settings, the update history.",
         Report},
    };
    return commands;
}

QString Synopsis(const Command& command)
{
    const auto taken = [](const QString& name) {
        const auto option = std::ranges::find(Options(), name, &Option::name);
        const QString value = option->values.isEmpty() ? option->value : option->values.join('|');
        return "--" + name + (value.isEmpty() ? "" : " " + value);
    };
    QStringList parts{command.name};
    for (const QString& name : command.required)
        parts << taken(name);
    if (!command.words.isEmpty())
        parts << command.words;
    for (const QString& name : command.optional)
        parts << "[" + taken(name) + "]";
    return parts.join(' ');
}

namespace {

const Command* Find(const QString& name)
{
    const auto found = std::ranges::find(Commands(), name, &Command::name);
    return found == Commands().end() ? nullptr : &*found;
}

// Qt's help text with its first line, the usage, made from the program's name and the command's
// synopsis rather than from the path the program was started by.
QString Help(const Command* command)
{
    QCommandLineParser parser;
    for (const Option& option : Options()) {
        if (GlobalOptions().contains(option.name)
            || (command
                && (command->required.contains(option.name)
                    || command->optional.contains(option.name))))
            parser.addOption(ParserOption(option));
    }
    parser.addOption(HelpOption());
    parser.addVersionOption();
    QString usage = "Usage: torvanreader-cli [options] COMMAND [command options]\n";
    QString commands;
    if (command) {
        usage = "Usage: torvanreader-cli [options] " + Synopsis(*command) + "\n";
        parser.setApplicationDescription(command->summary);
    } else {
        parser.setApplicationDescription(
            "Diagnose and maintain an HDBaseT extender pair from scripts and terminals.\n\n"
            "Exit codes: 0 done; 1 device missing, refusing or not answering; 2 usage; 3 the "
            "file cannot be used (an image, or the update history); 4 refused by the guard or by "
            "the user; 5 a burn-in sample failed. Of several units (--all, or --serial more than "
            "once): 0 when every unit ended 0, else the worst of their codes, in the order 5, 1, "
            "4, "
            "3, 2. check exits as a monitoring plugin: 0 OK, 1 WARNING, 2 CRITICAL, 3 UNKNOWN.");
        commands = "\nCommands:\n";
        for (const Command& each : Commands())
            commands += QString("  %1  %2\n").arg(each.name, -10).arg(each.summary);
        commands += "\nCOMMAND --help tells the usage and options of one.\n";
    }
    const QString text = parser.helpText();
    return usage + "\n" + text.mid(text.indexOf('\n') + 1) + commands;
}

} // namespace

int Run(const QStringList& arguments, Context& context)
{
    QCommandLineParser parser;
    for (const Option& option : Options())
        parser.addOption(ParserOption(option));
    const QCommandLineOption help = HelpOption();
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const bool parsed = parser.parse(arguments);
    const QStringList positional = parser.positionalArguments();
    const Command* found = positional.isEmpty() ? nullptr : Find(positional[0]);
    const auto usage = [&](const QString& why) {
        if (found && found->plugin) {
            context.out << monitor::PluginLine({monitor::PluginState::Unknown, why, {}})
                        << Qt::endl;
            return int(monitor::PluginState::Unknown);
        }
        context.err << "torvanreader-cli: " << why << "\nTry 'torvanreader-cli --help'."
                    << Qt::endl;
        return int(kUsage);
    };
    if (!parsed)
        return usage(parser.errorText());
    if (parser.isSet(version)) {
        context.out << "torvanreader-cli " << kTorvanVersion << Qt::endl;
        return kDone;
    }
    if (parser.isSet(help)) {
        context.out << Help(found);
        return kDone;
    }
    if (positional.isEmpty())
        return usage("no command given");
    if (!found)
        return usage("unknown command '" + positional[0] + "'");
    for (const QString& option : parser.optionNames()) {
        if (!GlobalOptions().contains(option) && !found->required.contains(option)
            && !found->optional.contains(option))
            return usage(QString("--%1 is not an option of %2").arg(option, found->name));
    }
    if (const QString conflict = UnitSelection(parser).Conflict(); !conflict.isEmpty())
        return usage(conflict);
    bool seconds = true;
    if (parser.isSet("wait") && (parser.value("wait").toUInt(&seconds) > kLongestWait || !seconds))
        return usage(QString("--wait takes whole seconds up to %1, not '%2'")
                         .arg(kLongestWait)
                         .arg(parser.value("wait")));
    Session session(context, parser, found->name);
    // What the command changes is kept in the update history; trouble with it is said once.
    std::optional<history::Keeper> keeper;
    if (const QString file = context.history ? context.history(parser.isSet("demo")) : QString();
        !file.isEmpty())
        keeper.emplace(file, [&](const QString& message) { session.Warn(message); });
    return found->run(session);
}

} // namespace cli
