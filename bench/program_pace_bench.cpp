// Programming pace of the "Firmware" page on the simulated extender answering each command after
// 1 ms: blocks per second against the bound of one block per (5 ms tick + round trip), and how
// free the UI thread stays between two blocks (a 1 ms probe timer on the same thread). Then the
// page and torvanreader-cli's flash with one block answered 300 ms late: no two blocks may go
// closer than 4.95 ms (a block is never sooner than 5 ms after the one before; the recorder's
// time stamps may differ by a few microseconds), and torvanreader-cli's pace at 1 ms. Exits 1
// when a pace is not kept.
//   bench_program_pace [blocks, default 1000]
#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>

#include "InProcessCli.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "device/RecordingBackend.h"
#include "device/sim/SimExtender.h"
#include "firmware/FirmwarePage.h"
#include "history/Keeper.h"
#include "ui/MessageBox.h"

namespace {

using Record = RecordingBackend::Record;

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::vector<std::chrono::steady_clock::time_point> BlocksSent(const RecordingBackend& wire)
{
    std::vector<std::chrono::steady_clock::time_point> sent;
    for (const Record& record : wire.Records()) {
        if (record.direction == RecordingBackend::Direction::Out && record.Payload().size() == 33)
            sent.push_back(record.time);
    }
    return sent;
}

// The closest two blocks may be.
constexpr double kClosestMs = 4.95;

// Blocks per second over the run and the closest two blocks; false when a block is missing or
// two went closer than kClosestMs.
bool ShowPace(const char* what, const RecordingBackend& wire, int blocks)
{
    const auto sent = BlocksSent(wire);
    if (sent.size() != static_cast<size_t>(blocks)) {
        std::printf("%s: FAILED, %zu blocks sent of %d\n", what, sent.size(), blocks);
        return false;
    }
    double closest = 1e9;
    double longest = 0;
    for (size_t i = 1; i < sent.size(); ++i) {
        closest = std::min(closest, Ms(sent[i] - sent[i - 1]));
        longest = std::max(longest, Ms(sent[i] - sent[i - 1]));
    }
    std::printf("%s: %.1f blocks/s; closest two blocks %.2f ms apart, longest gap %.0f ms %s\n",
                what, (sent.size() - 1) * 1000.0 / Ms(sent.back() - sent.front()), closest, longest,
                closest >= kClosestMs ? "OK" : "TOO CLOSE");
    return closest >= kClosestMs;
}

// torvanreader-cli flash --yes of the file into the local chip, in real time.
int RunCliFlash(IHidBackend& wire, const QString& path)
{
    QString said;
    return RunInProcess(wire, {"flash", "--to", "local", "--yes", path}, said);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int blocks = argc > 1 ? std::max(2, atoi(argv[1])) : 1000;

    SimExtender extender;
    RecordingBackend wire(extender);
    CTorvanReaderDlg mainDlg(wire);
    mainDlg.Channel().SetPauseFunction([](uint32_t) {}); // the erase pause is not part of the pace
    PerformanceTool tool(&mainDlg);
    auto* page = static_cast<DlgProgrammer*>(tool.Page(PerformanceTool::FirmwareTab));
    QStringList boxes;
    ui::SetBoxPresenter([&](const ui::Box& box) {
        boxes << box.text;
        return true; // the image names no chip: program it anyway
    });

    QTemporaryDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path()); // not the user's
    const history::Keeper history(dir.filePath("history.sqlite"), {}); // recorded as the tool does
    const QString path = dir.filePath("pace.bin");
    std::string image(static_cast<size_t>(blocks) * 32, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 13);
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    page->SetFileChooser([&](QWidget*, const QString&) { return path; });
    page->OnBrowse();

    extender.SetFaults({.latencyMs = 1});
    wire.Clear();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    int probeFires = 0;
    qint64 longestGapUs = 0;
    QElapsedTimer sinceProbe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (probeFires++ > 0)
            longestGapUs = std::max(longestGapUs, sinceProbe.nsecsElapsed() / 1000);
        sinceProbe.start();
    });
    probe.start(1);
    page->OnProgram();
    while (page->IsBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    probe.stop();

    const std::vector<Record> records = wire.Records();
    std::vector<std::chrono::steady_clock::time_point> sent;
    double roundTripSum = 0;
    for (size_t i = 0; i + 1 < records.size(); ++i) {
        if (records[i].direction != RecordingBackend::Direction::Out
            || records[i].Payload().size() != 33)
            continue;
        sent.push_back(records[i].time);
        roundTripSum += Ms(records[i + 1].time - records[i].time);
    }
    const std::vector<uint8_t> flash = extender.Flash(SimDeviceModel::Local);
    const bool flashOk = std::equal(image.begin(), image.end(), flash.begin(),
                                    [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
    if (sent.size() != static_cast<size_t>(blocks) || !flashOk
        || boxes.last() != "Firmware update Completed!") { // after the guard's question
        std::printf("FAILED: %zu blocks sent, flash %s, boxes: %s\n", sent.size(),
                    flashOk ? "equal" : "differs", qPrintable(boxes.join(" | ")));
        return 1;
    }

    const double runMs = Ms(sent.back() - sent.front());
    const double pace = (sent.size() - 1) * 1000.0 / runMs;
    const double roundTripMs = roundTripSum / sent.size();
    const double bound = 1000.0 / (5.0 + roundTripMs);
    std::printf("%d blocks in %.0f ms: %.1f blocks/s; mean round trip %.2f ms; bound 1/(5 ms + "
                "round trip) = "
                "%.1f blocks/s; pace %.0f %% of the bound (target >= 90 %%) %s\n",
                blocks, runMs, pace, roundTripMs, bound, 100.0 * pace / bound,
                pace >= 0.9 * bound ? "OK" : "MISSED");
    std::printf("UI thread inside transactions %.0f %% of the run; 1 ms probe timer fired %d "
                "times, longest gap "
                "%.2f ms\n",
                100.0 * roundTripSum / runMs, probeFires, longestGapUs / 1000.0);

    bool ok = ShowPace("Firmware page, answers after 1 ms", wire, blocks);

    // One block answered 300 ms late, in the window and in the command line.
    const SimFaults late{.latencyMs = 300, .onlyPrefix = {0xAA}, .onlyNth = blocks / 2};
    wire.Clear();
    extender.SetFaults(late);
    page->OnProgram();
    while (page->IsBusy())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ok = ShowPace("Firmware page, one answer 300 ms late", wire, blocks) && ok;
    mainDlg.Channel().Transport().Close(); // one program per unit: the window lets go of it
    for (const SimFaults& faults : {SimFaults{.latencyMs = 1}, late}) {
        wire.Clear();
        extender.SetFaults(faults);
        const int code = RunCliFlash(wire, path);
        ok = ShowPace(faults.onlyNth ? "torvanreader-cli, one answer 300 ms late"
                                     : "torvanreader-cli, answers after 1 ms",
                      wire, blocks)
             && code == 0 && ok;
    }
    ui::SetBoxPresenter({});
    return ok ? 0 : 1;
}
