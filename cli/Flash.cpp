// flash: the Firmware page's update from the command line: the same loader and guard, the same
// stream at the same pace, and a progress bar on a terminal.
#include <QFile>
#include <QJsonObject>
#include <cmath>

#include "cli/Session.h"
#include "firmware/FirmwareCommands.h"
#include "firmware/FirmwareUpdate.h"
#include "firmware/ImageFile.h"
#include "firmware/ImageGuard.h"

namespace cli {
namespace {

using State = firmware::Update::State;
using namespace std::chrono_literals;

// What went wrong and the state it left the chip in.
QString Failure(const firmware::Update& update, const QString& how, const QString& chip)
{
    const State end = update.Now();
    QString what;
    if (end == State::EraseRefused)
        what =
            firmware::EndText(end)
            + (": the erase command (" + CommandText(frames::EraseFirmware(update.Chip())) + ")");
    else if (end == State::BeginRefused)
        what = firmware::EndText(end)
               + (": the write command (" + CommandText(frames::BeginWrite(update.Chip())) + ")");
    else if (end == State::BlockRefused || end == State::LastRefused)
        what = QString("block %1 of %2")
                   .arg(std::min(update.Count() + 1, update.Blocks()))
                   .arg(update.Blocks());
    const QString state = end == State::EraseRefused ? "may now hold no working firmware"
                                                     : "now holds an incomplete image";
    return (what.isEmpty() ? "stopped" : what + " failed: " + how) + ". The " + chip + " chip "
           + state + ": program it again before restarting it.";
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
        session.Ctx().err << QString("\r[%1%2] %3%  %4/%5 blocks  %6 blocks/s  %7 s left ")
                                 .arg(QString(percent / 5, '#'), QString(20 - percent / 5, '.'))
                                 .arg(percent, 3)
                                 .arg(update.Count())
                                 .arg(update.Blocks())
                                 .arg(int(rate))
                                 .arg(left)
                          << Qt::flush;
    }
    shown = percent;
}

} // namespace

int Flash(Session& session)
{
    const QCommandLineParser& options = session.Options();
    const std::optional<frames::Chip> chip = ChipOption(options.value("to"));
    const QStringList files = options.positionalArguments().mid(1);
    if (!chip || files.size() != 1)
        return session.Fail(kUsage, "--to local or --to remote and one FILE are needed");
    const QString chipName = options.value("to");

    firmware::LoadedImage loaded =
        firmware::ReadImageFile(QFile::encodeName(files[0]).toStdString());
    if (loaded.result != firmware::LoadResult::Loaded)
        return session.Fail(
            kFile,
            files[0] + ": " + QString::fromStdString(firmware::LoadFailureText(loaded))
                + (loaded.result == firmware::LoadResult::CannotOpen
                       ? " (" + QString::fromStdString(firmware::CannotOpenCause(loaded)) + ")"
                       : QString()));
    if (loaded.image.empty())
        return session.Fail(kFile, files[0] + ": " + firmware::kEmptyImageRefusal);
    const auto image = std::make_shared<const firmware::Image>(std::move(loaded.image));
    const std::optional<firmware::DeviceInfoBlock> info = firmware::FindImageInfo(*image);
    const auto text = [&](std::string (firmware::DeviceInfoBlock::*part)() const) {
        return info ? QJsonValue(QString::fromStdString(((*info).*part)())) : QJsonValue();
    };
    if (session.Json())
        session.Data(QJsonObject{{"event", "image"},
                                 {"file", files[0]},
                                 {"bytes", qint64(image->size())},
                                 {"chip", text(&firmware::DeviceInfoBlock::ChipTypeName)},
                                 {"role", text(&firmware::DeviceInfoBlock::RoleText)},
                                 {"revision", text(&firmware::DeviceInfoBlock::RevisionText)}});
    else
        session.Data(QString("Image: %1 byte. IC Type: %2  FW Revision: %3")
                         .arg(image->size())
                         .arg(QString::fromStdString(firmware::ImageTypeText(info)))
                         .arg(QString::fromStdString(firmware::ImageRevisionText(info))));

    if (const int opened = session.Open())
        return opened;
    const auto target = firmware::ReadIdentification(session.Reader(), *chip);
    if (const auto mismatch = firmware::ImageMismatch(info, target);
        mismatch && !options.isSet("yes")) {
        if (!session.Ask(QString::fromStdString(mismatch->Question())))
            return session.Fail(
                kRefused, "not programmed: " + QString::fromStdString(mismatch->Warning())
                              + (session.Ctx().terminal ? "" : " (--yes programs it anyway)"));
    }

    // A stop asked for until now leaves the chip as it was: nothing has been sent to it yet.
    if (session.Stopping() != Stop::None)
        return session.Fail(kRefused, "stopped before the erase: nothing was sent to the "
                                          + chipName + " chip, it was not changed.");
    firmware::Update update(image, *chip);
    Context& context = session.Ctx();
    const auto stopped = [&] {
        if (context.terminal)
            context.err << Qt::endl;
        return session.Fail(kRefused, Failure(update, {}, chipName));
    };
    const auto start = context.now();
    int shown = -1;
    bool asking = false;
    if (update.Start(session.Channel()) == State::Running)
        Progress(session, update, {}, shown);
    for (auto due = context.now(); update.Now() == State::Running;) {
        // SIGTERM, SIGHUP and Ctrl-C off a terminal stop at this block boundary. Ctrl-C on a
        // terminal asks once, as the window does, and the blocks go on while the question waits.
        while (!session.WaitUntil(due)) {
            if (session.Stopping() == Stop::Terminate || !context.terminal)
                return stopped();
            session.Resume();
            if (!std::exchange(asking, true)) {
                context.err << Qt::endl;
                session.Pose(firmware::kStopQuestion);
            }
        }
        if (asking) {
            if (const std::optional<bool> yes = session.Answer(0ms)) {
                if (*yes)
                    return stopped();
                asking = false;
            }
        }
        const auto sent = context.now();
        update.Step(session.Channel());
        due = firmware::NextBlockDue(due, sent, std::chrono::microseconds(firmware::kBlockPeriod));
        if (!asking || session.Json()) // the bar would draw over the question
            Progress(session, update, context.now() - start, shown);
    }
    if (context.terminal && !session.Json() && !options.isSet("quiet"))
        context.err << Qt::endl;
    if (update.Now() != State::Completed)
        return session.Fail(kDevice, Failure(update, session.HowLastFailed(), chipName));
    if (session.Json())
        session.Data(QJsonObject{{"event", "completed"}, {"blocks", qint64(update.Blocks())}});
    else
        session.Data(firmware::EndText(State::Completed));
    return options.isSet("apply") ? Restart(session, *chip, QJsonObject{{"event", "restarted"}})
                                  : kDone;
}

} // namespace cli
