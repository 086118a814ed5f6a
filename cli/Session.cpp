#include "cli/Session.h"

#include <QJsonDocument>
#include <cstring>

#include "device/UnitWatcher.h"

namespace cli {
namespace {

// The first thing a new user without a unit meets: how to get one seen, or try without one.
QString NoneFoundNextStep(const QString& command)
{
    return "; plug the unit (TX) into this PC with its USB to mini-USB cable"
           + QString(command == "list" ? "" : ", see what is there with 'torvanreader-cli list'")
           + ", or try every command on a simulated extender with --demo";
}

} // namespace

Session::Session(Context& context, const QCommandLineParser& options, QString command)
    : m_context(context), m_options(options), m_command(std::move(command)),
      m_json(options.isSet("json")), m_quiet(options.isSet("quiet"))
{
}

void Session::Data(const QString& line)
{
    m_context.out << line << Qt::endl;
}

void Session::Data(const QJsonObject& object)
{
    m_context.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << Qt::endl;
}

void Session::Say(const QString& message)
{
    if (!m_quiet)
        m_context.err << message << Qt::endl;
}

void Session::Warn(const QString& why)
{
    if (m_tell)
        return m_tell(why);
    m_context.err << "torvanreader-cli: " << m_command << ": " << why << Qt::endl;
}

int Session::Fail(Exit code, const QString& why)
{
    Warn(why);
    return code;
}

bool Session::Ask(const QString& question)
{
    if (!m_context.terminal)
        return false;
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

std::optional<bool> Session::Answer(std::chrono::milliseconds wait)
{
    const std::optional<QString> line = m_context.readLine(wait);
    return line ? std::optional(line->trimmed().toLower().startsWith('y')) : std::nullopt;
}

void Session::Resume()
{
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

int Session::Open()
{
    IHidBackend& backend = m_context.backend(m_options.isSet("demo"));
    if (m_options.isSet("wait")) {
        QString ignored; // without a descriptor the wait tries every 250 ms instead
        Watcher(ignored);
    }
    m_channel = std::make_unique<CHidCmd>(backend);
    // The erase's and the restart's pause on the command's own clock, as every other wait.
    m_channel->SetPauseFunction(
        [this](uint32_t ms) { m_context.sleep(std::chrono::milliseconds(ms)); });
    m_reader = std::make_unique<ChannelReader>(*m_channel);
    return Retrying([&]() -> Attempt {
        std::string path = m_options.value("device").toStdString();
        if (m_options.isSet("serial")) {
            const std::vector<CHidIO::Unit> named = Named(backend);
            if (named.empty())
                return {kDevice, Missing()};
            if (named.size() > 1)
                return {kUsage, SerialShared(named)};
            path = named.front().path;
        }
        const CHidIO::Opening opening = m_channel->Transport().Open(path);
        if (opening.result == CHidIO::Opening::Result::NotFound && path.empty())
            return {kDevice, Missing()};
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
    });
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

std::vector<CHidIO::Unit> Session::Named(IHidBackend& backend) const
{
    std::vector<CHidIO::Unit> units = CHidIO::Extenders(backend);
    std::erase_if(units, [&](const CHidIO::Unit& unit) { return !Names(unit); });
    return units;
}

bool Session::Names(const CHidIO::Unit& unit) const
{
    if (m_options.isSet("serial"))
        return QString::fromStdString(unit.attributes.serial) == m_options.value("serial");
    return !m_options.isSet("device")
           || QString::fromStdString(unit.path) == m_options.value("device");
}

QString Session::Missing() const
{
    if (m_options.isSet("serial"))
        return "no extender with serial number " + m_options.value("serial");
    const std::string path = m_options.value("device").toStdString();
    return QString::fromStdString(CHidIO::Opening{.path = path}.Why())
           + (path.empty() ? NoneFoundNextStep(m_command) : QString());
}

QString Session::SerialShared(const std::vector<CHidIO::Unit>& named) const
{
    QStringList paths;
    for (const CHidIO::Unit& unit : named)
        paths << QString::fromStdString(unit.path);
    return QString("%1 extenders have serial number %2 (%3): use --device to name one")
        .arg(named.size())
        .arg(m_options.value("serial"), paths.join(", "));
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
