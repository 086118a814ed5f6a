#pragma once
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

#include "burnin/ClockReading.h"
#include "device/Waitable.h"

class IHidBackend;
class IUnitWatcher;

// torvanreader-cli: every job of the tool as a command, for scripts, production lines and remote
// support. It runs the same core as the windows: the same reads, decoding, image loading, guard,
// firmware update, burn-in session and setting byte, with the same bytes on the wire.
namespace cli {

// Exit codes, as the README documents them.
enum Exit { kDone = 0, kDevice = 1, kUsage = 2, kFile = 3, kRefused = 4, kFailed = 5 };

// A request to stop that came from outside: Ctrl-C, which a terminal user may take back, or
// SIGTERM / SIGHUP (a shutdown, a closed ssh session), which nobody is there to take back.
enum class Stop { None, Interrupt, Terminate };

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
};

// Runs the command line (arguments[0] is the program) and gives its exit code.
int Run(const QStringList& arguments, Context& context);

} // namespace cli
