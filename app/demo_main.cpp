// torvanreader-demo: the whole tool on the simulated extender, whose link status keeps changing,
// so that every window can be tried without hardware.
//
// A second, steady extender stands beside it, as in the command line's demo, so that the choice
// of unit can be tried.
//
//   torvanreader-demo                     the windows on screen
//   torvanreader-demo --replug SECONDS    the same, the second unit pulled out and plugged in
//                                         again every SECONDS, so that the windows follow it
//   torvanreader-demo --screenshot DIR    PNGs of the main window and of every tool-window page,
//                                         drawn offscreen after a few Status polls, then exit
//   torvanreader-demo --in-documents      with any of the above: works in the user's
//                                         Documents/TorvanReader, as the Start menu starts it
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "app/DesktopSession.h"
#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "app/WorkFolder.h"
#include "device/RecordingBackend.h"
#include "device/sim/DemoScenario.h"
#include "device/sim/SimExtender.h"
#include "device/sim/SimUnits.h"
#include "history/Keeper.h"
#include "status/Rj45Picture.h"
#include "status/StatusPage.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

using std::chrono::milliseconds;

// The moment of the demo cycle at which the screenshots start polling: pair B is about to turn
// red, the bit error rate is marginal.
constexpr milliseconds kScreenshotStart{16000};
constexpr milliseconds kScreenshotPolling{10000};

bool Save(QWidget& window, const QDir& dir, const QString& name)
{
    QApplication::processEvents();
    const QString path = dir.filePath(name + ".png");
    if (window.grab().save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Runs the Status page on the scenario's clock, not the wall clock: each poll tick and port check
// happens at its own scenario time, so a few seconds of the cycle take no real time.
void PollStatus(SimExtender& extender, Tool1Main& status)
{
    const Tool1Main::Periods periods; // the page's own
    status.OnBnClickedTest();
    milliseconds nextTick = kScreenshotStart + periods.tick;
    milliseconds nextCheck = kScreenshotStart + periods.portCheck;
    const milliseconds end = kScreenshotStart + kScreenshotPolling;
    while (nextTick <= end || nextCheck <= end) {
        if (nextTick <= nextCheck) {
            demo::Apply(extender, nextTick);
            status.OnTimer();
            nextTick += periods.tick;
        } else {
            status.RunPortCheck();
            nextCheck += periods.portCheck;
        }
    }
    // Catch the blink with the marking drawn.
    auto* picture = ui::FindControl<Rj45Picture>(&status, StatusControl::Rj45);
    if (picture && picture->Marking() == status::PortFlags{})
        status.RunPortCheck();
}

int TakeScreenshots(SimExtender& extender, IHidBackend& backend, SimPlugs& plugs,
                    const QString& dirName)
{
    QDir dir;
    if (!dir.mkpath(dirName)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dirName));
        return 1;
    }
    dir.setPath(dirName);
    demo::Apply(extender, kScreenshotStart);

    CTorvanReaderDlg mainDlg(backend, &plugs);
    mainDlg.show();
    bool saved = Save(mainDlg, dir, "main-window");

    PerformanceTool tool(&mainDlg);
    tool.FitTo(tool.maximumSize()); // the whole window, as on a screen with room for it
    tool.show();
    if (auto* status = dynamic_cast<Tool1Main*>(tool.Page(PerformanceTool::StatusTab)))
        PollStatus(extender, *status);
    auto* tabs = ui::FindControl<QTabWidget>(&tool, ToolWindowControl::Tabs);
    const QStringList names{"tool-firmware", "tool-status", "tool-burn-in-test",
                            "tool-fail-safe-setting"};
    for (int tab = 0; tab < PerformanceTool::TabCount; ++tab) {
        tabs->setCurrentIndex(tab);
        saved = Save(tool, dir, names[tab]) && saved;
    }
    tool.done(0);
    return saved ? 0 : 1;
}

// What the demo was asked for: the windows, pictures of them, or a unit plugged in and out.
struct DemoArguments {
    QString screenshotDir;
    int replugSeconds = 0;
};

// The longest --replug: a day.
constexpr int kLongestReplug = 24 * 60 * 60;

// The demo's own options; Qt's (-platform, -style, ...) are left to QApplication. A bad value is
// said, with the usage, rather than ignored.
std::optional<DemoArguments> ParseArguments(int argc, char* argv[])
{
    DemoArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const QString option = argv[i];
        if (option != "--screenshot" && option != "--replug")
            continue;
        const QString value = i + 1 < argc ? QString::fromLocal8Bit(argv[++i]) : QString();
        bool whole = false;
        const int seconds = value.toInt(&whole);
        if (option == "--screenshot" && !value.isEmpty())
            arguments.screenshotDir = QFileInfo(value).absoluteFilePath(); // --in-documents moves
        else if (option == "--replug" && whole && seconds >= 1 && seconds <= kLongestReplug)
            arguments.replugSeconds = seconds;
        else {
            const QString takes = option == "--replug"
                                      ? QString("whole seconds from 1 to %1").arg(kLongestReplug)
                                      : QString("a folder");
            std::fputs(qPrintable(QString("torvanreader-demo: %1 takes %2, not '%3'\n"
                                          "Usage: torvanreader-demo [--in-documents] "
                                          "[--replug SECONDS | --screenshot DIR]\n")
                                      .arg(option, takes, value)),
                       stderr);
            return std::nullopt;
        }
    }
    return arguments;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::optional<DemoArguments> arguments = ParseArguments(argc, argv);
    if (!arguments)
        return 2;
    const QString& screenshotDir = arguments->screenshotDir;
    if (!screenshotDir.isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");

    std::optional<DesktopSession> desktop(std::in_place, "torvanreader-demo");
    QApplication app(argc, argv);
    desktop.reset();
    ui::UseDialogFont(app);
    WorkWhereAsked(app.arguments());

    SimPlugs plugs;
    demo::SteadyExtender steady;
    steady.ReportPlugsTo(&plugs);
    if (!screenshotDir.isEmpty()) {
        // The pictures show the scenario's unit, whichever unit the user chose last, and change
        // nothing the user keeps.
        const QTemporaryDir settings;
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
        const history::Keeper history(settings.filePath("history.sqlite"), {});
        SimExtender extender;
        SimUnits units({&extender, &steady});
        RecordingBackend wire(units);
        return TakeScreenshots(extender, wire, plugs, screenshotDir);
    }
    const history::Keeper history(history::UserFile(true), ui::TellLater);
    demo::Extender extender;
    extender.ReportPlugsTo(&plugs);
    SimUnits units({&extender, &steady});
    RecordingBackend wire(units);
    CTorvanReaderDlg mainDlg(wire, &plugs);
    QTimer replug;
    QObject::connect(&replug, &QTimer::timeout, [&] {
        const bool present = !CHidIO::Extenders(steady).empty();
        present ? steady.Unplug() : steady.Replug();
    });
    if (arguments->replugSeconds > 0)
        replug.start(arguments->replugSeconds * 1000);
    mainDlg.exec();
    return 0;
}
