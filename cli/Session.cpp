#include "cli/Session.h"

#include <QJsonDocument>
#include <cstring>

#include "cli/UnitRun.h"
#include "device/UnitWatcher.h"

namespace cli {

Session::Session(Context& context, const QCommandLineParser& options, QString command)
    : m_context(context), m_options(options), m_command(std::move(command)),
      m_json(options.isSet("json")), m_quiet(options.isSet("quiet")), m_units(options)
{
}

Session::Session(Session& parent, UnitRun& run, size_t index, const CHidIO::Unit& unit)
    : m_unitContext(parent.m_context), m_context(*m_unitContext), m_options(parent.m_options),
      m_command(parent.m_command), m_json(parent.m_json), m_quiet(parent.m_quiet),
      m_units(parent.m_options), m_backend(&parent.Backend()), m_run(&run), m_index(index),
      m_unit(unit)
{
    if (m_context.unitTimeline) {
        Timeline own = m_context.unitTimeline();
        m_context.now = std::move(own.now);
        m_context.sleep = std::move(own.sleep);
        m_context.clock = std::move(own.clock);
    }
    if (m_context.holdSessionEnd)
        m_context.holdSessionEnd = [&run](const QString& reason) { run.HoldSessionEnd(reason); };
}

Session::~Session() = default;

QString Session::Prefix() const
{
    return m_unit ? QString::fromStdString(m_unit->Identity()) + ": " : QString();
}

void Session::Data(const QString& line)
{
    if (m_run)
        return m_run->Print(m_context.out, Prefix() + line + "\n");
    m_context.out << line << Qt::endl;
}

void Session::Data(const QJsonObject& object)
{
    QJsonObject own = object;
    own["format"] = kJsonFormat;
    if (!m_run) {
        m_context.out << QJsonDocument(own).toJson(QJsonDocument::Compact) << Qt::endl;
        return;
    }
    own["serial"] = QString::fromStdString(m_unit->attributes.serial);
    own["path"] = QString::fromStdString(m_unit->path);
    m_run->Print(m_context.out, QJsonDocument(own).toJson(QJsonDocument::Compact) + "\n");
}

void Session::Say(const QString& message)
{
    if (m_quiet)
        return;
    if (m_run)
        return m_run->Print(m_context.err, Prefix() + message + "\n");
    m_context.err << message << Qt::endl;
}

void Session::Warn(const QString& why, const QString& prefix)
{
    if (m_tell)
        return m_tell(why);
    const QString line =
        (m_run ? Prefix() : prefix) + "torvanreader-cli: " + m_command + ": " + why;
    if (UnitRun* run = m_run ? m_run : m_warnThrough)
        return run->Print(m_context.err, line + "\n");
    m_context.err << line << Qt::endl;
}

int Session::Fail(Exit code, const QString& why)
{
    m_outcome.error = why;
    Warn(why);
    return code;
}

bool Session::Ask(const QString& question)
{
    if (!m_context.terminal)
        return false;
    if (m_run)
        return m_run->Ask(*this, question);
    Pose(question);
    for (;;) {
        if (Stopping() != Stop::None) { // Ctrl-C answers the question with its default
            m_context.err << Qt::endl;
            return false;
        }
        if (const std::optional<bool> yes = Answer(std::chrono::milliseconds(100)))
            return *yes;
    }
}

void Session::Pose(const QString& question)
{
    m_context.err << question << " [y/N] " << Qt::flush;
}

void Session::PoseAside(const QString& question)
{
    if (m_run) {
        m_question = m_run->PoseStop(question, m_interruptsTaken);
        return;
    }
    m_context.err << Qt::endl;
    Pose(question);
}

std::optional<bool> Session::Answer(std::chrono::milliseconds wait)
{
    if (m_run) {
        const std::optional<bool> yes = m_question ? m_run->StopAnswer(m_question) : std::nullopt;
        if (yes)
            m_question = 0;
        return yes;
    }
    const std::optional<QString> line = m_context.readLine(wait);
    return line ? std::optional(line->trimmed().toLower().startsWith('y')) : std::nullopt;
}

void Session::EndQuestion()
{
    if (!m_run) {
        m_context.err << Qt::endl;
        return;
    }
    if (m_question)
        m_run->LeaveStop(std::exchange(m_question, 0));
}

void Session::Bar(const QString& text)
{
    if (m_run)
        return m_run->Bar(m_index, Prefix() + text);
    m_context.err << "\r" << text << Qt::flush;
}

void Session::EndBar()
{
    if (!m_run)
        m_context.err << Qt::endl;
}

Stop Session::Stopping()
{
    return m_run ? m_run->Stopping(m_interruptsTaken) : m_context.stop.load();
}

void Session::Resume()
{
    if (m_run)
        return m_run->Resume(m_interruptsTaken);
    Stop interrupt = Stop::Interrupt; // a SIGTERM meanwhile stays
    m_context.stop.compare_exchange_strong(interrupt, Stop::None);
}

bool Session::WaitUntil(std::chrono::microseconds until)
{
    while (Stopping() == Stop::None) {
        const auto left = until - m_context.now();
        if (left.count() <= 0)
            return true;
        m_context.sleep(std::min<std::chrono::microseconds>(left, std::chrono::milliseconds(100)));
    }
    return false;
}

IHidBackend& Session::Backend()
{
    if (!m_backend)
        m_backend = &m_context.backend(m_options.isSet("demo"));
    return *m_backend;
}

int Session::Open()
{
    IHidBackend& backend = Backend();
    m_channel = std::make_unique<CHidCmd>(backend);
    // The erase's and the restart's pause on the command's own clock, as every other wait.
    m_channel->SetPauseFunction(
        [this](uint32_t ms) { m_context.sleep(std::chrono::milliseconds(ms)); });
    m_reader = std::make_unique<ChannelReader>(*m_channel);
    if (m_unit) { // a unit of several: found already, and not waited for
        const Attempt tried = OpenAt(m_unit->path);
        return tried.code == kDone ? kDone : Fail(Exit(tried.code), tried.why);
    }
    if (m_options.isSet("wait")) {
        QString ignored; // without a descriptor the wait tries every 250 ms instead
        Watcher(ignored);
    }
    return Retrying([&]() -> Attempt {
        std::string path = m_options.value("device").toStdString();
        if (m_options.isSet("serial")) {
            const std::vector<CHidIO::Unit> named = m_units.Named(backend);
            if (named.empty())
                return {kDevice, Missing()};
            if (named.size() > 1)
                return {kUsage, m_units.SerialShared(named)};
            path = named.front().path;
        }
        const Attempt tried = OpenAt(path);
        return tried.code == kDevice && !tried.present && path.empty() ? Attempt{kDevice, Missing()}
                                                                       : tried;
    });
}

Session::Attempt Session::OpenAt(const std::string& path)
{
    const CHidIO::Opening opening = m_channel->Transport().Open(path);
    if (!opening) {
        const std::string advice = opening.Advice();
        return {kDevice,
                QString::fromStdString(opening.Why() + (advice.empty() ? "" : "; ") + advice),
                opening.result != CHidIO::Opening::Result::NotFound};
    }
    if (!AnswersConnectCheck(*m_channel))
        return {kDevice,
                "the connect check (" + CommandText(frames::ConnectCheck())
                    + ") failed: " + HowLastFailed(),
                true};
    return {};
}

int Session::Retrying(const std::function<Attempt()>& attempt)
{
    using namespace std::chrono_literals;
    const unsigned seconds = m_options.value("wait").toUInt();
    const auto deadline = m_context.now() + std::chrono::seconds(seconds);
    for (;;) {
        const Attempt tried = attempt();
        // A usage error stays one however long the wait.
        if (tried.code == kDone || tried.code == kUsage || !m_options.isSet("wait"))
            return tried.code == kDone ? kDone : Fail(Exit(tried.code), tried.why);
        // A unit present but not ready (its node's access not yet given, still starting) is
        // tried again shortly; an absent one when a unit is plugged in, told by the watcher.
        const WaitHandle plugged = m_watcher->Handle();
        const auto until = tried.present || plugged == kNoWaitHandle
                               ? std::min(deadline, m_context.now() + 250ms)
                               : deadline;
        for (bool changed = false; !changed;) {
            if (Stopping() != Stop::None)
                return Fail(kRefused, "stopped while waiting: " + tried.why);
            const auto left = until - m_context.now();
            if (left.count() <= 0 && m_context.now() >= deadline)
                return Fail(kDevice, tried.why + QString(" (waited %1 s)").arg(seconds));
            if (left.count() <= 0)
                break;
            changed = m_context.await(
                plugged, std::min(std::chrono::ceil<std::chrono::milliseconds>(left), 100ms));
        }
        if (plugged != kNoWaitHandle)
            m_watcher->TakeChanges(); // which unit came is found out by trying
    }
}

IUnitWatcher& Session::Watcher(QString& failure)
{
    if (!m_watcher)
        m_watcher = &m_context.watcher(m_options.isSet("demo"), m_watchFailure);
    failure = QString::fromStdString(m_watchFailure);
    return *m_watcher;
}

QString Session::HowLastFailed() const
{
    return QString::fromStdString(m_channel->HowLastFailed());
}

std::optional<frames::Chip> ChipOption(const QString& value)
{
    if (value == "local")
        return frames::Chip::Local;
    if (value == "remote")
        return frames::Chip::Remote;
    return std::nullopt;
}

QString CommandText(std::span<const uint8_t> payload)
{
    return QByteArray(reinterpret_cast<const char*>(payload.data()), qsizetype(payload.size()))
        .toHex(' ')
        .toUpper();
}

} // namespace cli
