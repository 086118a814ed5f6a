#pragma once
#include <QtTest>
#include <QtWidgets>
#include <deque>

#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "burnin/BurnInPage.h"
#include "burnin/ClockReading.h"
#include "cli/Cli.h"
#include "device/BoundedWriteBackend.h"
#include "device/RecordingBackend.h"
#include "device/sim/SimExtender.h"
#include "device/sim/SimUnits.h"
#include "failsafe/FailSafePage.h"
#include "firmware/FirmwarePage.h"
#include "history/Keeper.h"
#include "history/Store.h"
#include "status/StatusDecoding.h"
#include "status/StatusPage.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

#include "ProgramRun.h"

// The one rig: the main window and the tool window with its pages over the simulated extender,
// the wire recorded, boxes and questions caught, flash pauses recorded instead of slept, and every
// response time-out and the write wait divided by kTimeoutDivisor. What the extender reports at
// opening is set before Open.
using namespace std::chrono_literals; // periods and time-outs read as such in every suite
using Payloads = std::vector<std::vector<uint8_t>>;
inline constexpr uint32_t kTimeoutDivisor = 10;

// A system's error in a failed comparison, in the system's words.
namespace QTest {
template <>
inline char* toString(const std::error_code& error)
{
    return qstrdup(error.message().c_str());
}
} // namespace QTest

inline std::span<const uint8_t> AsBytes(const QByteArray& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())};
}

inline QByteArray Bytes(std::span<const uint8_t> bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

// size bytes that differ from block to block.
inline QByteArray Pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + i / 251);
    return bytes;
}

inline std::vector<uint8_t> Hex(const QByteArray& hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return {bytes.begin(), bytes.end()};
}

// The answer's status byte and data in hex, or "none".
inline QByteArray ChannelAnswer(CHidCmd& channel, const QByteArray& command,
                                uint32_t timeoutMs = 1000)
{
    std::array<uint8_t, 30> response{};
    const std::optional<size_t> stored = channel.Execute(Hex(command), response, timeoutMs, 0);
    if (!stored)
        return "none";
    return Bytes({response.data(), *stored}).toHex();
}

// Commands as written on the wire, "010405 010809": payloads in hex.
inline Payloads Wire(const QString& commands)
{
    Payloads payloads;
    for (const QString& command : commands.split(' ', Qt::SkipEmptyParts))
        payloads.push_back(Hex(command.toLatin1()));
    return payloads;
}

// A table's cases as rows of one column "row", each named for what it shows; the test body
// reads its case with QFETCH(Row, row), or takes a tuple's apart with Fetch<Row>().
template <typename Row>
void AddRows(std::initializer_list<std::pair<const char*, Row>> rows)
{
    QTest::addColumn<Row>("row");
    for (const auto& [name, row] : rows)
        QTest::newRow(name) << row;
}

template <typename Row>
const Row& Fetch()
{
    return *static_cast<const Row*>(QTest::qData("row", qMetaTypeId<Row>()));
}

// The fake time of the thread that runs a command line's unit (RunCli), which the wire's records
// carry: each unit of a run on several keeps its own, so the pace of each is seen on its own wire.
inline thread_local const std::chrono::milliseconds* tFakeNow = nullptr;

inline std::chrono::steady_clock::time_point TestClock()
{
    return tFakeNow ? std::chrono::steady_clock::time_point(*tFakeNow)
                    : std::chrono::steady_clock::now();
}

// A new folder named in several scripts, as users name their folders and Windows their profiles:
// the settings and the files every suite makes (images, logs, reports) live under one.
inline QString AnyScriptFolder()
{
    return QDir::tempPath() + "/Ωμέγα Прошивка 固件-XXXXXX";
}

// "0109=0a0b0c0d 0108=": group and register, then the data the extender answers with; no data
// makes the extender refuse the read.
inline void SetRegisters(SimDeviceModel& model, const QString& registers)
{
    for (const QString& entry : registers.split(' ', Qt::SkipEmptyParts)) {
        const std::vector<uint8_t> key = Hex(entry.left(4).toLatin1()),
                                   data = Hex(entry.mid(5).toLatin1());
        if (data.empty())
            model.RemoveRegister(key[0], key[1]);
        else
            model.SetRegister(key[0], key[1], data);
    }
}

// HDBT on both sides, a clean cable of 31 m, all lines up, an HDCP source.
inline constexpr const char* kHealthyRegisters =
    "0104=07 0108=07 010b=05 0111=0c 010e=0a 0114=0a 0201=04 0202=02 0204=02 0109=0a0b0c0d "
    "010c=0000001e 0112=00000021";

struct Rig {
    // The unit in use, and a second one to plug in beside it; the main window follows both.
    SimExtender extender, second;
    SimPlugs plugs;
    SimUnits units{{&extender, &second}};
    RecordingBackend wire{units};
    // The windows' writes bounded as the programs have them; a test that stalls one waits for it.
    BoundedWriteBackend bounded{std::shared_ptr<IHidBackend>(&wire, [](IHidBackend*) {})};
    // What the main window opens.
    IHidBackend* windowsBackend = &bounded;
    QStringList boxes;        // every message and question, in order
    std::deque<bool> answers; // to the questions in order; No when none is left
    std::vector<uint32_t> pauses;
    std::unique_ptr<CTorvanReaderDlg> main;
    std::unique_ptr<PerformanceTool> tool;
    QTemporaryDir settings{AnyScriptFolder()}; // the user's settings, the chips' marks, per rig
    // The update history, kept there too; what the windows say of it comes as a box.
    history::Keeper history{settings.filePath("history.sqlite"), ui::TellLater};

    // The units' serial numbers ("" where a unit tells none).
    explicit Rig(std::string serial = "SIM0001", std::string secondSerial = "SIM0002")
        : extender(SimExtender::kPath, std::move(serial)),
          second("sim:second", std::move(secondSerial))
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        wire.SetClock(TestClock);
        second.Unplug();
        for (SimExtender* unit : {&extender, &second})
            unit->ReportPlugsTo(&plugs);
        ui::SetBoxPresenter([this](const ui::Box& box) {
            boxes << box.text;
            const bool yes = box.question && !answers.empty() && answers.front();
            if (box.question && !answers.empty())
                answers.pop_front();
            return yes;
        });
    }
    ~Rig()
    {
        tool.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); // boxes told later
        ui::SetBoxPresenter({});
    }
    CTorvanReaderDlg& OpenMain()
    {
        main = std::make_unique<CTorvanReaderDlg>(*windowsBackend, &plugs);
        main->Channel().SetPauseFunction([this](uint32_t ms) { pauses.push_back(ms); });
        main->Channel().SetTimeoutDivisor(kTimeoutDivisor);
        return *main;
    }
    PerformanceTool& Open() // "Start to Analyze"
    {
        if (!main)
            OpenMain();
        tool.reset(); // one tool window at a time, as "Start to Analyze" has it
        tool = std::make_unique<PerformanceTool>(main.get());
        return *tool;
    }
    template <typename Page>
    Page& page() const
    {
        return *tool->findChild<Page*>();
    }
    Payloads Commands() const { return wire.CommandPayloads(); }
    // The update history, newest first.
    std::vector<history::Row> History() const
    {
        return history::Read(settings.filePath("history.sqlite"), {}).rows;
    }
    // The chip's flash holds image at its start and is erased after it.
    bool Holds(SimDeviceModel::Chip chip, const QByteArray& image)
    {
        const std::vector<uint8_t> flash = extender.Flash(chip);
        return Bytes(flash) == image.leftJustified(qsizetype(flash.size()), '\xFF');
    }
    void Set(const QString& registers) // as SetRegisters has them
    {
        extender.WithModel([&](SimDeviceModel& m) { SetRegisters(m, registers); });
    }
    void Healthy() { Set(kHealthyRegisters); }
};

// What a person reads off the control numbered id: a field, a text box, a button or a label; or
// what the property named says, as what a screen reader tells or a list's choice.
inline QString Text(const QWidget* root, int id, const char* property = "text")
{
    const QWidget* control = ui::FindControl<QWidget>(root, id);
    const QVariant text = control->property(property);
    return text.isValid() ? text.toString() : control->property("plainText").toString();
}

inline QStringList Texts(const QWidget* root, std::initializer_list<int> ids,
                         const char* property = "text")
{
    QStringList texts;
    for (int id : ids)
        texts << Text(root, id, property);
    return texts;
}

inline void Click(const QWidget* root, int id)
{
    ui::FindControl<QAbstractButton>(root, id)->click();
}

inline bool Enabled(const QWidget* root, int id)
{
    return ui::FindControl<QWidget>(root, id)->isEnabled();
}

inline QAction* MenuAction(const QWidget& window, const QString& text)
{
    const auto actions = window.findChildren<QAction*>();
    const auto found = std::ranges::find(actions, text, &QAction::text);
    return found != actions.end() ? *found : nullptr;
}

// Runs check on the next modal window to open (a dialog shown with exec), then closes it.
inline void WhenModal(std::function<void(QWidget*)> check)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, check] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            check(modal);
            modal->close();
        }
    });
    poll->start(5);
}

// A clock that moves only when told, from 2014/3/7 13:5:0 an hour ahead of UTC, whatever the
// zone of the machine running the tests.
struct FakeClock {
    static constexpr int kUtcOffset = 3600;
    static qint64 At(QDate day, QTime time)
    {
        return QDateTime(day, time, Qt::OffsetFromUTC, kUtcOffset).toSecsSinceEpoch();
    }
    std::atomic<qint64> seconds{At(QDate(2014, 3, 7), QTime(13, 5))};
    BurnInClock Reader()
    {
        return [this] {
            return ClockReadingOf(
                QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, kUtcOffset));
        };
    }
};

// Tests that write BIT.txt, images or reports do it in a directory of their own.
struct InTempDir {
    QTemporaryDir dir{AnyScriptFolder()};
    QString previous = QDir::currentPath();
    InTempDir() { QDir::setCurrent(dir.path()); }
    ~InTempDir() { QDir::setCurrent(previous); }
};

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
               ? QFileInfo(file).absoluteFilePath()
               : QString();
}

// A program run to its end, killed after 30 s.
inline Ran
RunProgram(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           const QByteArray& input = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    return Finished(process, 30000);
}

// The units of a run on several keep in step on fake time: a unit's sleep returns once no other
// unit still running is behind it (at a tie, the one made first goes first), so that units go
// together as real ones do, and what comes at a time reaches each at the same point of its run.
class Lockstep {
public:
    // A unit joins at the time given and leaves when its job has ended.
    size_t Join(std::chrono::milliseconds now)
    {
        std::lock_guard lock(m_mutex);
        m_times.emplace_back(now);
        return m_times.size() - 1;
    }
    void Leave(size_t unit)
    {
        std::lock_guard lock(m_mutex);
        m_times[unit].reset();
        m_moved.notify_all();
    }
    void Reach(size_t unit, std::chrono::milliseconds now)
    {
        std::unique_lock lock(m_mutex);
        m_times[unit] = now;
        m_moved.notify_all();
        m_moved.wait(lock, [&] {
            for (size_t other = 0; other < m_times.size(); ++other) {
                if (m_times[other]
                    && (*m_times[other] < now || (*m_times[other] == now && other < unit)))
                    return false;
            }
            return true;
        });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_moved;
    std::vector<std::optional<std::chrono::milliseconds>> m_times; // none once ended
};

struct CliResult {
    int code;
    QString out, err;
    std::chrono::milliseconds took;
    QStringList holds; // of the end of the user's session: each reason, empty when let go of
};

// One run of torvanreader-cli on fake time that the clock follows, stopped by Ctrl-C after a
// minute. moment sees each look at the time (and the start) and may move time on or signal; a
// question takes a key a look: '.' nothing yet, 'y' yes, Enter when none is left. plugs tells of
// units plugged and pulled (none when not given). Run on several units, each unit's thread has
// a timeline of its own from where the run was when it started, and moment sees that one's time
// (one thread at a time).
using CliMoment = std::function<void(std::chrono::milliseconds& now, std::atomic<cli::Stop>&)>;
inline CliResult RunCli(
    IHidBackend& backend, const QString& arguments, FakeClock* clock = nullptr,
    bool terminal = false, CliMoment moment = [](auto&, auto&) {}, QString keys = {},
    IUnitWatcher* plugs = nullptr)
{
    using std::chrono::milliseconds;
    CliResult result;
    QTextStream out(&result.out), err(&result.err);
    std::atomic<cli::Stop> stop{cli::Stop::None};
    FakeClock own;
    FakeClock& time = clock ? *clock : own;
    const qint64 start = time.seconds;
    std::recursive_mutex looking; // moment and the timelines, one thread at a time
    milliseconds latest{0};       // the furthest any timeline went
    Lockstep steps;
    const auto look = [&](milliseconds& now) {
        std::lock_guard lock(looking);
        moment(now, stop);
        return now;
    };
    const auto sleepOn = [&](milliseconds& now, FakeClock& clockOf,
                             std::chrono::microseconds slept) {
        std::lock_guard lock(looking);
        now += std::chrono::ceil<milliseconds>(slept); // fake time counts whole ms
        latest = std::max(latest, now);
        clockOf.seconds = start + now.count() / 1000;
        stop = now >= 1min && stop == cli::Stop::None ? cli::Stop::Interrupt : stop.load();
    };
    milliseconds now{0};
    const auto sleep = [&](std::chrono::microseconds slept) { sleepOn(now, time, slept); };
    const auto readLine = [&](milliseconds wait) -> std::optional<QString> {
        const QString key = keys.isEmpty() ? "\n" : keys.left(1);
        keys.remove(0, 1);
        return key == "." ? sleep(wait), std::nullopt : std::optional(key);
    };
    SimPlugs none;
    cli::Context context{
        .backend = [&](bool) -> IHidBackend& { return backend; },
        .watcher = [&](bool, std::string&) -> IUnitWatcher& { return plugs ? *plugs : none; },
        .out = out,
        .err = err,
        .terminal = terminal,
        .readLine = readLine,
        .stop = stop,
        .clock = time.Reader(),
        .now = [&] { return look(now); },
        .sleep = sleep,
        .await =
            [&](WaitHandle handle, milliseconds wait) {
                if (!AwaitReady(handle, 0ms)) // not yet: what comes meanwhile is seen after
                    sleep(wait), look(now);
                return AwaitReady(handle, 0ms);
            },
        .unitTimeline =
            [&] {
                // Kept by the unit's session until its job has ended; the wire's records on the
                // unit's thread take its time.
                struct Line {
                    Lockstep& step;
                    size_t unit;
                    milliseconds now;
                    FakeClock clock;
                    ~Line() { step.Leave(unit); }
                };
                const auto line = std::make_shared<Line>(steps, steps.Join(now), now);
                line->clock.seconds = start + now.count() / 1000;
                return cli::Timeline{
                    .now = [&look, line] { return tFakeNow = &line->now, look(line->now); },
                    .sleep =
                        [&sleepOn, line](std::chrono::microseconds slept) {
                            tFakeNow = &line->now;
                            sleepOn(line->now, line->clock, slept);
                            line->step.Reach(line->unit, line->now);
                        },
                    .clock = [line] { return line->clock.Reader()(); }};
            },
        .history =
            [](bool) { // the rig's
                const auto kept = history::Keeper::Current();
                return kept ? kept->File() : QString();
            },
        .holdSessionEnd =
            [&](const QString& reason) {
                std::lock_guard lock(looking);
                result.holds << reason;
            }};
    const milliseconds* const outside = std::exchange(tFakeNow, &now);
    context.now();
    result.code = cli::Run(("torvanreader-cli " + arguments).split(' '), context);
    tFakeNow = outside;
    result.took = std::max(now, latest);
    return result;
}
