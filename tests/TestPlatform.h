#pragma once

// What the suites do differently on each platform: one file per platform (tests/linux/,
// tests/windows/), chosen by the build.

#include <QProcess>
#include <functional>
#include <memory>
#include <optional>

// The transport suite's case of the system's real back end end to end: on Linux hidapi over the
// kernel's hidraw driver and a virtual extender made with /dev/uhid, in the guest that
// tests/e2e/run-e2e.sh boots, which drives the Windows programs under Wine when given them. On
// Windows it says why it skips.
void HidrawEndToEnd();

// The system's watcher tells the units that arrive and leave, and nothing of other devices. On
// Linux the guest of HidrawEndToEnd checks udev's, which needs the kernel's events.
void DeviceWatcherTellsUnits();

// The system's back end keeps the system's own cause of a failed open, claim and transfer, and
// the transport tells the user that cause in the system's words.
void SystemBackendKeepsTheCause();

// A unit held by this program is held for every program on the PC until it is let go of, and the
// holder is named.
void UnitHoldIsSystemWide();

// A report that arrives while the program is between two reads of the unit is kept for the next
// read: the system's back end has a read waiting on the unit from its opening on, and again
// straight after each read (Windows), or the kernel queues it (Linux).
void ReportsBetweenReadsAreKept();

class PerformanceTool;

// Tells the tool window that the user's session is about to end, then that it ends: whether the
// window held the end off. Nothing where the system tells a window of neither (Linux, which ends
// a session's programs with SIGTERM).
std::optional<bool> EndTheSession(PerformanceTool& tool);

// The system's words for a folder opened as a file to write, and to read, for a file whose folder
// is a file, for a file made in a folder that is missing, and for a file opened that is missing.
extern const QString kFolderWriteCause, kFolderReadCause, kUnderAFileCause, kMissingFolderCause,
    kMissingFileCause;
// What a user whom the system refuses a unit is told to do.
extern const QString kNoAccessAdvice;

// The burn-in log's failures to write that this system can make, as QtTest rows of the log's
// name and the system's words for the cause. The row of BIT.txt takes the first entry and fails
// on the second only while a LogWriteFault for it lives.
void AddLogWriteFailureRows();

// While it lives, a write to BIT.txt fails: it goes in only in part (Linux: the file size limit,
// as on a full disk) or not at all (Windows: another program holds the file open, sharing
// nothing).
class LogWriteFault {
public:
    explicit LogWriteFault(const QString& log);

private:
    std::shared_ptr<void> m_undo; // undoes it when the last copy goes
};

// The environment of a program started by a suite, with its settings, the demo's chips and the
// update history in home rather than the user's, where the system lets the environment choose
// them.
QProcessEnvironment ProgramEnvironment(const QString& home);

// Whether programs started with ProgramEnvironment() keep their settings apart, one home each.
extern const bool kSettingsKeptApart;

// The settings file of a program started with ProgramEnvironment(home).
QString ProgramSettingsFile(const QString& home);
// The demo's update history of a program started with ProgramEnvironment(home).
QString ProgramDemoHistory(const QString& home);

// Readies a program not yet started to be sent SendStop().
void ReadyForStop(QProcess& program);

// The program's main has begun: it has taken its stop requests, the first thing it does.
bool TakesStops(const QProcess& program);

// Whether TakesStops() tells it of every program from the start, or only of one that runs its
// event loop.
extern const bool kTakesStopsSeenAtStart;

// Asks the program, which is on no terminal, to stop as the system asks it to: SIGTERM on Linux,
// a console's Ctrl-C on Windows.
bool SendStop(const QProcess& program);

// What program, run to its end with its output on a console, left on that console's screen: the
// characters shown, not the bytes written. Nothing where a terminal takes a program's bytes as they
// come (Linux: what a pipe gets is what the terminal shows), or where no console screen can be
// read (Wine without a display).
std::optional<QString> ConsoleScreen(const QString& program, const QStringList& arguments);

// Output that nobody reads: a pipe already full, held open by a reader that never reads.
class UnreadPipe {
public:
    UnreadPipe();
    bool Made() const { return bool(m_takeOutput); }
    // The program, not yet started, writes its standard output into the pipe.
    void TakeOutputOf(QProcess& program) const { m_takeOutput(program); }

private:
    std::shared_ptr<void> m_ends;                // closes the pipe's ends when the last copy goes
    std::function<void(QProcess&)> m_takeOutput; // set once the pipe is made
};
