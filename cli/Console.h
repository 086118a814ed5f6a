#pragma once
#include <QIODevice>
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "cli/Cli.h"

// The console as each platform gives it to torvanreader-cli: requests to stop from outside, the
// keyboard, and sleeps as fine as the firmware stream's pace needs.
namespace cli {

// From now on, requests to stop land in stop, taken by a thread of their own so that no wait for
// the extender is cut short by them: the command in hand acts on them where it can stop safely.
// Ctrl-C asks (Interrupt); the others end (Terminate): SIGTERM and SIGHUP on Linux, Ctrl-Break,
// the console window closed, logoff and shutdown on Windows, where the command has a few seconds:
// a wait for the unit that would outlast them is ended, so that the command still says where it
// stopped. A closed stdout or stderr (--json
// flash | head -1) must not end a flash half-way: what cannot be written is dropped.
void TakeStopRequests(std::atomic<Stop>& stop);

// Holds off the end of the user's session (logoff, shutdown) with reason while a firmware stream
// runs; an empty reason lets go. The session's end then stops the command as Terminate does, at
// its next step. Windows lets a program hold it; Linux ends a session with SIGTERM, which
// TakeStopRequests takes.
void HoldSessionEnd(const QString& reason);

// Whether a person is at the keyboard: stdin and stderr are a terminal.
bool OnTerminal();

// A line from stdin once one is typed within wait (the end of the input gives what was typed, if
// anything); stdin is read here alone, so that a question can wait for its answer and for Ctrl-C
// at once.
std::optional<QString> ReadLine(std::chrono::milliseconds wait);

enum class Stream { Out, Err };

// stdout or stderr, unbuffered. What cannot be written is dropped (a closed pipe), and a write
// that waits for room (a pipe whose reader stopped reading) gives way to a stop, so that neither
// holds the command up.
std::unique_ptr<QIODevice> StandardOutput(Stream stream, const std::atomic<Stop>& stop);

} // namespace cli
