#pragma once
#include <QCommandLineParser>
#include <QJsonObject>
#include <memory>
#include <optional>

#include "cli/Cli.h"
#include "device/CommandFrames.h"
#include "device/HidCmd.h"
#include "device/StatusRegister.h"

class IUnitWatcher;

// One run of a command: its options, its output, the questions it asks and the unit it talks to.
namespace cli {

// The longest --wait: a day.
inline constexpr unsigned kLongestWait = 24 * 60 * 60;

class Session {
public:
    Session(Context& context, const QCommandLineParser& options, QString command);

    const QCommandLineParser& Options() const { return m_options; }
    Context& Ctx() { return m_context; }
    bool Json() const { return m_json; }

    // Data on stdout: a line of text, or one JSON object per line.
    void Data(const QString& line);
    void Data(const QJsonObject& object);
    // A message on stderr, unless --quiet.
    void Say(const QString& message);
    // An error on stderr, named by the command, also under --quiet.
    void Warn(const QString& why);
    // Failures go to tell instead of stderr: a monitoring plugin says them in its status line.
    void TellFailuresTo(std::function<void(const QString&)> tell) { m_tell = std::move(tell); }
    // The command failed: says why on stderr and gives the exit code.
    int Fail(Exit code, const QString& why);
    // On a terminal asks on stderr and waits for the answer (No unless it starts with y, and No
    // on Ctrl-C or any stop); elsewhere No.
    bool Ask(const QString& question);
    // A question that a running job does not wait for: Pose asks it, Answer gives the answer
    // once one was typed within wait.
    void Pose(const QString& question);
    std::optional<bool> Answer(std::chrono::milliseconds wait);
    // The stop asked for by a signal, if any; Resume takes back a Ctrl-C (a No to "Stop it?").
    Stop Stopping() const { return m_context.stop; }
    void Resume();
    // Sleeps until the steady clock reaches until, in short steps; false once a stop is asked.
    bool WaitUntil(std::chrono::microseconds until);

    // Opens the unit (--device, --serial, or the first found) and runs the connect check, as the
    // main window does at start-up: kDone, or why not. With --wait it tries until the time runs
    // out.
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
    // The extenders present that --serial or --device names, or all of them when neither is given.
    std::vector<CHidIO::Unit> Named(IHidBackend& backend) const;
    bool Names(const CHidIO::Unit& unit) const;
    // "no extender with serial number B2", "no extender at PATH", or that none is found at all
    // and what to do about it.
    QString Missing() const;
    // "2 extenders have serial number B2 (PATH, PATH): use --device to name one".
    QString SerialShared(const std::vector<CHidIO::Unit>& named) const;
    // What tells of extenders plugged in and pulled out; taken before the first enumeration.
    IUnitWatcher& Watcher(QString& failure);
    CHidCmd& Channel() { return *m_channel; }
    IRegisterReader& Reader() { return *m_reader; }
    // "the extender did not answer" or "... refused it (status 0x55)": how the last command failed.
    QString HowLastFailed() const;

private:
    Context& m_context;
    const QCommandLineParser& m_options;
    const QString m_command;
    const bool m_json;
    const bool m_quiet;
    std::unique_ptr<CHidCmd> m_channel;
    std::unique_ptr<ChannelReader> m_reader;
    IUnitWatcher* m_watcher = nullptr;
    std::string m_watchFailure;
    std::function<void(const QString&)> m_tell;
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
