#include "cli/Cli.h"

#include "burnin/BurnInSession.h"
#include "cli/Session.h"
#include "device/DeviceIds.h"

namespace cli {
namespace {

struct Command {
    const char* name;
    QString arguments; // for the synopsis
    const char* summary;
    QStringList options; // besides the global ones
    int (*run)(Session&);
};

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands{
        {"list",
         "[--watch]",
         "Every extender on this PC and whether it answers the connect check.",
         {"watch"},
         List},
        {"info",
         "",
         "The identification of both chips: chip type, firmware revision, role.",
         {},
         Info},
        {"status", "", "One reading of everything the Status page shows.", {"watch"}, Status},
        {"flash",
         "--to local|remote FILE",
         "Program an image file into a chip.",
         {"to", "yes", "apply"},
         Flash},
        {"apply",
         "--to local|remote [--yes]",
         "Restart a chip on its firmware.",
         {"to", "yes"},
         Apply},
        {"burn-in",
         "[--period " + burnin::PeriodWords("|", "|") + "] [--duration TIME] [--log FILE] [--yes]",
         "Run a burn-in test and log its failures.",
         {"period", "duration", "log", "yes"},
         BurnIn},
        {"fail-safe",
         "on|off",
         "Switch the extender's fail-safe on with a setting, or off.",
         {"wire-quality", "video-ber", "interval"},
         FailSafe},
    };
    return commands;
}

QList<QCommandLineOption> AllOptions()
{
    return {
        {"device", "The extender at PATH (see list); the first one found when not given.", "PATH"},
        {"serial", "The extender with serial number SERIAL (see list), wherever it is plugged in.",
         "SERIAL"},
        {"wait",
         "Wait up to SECONDS for the extender to be plugged in and answer before the command "
         "starts.",
         "SECONDS"},
        {"demo", "Run on the simulated extender of the demo."},
        {"json", "Print JSON: one object per result, one line per sample, change or step."},
        {"quiet", "Print no messages but errors, and no progress bar."},
        {"watch", "status: keep reading on the Status page's schedule and print each change; "
                  "list: print each extender plugged in or pulled out. Until Ctrl-C."},
        {"to", "The chip: local (TX) or remote (RX).", "CHIP"},
        {"yes", "Do it without asking: program an image that may not fit the chip (flash), "
                "restart a chip that holds an incomplete image (apply), empty a log that holds "
                "entries (burn-in)."},
        {"apply", "Restart the chip once its image is written completely."},
        {"period", "Sample every " + burnin::PeriodWords(", ", " or ") + ".", "PERIOD"},
        {"duration",
         "Stop after TIME (90s, 30m, 12h, at most 366d); runs until Ctrl-C when not given.",
         "TIME"},
        {"log",
         "The log file, emptied when the run starts (BIT.txt when not given); one that holds "
         "entries only after a yes, or with --yes.",
         "FILE"},
        {"wire-quality", "Fail-safe wire quality threshold: 48, 64, 72 or 86.", "N"},
        {"video-ber", "Fail-safe video bit error threshold: 1e-8 or 1e-9.", "E"},
        {"interval", "Fail-safe time interval in seconds: 5, 10, 20, 30, 40, 50 or 60.", "S"},
    };
}

const QStringList kGlobal{"device", "serial", "wait", "demo", "json", "quiet", "help", "version"};

// -h and --help, without the Qt options that --help-all would add: this program takes none.
QCommandLineOption HelpOption()
{
    return {{"h", "help"}, "Print the commands, or with a command its options."};
}

QString Help(const Command* command)
{
    QCommandLineParser parser;
    for (const QCommandLineOption& option : AllOptions()) {
        if (kGlobal.contains(option.names()[0])
            || (command && command->options.contains(option.names()[0])))
            parser.addOption(option);
    }
    parser.addOption(HelpOption());
    parser.addVersionOption();
    if (!command) {
        parser.setApplicationDescription(
            "Diagnose and maintain an HDBaseT extender pair from scripts and terminals.\n\n"
            "Exit codes: 0 done; 1 device missing, refusing or not answering; 2 usage; 3 the "
            "file cannot be used; 4 refused by the guard or by the user; 5 a burn-in sample "
            "failed.");
        parser.addPositionalArgument("command",
                                     "list, info, status, flash, apply, burn-in or fail-safe; "
                                     "COMMAND --help tells more.",
                                     "COMMAND");
        return parser.helpText();
    }
    parser.setApplicationDescription(command->summary);
    parser.addPositionalArgument(command->name, command->arguments,
                                 QString(command->name) + " " + command->arguments);
    return parser.helpText();
}

} // namespace

int Run(const QStringList& arguments, Context& context)
{
    QCommandLineParser parser;
    parser.addOptions(AllOptions());
    const QCommandLineOption help = HelpOption();
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const auto usage = [&](const QString& why) {
        context.err << "torvanreader-cli: " << why << "\nTry 'torvanreader-cli --help'."
                    << Qt::endl;
        return kUsage;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    const auto found =
        positional.isEmpty()
            ? Commands().end()
            : std::find_if(Commands().begin(), Commands().end(),
                           [&](const Command& c) { return positional[0] == c.name; });
    if (parser.isSet(version)) {
        context.out << "torvanreader-cli " << kTorvanVersion << Qt::endl;
        return kDone;
    }
    if (parser.isSet(help)) {
        context.out << Help(found == Commands().end() ? nullptr : &*found);
        return kDone;
    }
    if (positional.isEmpty())
        return usage("no command given");
    if (found == Commands().end())
        return usage("unknown command '" + positional[0] + "'");
    for (const QString& option : parser.optionNames()) {
        if (!kGlobal.contains(option) && !found->options.contains(option))
            return usage(QString("--%1 is not an option of %2").arg(option, found->name));
    }
    if (parser.isSet("device") && parser.isSet("serial"))
        return usage("--device and --serial name the extender each; give one of them");
    bool seconds = true;
    if (parser.isSet("wait") && (parser.value("wait").toUInt(&seconds) > kLongestWait || !seconds))
        return usage(QString("--wait takes whole seconds up to %1, not '%2'")
                         .arg(kLongestWait)
                         .arg(parser.value("wait")));
    Session session(context, parser, found->name);
    return found->run(session);
}

} // namespace cli
