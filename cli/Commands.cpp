// The commands that read the extender or set it in one step: info, status, apply, fail-safe.
#include <QJsonArray>

#include "cli/Session.h"
#include "cli/UnitRun.h"
#include "device/StatusRegister.h"
#include "failsafe/FailSafeSetting.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/IncompleteMarks.h"
#include "status/PollSchedule.h"
#include "status/PortCheck.h"
#include "status/StateText.h"
#include "status/StatusReading.h"

namespace cli {
namespace {

// What the page shows, where it was read, else null.
QJsonValue IfRead(bool read, const QJsonValue& value)
{
    return read ? value : QJsonValue();
}

// The values of a reading: numbers as numbers, lamps by their identifiers, words as the page shows
// them, null for what was not read.
QJsonObject StatusJson(const status::Reading& r)
{
    const status::Display shown = status::DisplayOf(r);
    QJsonObject lamps;
    const auto states = status::SignalLampStates(r);
    for (int lamp = 0; lamp < status::kSignalLampCount; ++lamp)
        lamps[status::kSignalLampIds[lamp]] =
            IfRead(states[lamp].has_value(), status::LampWord(shown.lamps[lamp]));
    QJsonArray pairs;
    QJsonArray faulty;
    for (int pair = 0; pair < status::kPairCount; ++pair) {
        const QString name = status::PairName(pair);
        const float level = r.pairLevels ? (*r.pairLevels)[pair] : 0.0f;
        pairs.append(
            QJsonObject{{"pair", name},
                        {"level", IfRead(r.pairLevels.has_value(), double(level))},
                        {"band", IfRead(r.pairLevels.has_value(), status::PairBandWord(level))}});
        if (r.linkUp && r.portFaults[pair])
            faulty.append(name);
    }
    using Bound = status::CableLength::Bound;
    const status::CableLength cable = r.cableLength.value_or(status::CableLength{});
    const auto side = [](std::optional<uint8_t> mode, const QString& modeShown,
                         std::optional<status::Source> source, const QString& sourceShown) {
        return QJsonObject{{"mode", IfRead(mode.has_value(), modeShown)},
                           {"source", IfRead(source.has_value(), sourceShown)}};
    };
    return {{"local", side(r.localMode, shown.localMode, r.localSource, shown.localSource)},
            {"remote", side(r.remoteMode, shown.remoteMode, r.remoteSource, shown.remoteSource)},
            {"lamps", lamps},
            {"pairs", pairs},
            {"faulty_pairs", faulty},
            {"advice", QJsonArray::fromStringList(status::AdviceLines(r.linkUp, r.portFaults))},
            {"cable_m", IfRead(r.cableLength.has_value(), cable.metres)},
            {"cable_bound",
             IfRead(cable.bound != Bound::None, cable.bound == Bound::Under ? "under" : "over")},
            {"video_ber",
             QJsonObject{{"lamp", IfRead(r.berLevel.has_value(), status::LampWord(shown.ber))},
                         {"level", IfRead(r.berLevel.has_value(), r.berLevel.value_or(0))}}},
            {"link", r.linkUp ? "up" : "down"}};
}

// The reads a command makes, each failed one kept by the command sent and how it failed.
class CheckedReads : public IRegisterReader {
public:
    explicit CheckedReads(Session& session) : m_session(session) {}

    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override
    {
        const bool read = m_session.Reader().ReadRegister(target, reg, out);
        if (!read)
            failed << "the read (" + CommandText(frames::RegisterRead(target, reg))
                          + ") failed: " + m_session.HowLastFailed();
        return read;
    }

    QStringList failed;

private:
    Session& m_session;
};

// A reading, after its time when one is given (--watch).
void ShowStatus(Session& session, const status::Reading& r, const std::optional<ClockReading>& time)
{
    if (session.Json()) {
        QJsonObject object = StatusJson(r);
        if (time)
            object["time"] = IsoTimeStamp(*time);
        return session.Data(object);
    }
    if (time)
        session.Data(FormatTimeStamp(*time));
    for (const QString& line : status::ReadingLines(r))
        session.Data(line);
}

// info on one unit.
int InfoOf(Session& session)
{
    if (const int opened = session.Open())
        return opened;
    QJsonObject chips;
    QStringList revisions;
    QStringList silent;
    QJsonArray incomplete;
    const firmware::IncompleteMarks marks(session.Channel());
    for (frames::Chip chip : {frames::Chip::Local, frames::Chip::Remote}) {
        const auto block = firmware::ReadIdentification(session.Reader(), chip);
        const QString key = chip == frames::Chip::Local ? "local" : "remote";
        // A chip left half-written is shown so even when it does not tell what it is.
        const bool marked = marks.State(chip) == firmware::MarkState::Incomplete;
        if (marked)
            incomplete.append(key);
        if (!block)
            silent << key + " chip's identification read failed: " + session.HowLastFailed();
        chips[key] = block
                         ? QJsonObject{{"chip", QString::fromStdString(block->ChipTypeName())},
                                       {"revision", QString::fromStdString(block->RevisionText())},
                                       {"role", QString::fromStdString(block->RoleText())}}
                         : QJsonValue();
        if ((block || marked) && !session.Json())
            session.Data(firmware::IdentificationLine(chip, block, marked));
        if (block)
            revisions << QString::fromStdString(block->ChipTypeName() + " "
                                                + block->RevisionText());
    }
    chips["incomplete_image"] = incomplete;
    if (marks.State(frames::Chip::Local) == firmware::MarkState::Unknown)
        session.Warn("whether an update left a chip with an incomplete image is not known: the "
                     "marks in "
                     + marks.Failure() + " cannot be read");
    if (session.Json())
        session.Data(chips);
    session.Result().result = revisions.join(", ");
    return silent.isEmpty() ? kDone : session.Fail(kDevice, "the " + silent.join("; the "));
}

// status on one unit, once or with --watch until a stop.
int StatusOf(Session& session)
{
    if (const int opened = session.Open())
        return opened;
    Context& context = session.Ctx();
    status::Poll poll;
    CheckedReads reads(session);
    QStringList told; // each failure once, however often it comes back
    std::optional<status::Reading> shown;
    const bool watch = session.Options().isSet("watch");
    for (;;) {
        const auto ticked = context.now(); // the next tick a second after this one, never sooner
        poll.Tick(reads);                  // the first tick reads everything
        for (const QString& why : std::exchange(reads.failed, {})) {
            if (!told.contains(why))
                session.Warn((told << why).last());
        }
        if (poll.Now() != shown) {
            ShowStatus(session, poll.Now(), watch ? std::optional(context.clock()) : std::nullopt);
            shown = poll.Now();
        }
        if (!watch || !session.WaitUntil(ticked + status::kPollTick)) {
            if (!told.isEmpty()) {
                session.Result().error = told.last();
                return kDevice;
            }
            session.Result().result = poll.Now().linkUp ? "link up" : "link down";
            return kDone;
        }
    }
}

// apply on one unit.
int ApplyTo(Session& session, frames::Chip chip)
{
    const QString to = session.Options().value("to");
    session.Result().chip = to;
    if (const int opened = session.Open())
        return opened;
    const firmware::IncompleteMarks marks(session.Channel());
    if (const auto question = firmware::RestartQuestion(marks, chip);
        question && !session.Options().isSet("yes") && !session.Ask(*question))
        return session.Fail(
            kRefused, "not restarted: "
                          + (marks.State(chip) == firmware::MarkState::Unknown
                                 ? "whether the last firmware update of the " + to
                                       + " chip completed is not known: the marks in "
                                       + marks.Failure() + " cannot be read"
                                 : "the last firmware update of the " + to
                                       + " chip did not complete: it holds an incomplete image")
                          + (session.Ctx().terminal ? "" : " (--yes restarts it anyway)"));
    return Restart(session, chip, QJsonObject{{"restarted", to}});
}

// fail-safe on one unit: the setting written, or the off setting twice.
int Switch(Session& session, bool on, uint8_t setting)
{
    if (const int opened = session.Open())
        return opened;
    if (on ? !failsafe::SwitchOn(session.Channel(), setting)
           : !failsafe::SwitchOff(session.Channel()))
        return session.Fail(kDevice, failsafe::kFailedText
                                         + (": the fail-safe setting ("
                                            + CommandText(frames::FailSafeSetting(setting))
                                            + ") failed: " + session.HowLastFailed()));
    if (session.Json())
        session.Data(QJsonObject{{"fail_safe", on ? "on" : "off"}, {"setting", setting}});
    else
        session.Data(on ? failsafe::kEnabledText : failsafe::kDisabledText);
    session.Result().result = on ? "on" : "off";
    return kDone;
}

} // namespace

int Info(Session& session)
{
    return OnUnits(session, InfoOf);
}

int Status(Session& session)
{
    if (session.Options().isSet("format"))
        return Metrics(session);
    if (session.Options().isSet("output"))
        return session.Fail(kUsage, "--output goes with --format prometheus");
    return OnUnits(session, StatusOf);
}

int Apply(Session& session)
{
    const std::optional<frames::Chip> chip = ChipOption(session.Options().value("to"));
    if (!chip)
        return session.Fail(kUsage, "--to local or --to remote is needed");
    return OnUnits(session, [chip](Session& unit) { return ApplyTo(unit, *chip); });
}

int Restart(Session& session, frames::Chip chip, const QJsonObject& json)
{
    if (!firmware::ResetChip(session.Channel(), chip))
        return session.Fail(kDevice, QString(firmware::kResetFailed) + ": the restart command ("
                                         + CommandText(frames::RestartChip(chip))
                                         + ") failed: " + session.HowLastFailed());
    if (session.Json())
        session.Data(json);
    else
        session.Data(firmware::ResetDoneText(chip));
    session.Result().result = "restarted";
    return kDone;
}

int FailSafe(Session& session)
{
    const QStringList words = session.Options().positionalArguments().mid(1);
    const bool on = words == QStringList{"on"};
    if (!on && words != QStringList{"off"})
        return session.Fail(kUsage, "on or off is needed");
    // The page's lists, and its defaults for what is not given.
    int choices[3]{failsafe::kDefaultWireQuality, failsafe::kDefaultVideoBitError,
                   failsafe::kDefaultTimeInterval};
    const std::pair<const char*, std::vector<const char*>> lists[3]{
        {"wire-quality", {failsafe::kWireQualities.begin(), failsafe::kWireQualities.end()}},
        {"video-ber", {failsafe::kVideoBitErrors.begin(), failsafe::kVideoBitErrors.end()}},
        {"interval", {failsafe::kTimeIntervals.begin(), failsafe::kTimeIntervals.end()}}};
    for (int i = 0; i < 3; ++i) {
        const auto& [option, values] = lists[i];
        if (!session.Options().isSet(option))
            continue;
        if (!on)
            return session.Fail(kUsage, QString("--%1 goes with on").arg(option));
        const auto value = std::find(values.begin(), values.end(), session.Options().value(option));
        if (value == values.end())
            return session.Fail(
                kUsage, QString("--%1 takes %2")
                            .arg(option, QStringList(values.begin(), values.end()).join(", ")));
        choices[i] = int(value - values.begin());
    }
    const uint8_t setting = on ? failsafe::SettingByte(true, choices[0], choices[1], choices[2])
                               : failsafe::kOffSetting;
    return OnUnits(session, [=](Session& unit) { return Switch(unit, on, setting); });
}

} // namespace cli
