// flash: the Firmware page's update from the command line: the same loader and guard, the same
// stream at the same pace, and a progress bar on a terminal. A stop ends it only between two steps
// and says where, so that the chip's state is always known.
#include <QFileInfo>
#include <QJsonObject>
#include <QScopeGuard>
#include <cmath>

#include "cli/Session.h"
#include "cli/UnitRun.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/ImageFile.h"
#include "firmware/ImageGuard.h"

namespace cli {
namespace {

using State = firmware::Update::State;
using namespace std::chrono_literals;

// The state an ended update left the chip in, and what to do.
QString Left(State state, const QString& chip)
{
    const bool erased = state == State::EraseRefused || state == State::Erased;
    return ". The " + chip + " chip "
           + (erased ? "may now hold no working firmware" : "now holds an incomplete image")
           + ": program it again before restarting it.";
}

// What refused the update, and how.
QString Failure(const firmware::Update& update, const QString& how, const QString& chip)
{
    const State end = update.Now();
    const QString what =
        end == State::EraseRefused
            ? firmware::EndText(end)
                  + (": the erase command (" + CommandText(frames::EraseFirmware(update.Chip()))
                     + ")")
        : end == State::BeginRefused
            ? firmware::EndText(end)
                  + (": the write command (" + CommandText(frames::BeginWrite(update.Chip())) + ")")
            : QString("block %1 of %2")
                  .arg(std::min(update.Count() + 1, update.Blocks()))
                  .arg(update.Blocks());
    return what + " failed: " + how + Left(end, chip);
}

// Where a stop ended the update, and the state it left the chip in.
QString Stopped(const firmware::Update& update, const QString& chip, bool apply)
{
    switch (update.Now()) {
    case State::Ready:
        return "stopped before the erase: nothing was sent to the " + chip
               + " chip, it was not changed.";
    case State::Erased: return "stopped after the erase" + Left(State::Erased, chip);
    case State::Completed:
        return "stopped after the last block: the " + chip + " chip holds the complete image"
               + (apply ? ", it was not restarted." : ".");
    default:
        return QString("stopped after block %1 of %2").arg(update.Count()).arg(update.Blocks())
               + Left(State::Running, chip);
    }
}

void Progress(Session& session, const firmware::Update& update, std::chrono::microseconds elapsed,
              int& shown)
{
    const int percent = int(update.Count() * 100 / std::max<size_t>(update.Blocks(), 1));
    if (session.Json()) {
        if (percent != shown)
            session.Data(QJsonObject{{"event", "progress"},
                                     {"blocks", qint64(update.Count())},
                                     {"of", qint64(update.Blocks())}});
    } else if (session.Ctx().terminal && !session.Options().isSet("quiet")) {
        const double rate = elapsed.count() ? update.Count() * 1e6 / double(elapsed.count()) : 0;
        const long left = rate > 0 ? std::lround((update.Blocks() - update.Count()) / rate) : 0;
        session.Bar(QString("[%1%2] %3%  %4/%5 blocks  %6 blocks/s  %7 s left ")
                        .arg(QString(percent / 5, '#'), QString(20 - percent / 5, '.'))
                        .arg(percent, 3)
                        .arg(update.Count())
                        .arg(update.Blocks())
                        .arg(int(rate))
                        .arg(left));
    }
    shown = percent;
}

// The image in path, or why it cannot be used, said.
int Load(Session& session, const QString& path, std::shared_ptr<const firmware::Image>& image)
{
    firmware::LoadedImage loaded = firmware::ReadImageFile(QFileInfo(path).filesystemFilePath());
    if (loaded.result != firmware::LoadResult::Loaded)
        return session.Fail(
            kFile,
            path + ": " + QString::fromStdString(firmware::LoadFailureText(loaded))
                + (loaded.result == firmware::LoadResult::CannotOpen
                       ? " (" + QString::fromStdString(firmware::CannotOpenCause(loaded)) + ")"
                       : QString()));
    if (loaded.image.empty())
        return session.Fail(kFile, path + ": " + firmware::kEmptyImageRefusal);
    image = std::make_shared<const firmware::Image>(std::move(loaded.image));
    return kDone;
}

// Its size and identification, as the page shows them, and its SHA-256.
void ShowImage(Session& session, const QString& path, const firmware::Image& image,
               const std::optional<firmware::DeviceInfoBlock>& info)
{
    const QString sha256 = firmware::Sha256Text(image);
    const auto text = [&](std::string (firmware::DeviceInfoBlock::*part)() const) {
        return info ? QJsonValue(QString::fromStdString(((*info).*part)())) : QJsonValue();
    };
    if (session.Json())
        session.Data(QJsonObject{{"event", "image"},
                                 {"file", path},
                                 {"bytes", qint64(image.size())},
                                 {"chip", text(&firmware::DeviceInfoBlock::ChipTypeName)},
                                 {"role", text(&firmware::DeviceInfoBlock::RoleText)},
                                 {"revision", text(&firmware::DeviceInfoBlock::RevisionText)},
                                 {"sha256", sha256}});
    else
        session.Data(QString("Image: %1 byte. IC Type: %2  FW Revision: %3  SHA-256: %4")
                         .arg(image.size())
                         .arg(QString::fromStdString(firmware::ImageTypeText(info)))
                         .arg(QString::fromStdString(firmware::ImageRevisionText(info)))
                         .arg(sha256));
}

// The page's guard: an image that may not fit the chip, as it says it is, is asked about on a
// terminal and refused elsewhere, unless --yes.
int Guard(Session& session, const std::optional<firmware::DeviceInfoBlock>& chip,
          const std::optional<firmware::DeviceInfoBlock>& info)
{
    const auto mismatch = firmware::ImageMismatch(info, chip);
    if (!mismatch || session.Options().isSet("yes")
        || session.Ask(QString::fromStdString(mismatch->Question())))
        return kDone;
    return session.Fail(kRefused,
                        "not programmed: " + QString::fromStdString(mismatch->Warning())
                            + (session.Ctx().terminal ? "" : " (--yes programs it anyway)"));
}

// The chip's mark before the erase: where it cannot be stored, asked on a terminal and refused
// elsewhere, unless --yes.
int MarkFirst(Session& session, firmware::Update& update)
{
    if (update.Mark(session.Channel()))
        return kDone;
    const QString unmarked = "the mark that the chip holds an incomplete image until the update "
                             "completes cannot be stored in "
                             + update.MarkFailure();
    if (session.Options().isSet("yes")) {
        session.Warn(unmarked + "; programmed without it (--yes)");
        return kDone;
    }
    if (session.Ask(firmware::UnmarkedQuestion(update.MarkFailure())))
        return kDone;
    return session.Fail(kRefused,
                        "not programmed: " + unmarked
                            + (session.Ctx().terminal ? "" : " (--yes programs it anyway)"));
}

// Waits until the next step is due: false when a stop ends the update here. Before the erase any
// stop does; after it SIGTERM, SIGHUP and Ctrl-C off a terminal do, while Ctrl-C on a terminal asks
// once, as the window does, and the steps go on while the question waits.
bool GoOn(Session& session, const firmware::Update& update, std::chrono::microseconds due,
          bool& asking)
{
    while (!session.WaitUntil(due) || session.Stopping() != Stop::None) {
        if (update.Now() == State::Ready || session.Stopping() == Stop::Terminate
            || !session.Ctx().terminal)
            return false;
        session.Resume();
        if (!std::exchange(asking, true))
            session.PoseAside(firmware::kStopQuestion);
    }
    const std::optional<bool> yes = asking ? session.Answer(0ms) : std::nullopt;
    asking = asking && !yes;
    return !yes.value_or(false);
}

// Erases, opens the write and sends the blocks at the page's pace with a progress bar, each step
// only while no stop ends it: kDone once the last block was acknowledged and no stop came.
int Stream(Session& session, firmware::Update& update, const QString& chip)
{
    Context& context = session.Ctx();
    const auto hold = [&](const QString& reason) {
        if (context.holdSessionEnd)
            context.holdSessionEnd(reason);
    };
    hold(firmware::kSessionEndHold);
    const auto letGo = qScopeGuard([&] { hold({}); });
    const bool bar = context.terminal && !session.Json() && !session.Options().isSet("quiet");
    const auto start = context.now();
    int shown = -1;
    bool asking = false;
    for (auto due = start; !update.Ended();) {
        if (!GoOn(session, update, due, asking))
            break;
        const bool block = update.Now() == State::Running;
        const auto sent = context.now();
        update.Step(session.Channel());
        if (block)
            due = firmware::NextBlockDue(due, sent,
                                         std::chrono::microseconds(firmware::kBlockPeriod));
        // Not over the question; of several units, each bar has a line of its own above it.
        if ((block || update.Now() == State::Running)
            && (!asking || session.Json() || session.Unit()))
            Progress(session, update, context.now() - start, shown);
    }
    if (asking) // the question goes away with the update
        session.EndQuestion();
    else if (bar && shown >= 0)
        session.EndBar();
    // A stop that came with the last block still keeps --apply from restarting the chip; only
    // the Ctrl-C question goes away.
    const Stop stop = session.Stopping();
    if (!update.Ended()
        || (update.Now() == State::Completed
            && (stop == Stop::Terminate || (stop == Stop::Interrupt && !asking))))
        return session.Fail(kRefused, Stopped(update, chip, session.Options().isSet("apply")));
    // A step whose answer a stop cut short (Windows' session ending) ended with the stop too.
    if (update.Now() != State::Completed)
        return session.Fail(stop == Stop::Terminate ? kRefused : kDevice,
                            Failure(update, session.HowLastFailed(), chip));
    return kDone;
}

// The update of one unit's chip, the image shown already.
int FlashUnit(Session& session, const QString& file,
              const std::shared_ptr<const firmware::Image>& image, frames::Chip chip,
              const std::optional<firmware::DeviceInfoBlock>& info)
{
    const QCommandLineParser& options = session.Options();
    Outcome& outcome = session.Result();
    outcome.chip = options.value("to");
    outcome.counted = "blocks";
    if (const int opened = session.Open())
        return opened;
    const auto before = firmware::ReadIdentification(session.Reader(), chip);
    if (const int refused = Guard(session, before, info))
        return refused;
    firmware::Update update(image, chip, {file, before});
    if (const int refused = MarkFirst(session, update))
        return refused;
    const int ended = Stream(session, update, options.value("to"));
    outcome.count = qint64(update.Count());
    if (ended)
        return ended;
    if (session.Json())
        session.Data(QJsonObject{{"event", "completed"}, {"blocks", qint64(update.Blocks())}});
    else
        session.Data(firmware::EndText(State::Completed));
    outcome.result = "completed";
    if (!options.isSet("apply"))
        return kDone;
    const int restarted = Restart(session, chip, QJsonObject{{"event", "restarted"}});
    outcome.result = restarted ? QString() : "completed and restarted";
    return restarted;
}

} // namespace

int Flash(Session& session)
{
    const QCommandLineParser& options = session.Options();
    const std::optional<frames::Chip> chip = ChipOption(options.value("to"));
    const QStringList files = options.positionalArguments().mid(1);
    if (!chip || files.size() != 1)
        return session.Fail(kUsage, "--to local or --to remote and one FILE are needed");
    std::shared_ptr<const firmware::Image> image;
    if (const int loaded = Load(session, files[0], image))
        return loaded;
    const std::optional<firmware::DeviceInfoBlock> info = firmware::FindImageInfo(*image);
    ShowImage(session, files[0], *image, info);
    return OnUnits(session,
                   [&](Session& unit) { return FlashUnit(unit, files[0], image, *chip, info); });
}

} // namespace cli
