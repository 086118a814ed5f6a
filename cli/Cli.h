#pragma once
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "burnin/ClockReading.h"
#include "device/Waitable.h"

class IHidBackend;
class IUnitWatcher;
namespace cli {
class Session;
}

// torvanreader-cli: every job of the tool as a command, for scripts, production lines and remote
// support. It runs the same core as the windows: the same reads, decoding, image loading, guard,
// firmware update, burn-in session and setting byte, with the same bytes on the wire.
namespace cli {

// Exit codes, as the README documents them.
enum Exit { kDone = 0, kDevice = 1, kUsage = 2, kFile = 3, kRefused = 4, kFailed = 5 };

// A request to stop that came from outside: Ctrl-C, which a terminal user may take back, or
// SIGTERM / SIGHUP (a shutdown, a closed ssh session), which nobody is there to take back.
enum class Stop { None, Interrupt, Terminate };

// A unit's own time in a run on several units: its steady clock, its sleep and its local clock.
struct Timeline {
    std::function<std::chrono::microseconds()> now;
    std::function<void(std::chrono::microseconds)> sleep;
    BurnInClock clock;
};

// What a run of the program reaches: the program itself gives the real ones, tests their own.
struct Context {
    // The back end: the extenders on this PC, or the simulated one of the demo. Called once.
    std::function<IHidBackend&(bool demo)> backend;
    // Extenders plugged in and pulled out (--wait, list --watch): udev's monitor, or the demo's
    // units. Called once, before the units are first enumerated; failure says why a watcher has
    // no handle.
    std::function<IUnitWatcher&(bool demo, std::string& failure)> watcher = {};
    QTextStream& out; // data: results, JSON
    QTextStream& err; // messages, questions, the progress bar
    // Questions are asked and the progress bar drawn only on a terminal.
    bool terminal = false;
    // The line typed, once one was within wait (end of input counts as an empty line).
    std::function<std::optional<QString>(std::chrono::milliseconds wait)> readLine = {};
    std::atomic<Stop>& stop; // set by the signals; a Ctrl-C is cleared by whoever takes it back
    BurnInClock clock = ReadLocalClock;
    // A steady clock, for paces and durations, finer than the 5 ms block pace needs.
    std::function<std::chrono::microseconds()> now;
    std::function<void(std::chrono::microseconds)> sleep;
    // Sleeps until handle turns ready or wait has passed; true when it is ready. kNoWaitHandle
    // only sleeps.
    std::function<bool(WaitHandle handle, std::chrono::milliseconds wait)> await = {};
    // In a run on several units, each unit's thread takes its time from here, so that the time of
    // one never moves with another's sleeps (a test's fake time). None: now, sleep and clock serve
    // every thread, as the system's do.
    std::function<Timeline()> unitTimeline = {};
    // The update history's file, the user's or the demo's; none where nothing is to be recorded.
    std::function<QString(bool demo)> history = {};
    // Holds off the end of the user's session, with the reason the system shows, while a job
    // that must not be cut runs; an empty reason lets go. Where it is not given, nothing is held.
    std::function<void(const QString& reason)> holdSessionEnd = {};
};

// An option: its name, the word for its value in usage lines (none for a switch), the values it
// takes where they are few (the usage lines and the completion list them), and what it does.
struct Option {
    QString name;
    QString value = {};
    QStringList values = {};
    QString description = {};
};
const std::vector<Option>& Options();
// The options every command takes, besides its own.
const QStringList& GlobalOptions();

// A command: the options it cannot go without, the words it takes besides options, the options it
// may take, what it does in a few words (the top-level help), and the job itself.
struct Command {
    QString name;
    QStringList required;
    QString words;
    QStringList optional;
    QString summary;
    int (*run)(Session&);
    // A monitoring plugin: even a usage error is its status line on stdout, with exit 3.
    bool plugin = false;
};
const std::vector<Command>& Commands();
// "flash --to local|remote FILE [--yes] [--apply]": the command with everything it takes.
QString Synopsis(const Command& command);

// "a, b or c": the values an option takes, in words.
QString Listed(QStringList values);

// Runs the command line (arguments[0] is the program) and gives its exit code.
int Run(const QStringList& arguments, Context& context);

} // namespace cli
