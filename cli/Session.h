#pragma once
#include <QCommandLineParser>
#include <QJsonObject>
#include <memory>
#include <optional>

#include "cli/Cli.h"
#include "cli/UnitSelection.h"
#include "device/CommandFrames.h"
#include "device/HidCmd.h"
#include "device/StatusRegister.h"

class IUnitWatcher;

// One run of a command: its options, its output, the questions it asks and the unit it talks to.
namespace cli {

// The longest --wait: a day.
inline constexpr unsigned kLongestWait = 24 * 60 * 60;
// What every JSON object says of its own form, for scripts to check: raised whenever a field goes
// or changes its meaning. Form 2 carries values (numbers, ISO 8601 times, identifiers).
inline constexpr int kJsonFormat = 2;

class UnitRun;

// What a unit's job came to, for the summary of a run on several units.
struct Outcome {
    // "completed", "stopped after block 20 of 256": what the job says of itself; where it says
    // nothing, the summary takes the first clause of the error it ended with.
    QString result = {};
    QString chip = {};    // the chip the job was for: "local", "remote", or none
    QString counted = {}; // what count counts: "blocks", "samples", or nothing
    qint64 count = 0;
    QString error = {}; // the last error said
};

class Session {
public:
    Session(Context& context, const QCommandLineParser& options, QString command);
    // The session of one unit of a run on several units: the unit named, its own channel, its own
    // time where the context gives one, and output through run.
    Session(Session& parent, UnitRun& run, size_t index, const CHidIO::Unit& unit);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const QCommandLineParser& Options() const { return m_options; }
    Context& Ctx() { return m_context; }
    bool Json() const { return m_json; }
    const UnitSelection& Units() const { return m_units; }
    // The unit of a run on several units; none where the options name one.
    const CHidIO::Unit* Unit() const { return m_unit ? &*m_unit : nullptr; }
    Outcome& Result() { return m_outcome; }

    // Data on stdout: a line of text, or one JSON object per line, each with its "format". A unit
    // of several says which it is: its lines start with its serial number, its objects carry
    // "serial" and "path".
    void Data(const QString& line);
    void Data(const QJsonObject& object);
    // A message on stderr, unless --quiet.
    void Say(const QString& message);
    // An error on stderr, named by the command, also under --quiet; after the unit's prefix where
    // one is given.
    void Warn(const QString& why, const QString& prefix = {});
    // Failures go to tell instead of stderr: a monitoring plugin says them in its status line.
    void TellFailuresTo(std::function<void(const QString&)> tell) { m_tell = std::move(tell); }
    // While run works on several units, what this session warns of from any thread (the update
    // history's trouble) goes through the run's output, above the units' bars; none ends that.
    void WarnThrough(UnitRun* run) { m_warnThrough = run; }
    // The command failed: says why on stderr and gives the exit code.
    int Fail(Exit code, const QString& why);
    // On a terminal asks on stderr and waits for the answer (No unless it starts with y, and No
    // on Ctrl-C or any stop); elsewhere No. Of several units, each question is asked once, and its
    // answer holds for every unit that asks it.
    bool Ask(const QString& question);
    // A question that a running job does not wait for (Ctrl-C's "Stop it?" during a write):
    // PoseAside asks it on a line of its own, Answer gives the answer once one was typed within
    // wait, EndQuestion takes it back when the job ends first. Of several units, the question is
    // asked once for all that pose it, and each is given its answer.
    void PoseAside(const QString& question);
    std::optional<bool> Answer(std::chrono::milliseconds wait);
    void EndQuestion();
    // The progress bar on the terminal: the text of its line, and its end. Of several units, each
    // has a line of its own, all redrawn together.
    void Bar(const QString& text);
    void EndBar();
    // The stop asked for by a signal, if any; Resume takes back a Ctrl-C (a No to "Stop it?").
    // Each unit of several sees every stop at its next step.
    Stop Stopping();
    void Resume();
    // Sleeps until the steady clock reaches until, in short steps; false once a stop is asked.
    bool WaitUntil(std::chrono::microseconds until);

    // The back end, the extenders on this PC or the demo's: taken once for the whole run.
    IHidBackend& Backend();
    // Opens the unit (the unit of several, --device, --serial, or the first found) and runs the
    // connect check, as the main window does at start-up: kDone, or why not. With --wait it tries
    // until the time runs out.
    int Open();
    // How one try at reaching the unit went: kDone, or the exit code and why, and whether the unit
    // asked for is present at all (one present is tried again soon; one absent at the next plug).
    struct Attempt {
        int code = kDone;
        QString why = {};
        bool present = false;
    };
    // Runs attempt once, or with --wait again at each extender plugged in and every 250 ms while
    // the unit is present but not ready, until it succeeds, the time runs out or a stop is asked.
    // kDone, or the code of the last failure, said.
    int Retrying(const std::function<Attempt()>& attempt);
    // "no extender with serial number B2", "no extender at PATH", or that none is found at all
    // and what to do about it.
    QString Missing() const { return m_units.Missing(m_command); }
    // Why the units named are not all present, or nothing (see UnitSelection::NotAllThere).
    QString NotAllThere(const std::vector<CHidIO::Unit>& named) const
    {
        return m_units.NotAllThere(named, m_command);
    }
    // What tells of extenders plugged in and pulled out; taken before the first enumeration.
    IUnitWatcher& Watcher(QString& failure);
    CHidCmd& Channel() { return *m_channel; }
    IRegisterReader& Reader() { return *m_reader; }
    // "the extender did not answer" or "... refused it (status 0x55)": how the last command failed.
    QString HowLastFailed() const;

private:
    // "SIM0001: " before what a unit of several says; nothing for one unit.
    QString Prefix() const;
    void Pose(const QString& question);
    Attempt OpenAt(const std::string& path);

    // The context of a unit of several: its own copy, with the unit's own time.
    std::optional<Context> m_unitContext;
    Context& m_context;
    const QCommandLineParser& m_options;
    const QString m_command;
    const bool m_json;
    const bool m_quiet;
    const UnitSelection m_units;
    IHidBackend* m_backend = nullptr;
    std::unique_ptr<CHidCmd> m_channel;
    std::unique_ptr<ChannelReader> m_reader;
    IUnitWatcher* m_watcher = nullptr;
    std::string m_watchFailure;
    // A unit of several: the run, the unit's place in it, the unit, and the Ctrl-Cs it has taken.
    UnitRun* m_run = nullptr;
    size_t m_index = 0;
    std::optional<CHidIO::Unit> m_unit;
    int m_interruptsTaken = 0;
    int m_question = 0; // the stop question it was posed, 0 for none
    Outcome m_outcome;
    std::function<void(const QString&)> m_tell;
    UnitRun* m_warnThrough = nullptr;
};

// The commands; each gives its exit code.
int List(Session& session);
int Info(Session& session);
int Status(Session& session);
int Flash(Session& session);
int Apply(Session& session);
int BurnIn(Session& session);
int FailSafe(Session& session);
int History(Session& session);
int Metrics(Session& session); // status --format prometheus
int Check(Session& session);
int Report(Session& session);
// Restarts the chip and says so, with --json as the object given; Apply's and flash --apply's.
int Restart(Session& session, frames::Chip chip, const QJsonObject& json);

// "local" or "remote", as --to gives it.
std::optional<frames::Chip> ChipOption(const QString& value);
// " 01 02 03": a command as the messages name it.
QString CommandText(std::span<const uint8_t> payload);

} // namespace cli
