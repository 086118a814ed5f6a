#include "e2e/WineStage.h"

#include "e2e/GuestPrograms.h"
#include "e2e/ThreeUnits.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <functional>

#include "linux/UhidExtender.h"

namespace {

// Wine starts a Windows program in half a minute in the emulated guest on a busy machine, and its
// services with the first one in a few minutes; its HID bus hears of a plug from udevd and tells
// the programs through its Plug and Play service in a minute or two.
constexpr int kProgramMs = 300000, kPlugMs = 180000;

// Wine under the emulator now and then dies of a signal of its own (a Windows program's own
// crash ends it with the exception's code instead). Given `again`, which drops what the first
// run left on the units' wires, such a run under Wine is made once more, and said.
Ran Run(const QString& program, const QStringList& arguments,
        const std::function<void()>& again = {})
{
    Ran ran = RunInGuest(program, arguments, kProgramMs);
    if (ran.crashed && again && program.endsWith(".exe")) {
        qInfo("Wine died of a signal in %s; run once more", qPrintable(arguments.join(' ')));
        again();
        ran = RunInGuest(program, arguments, kProgramMs);
    }
    return ran;
}

// The frames as hex, for a comparison that shows where two wires part.
QStringList Frames(const std::vector<UhidExtender::Sent>& wire)
{
    QStringList frames;
    for (const auto& sent : wire)
        frames << sent.frame.toHex();
    return frames;
}

// In list's lines, the path, which each system spells its own way, and the manufacturer, which a
// virtual unit lacks (Wine's HID bus names its back end there).
const QRegularExpression kPathAndMaker("^[^\t]*\t([^\t]*)\t[^\t]*",
                                       QRegularExpression::MultilineOption);

// What the steps hand on to the next: the units, the main window and its connect check, and
// list --watch with what it has told.
struct Stage {
    UhidExtender first, second;
    QStringList connectCheck;
    QProcess window, watch;
    QString told;
};

// Wine's HID bus finds the units present as its services start, which the first program under
// Wine starts: on a busy machine that program may look before the bus has found the unit.
void FirstUnitSeen(Stage& stage)
{
    QVERIFY(stage.first.Plug("E2E0001"));
    // QTRY_ checks its condition again once it holds: the run is not made again once it was seen.
    bool seen = false;
    QTRY_VERIFY_WITH_TIMEOUT(
        seen || (seen = Run("cli/torvanreader-cli.exe", {"list"}).out.contains("E2E0001")),
        kPlugMs);
}

// Each command of the Linux and the Windows command line on the same unit: the same output, exit
// code and wire.
void SameAsLinux(Stage& stage)
{
    UhidExtender& unit = stage.first;
    const QString local = kSampleImage;
    const struct {
        QStringList arguments;
        int exit;
    } rows[]{
        {{"list"}, 0},
        {{"info"}, 0},
        // The virtual unit has no status registers: every read refused, the same nulls.
        {{"status", "--json"}, 1},
        {{"flash", "--to", "local", local}, 0},
        {{"apply", "--to", "local"}, 0},
        // The guard refuses the remote chip the local image: nothing erased on either.
        {{"flash", "--to", "remote", local}, 4},
        // Bad input, told on stderr in each system's spelling of the path: usage, and a file that
        // cannot be used; nothing sent.
        {{"flash", "--to", "middle", local}, 2},
        {{"flash", "--to", "local", "/missing.hex"}, 3},
    };
    for (const auto& row : rows) {
        QStringList onLinux = row.arguments, underWine = row.arguments;
        if (row.arguments.last().endsWith(".hex")) {
            onLinux.last().prepend(qEnvironmentVariable("TORVAN_SOURCE_DIR"));
            underWine.last() = "Z:" + onLinux.last();
        }
        unit.TakeWire();
        const Ran linuxRan = Run("linux", onLinux);
        const QStringList linuxWire = Frames(unit.TakeWire());
        const Ran wineRan = Run("cli/torvanreader-cli.exe", underWine, [&] { unit.TakeWire(); });
        const QString what =
            row.arguments.join(' ') + "\nLinux " + linuxRan.Said() + "\nWine " + wineRan.Said();
        QVERIFY2(linuxRan.exit == row.exit, qPrintable(what));
        QVERIFY2(wineRan.exit == row.exit, qPrintable(what));
        const auto shown = [&](QString out) {
            return row.arguments[0] == "list" ? out.replace(kPathAndMaker, "\\1") : out;
        };
        QVERIFY2(shown(linuxRan.out) == shown(wineRan.out), qPrintable(what));
        QCOMPARE(Frames(unit.TakeWire()), linuxWire);
        QVERIFY2(row.exit < 2 || row.exit > 3 || linuxWire.isEmpty(), qPrintable(what));
    }
}

// The main window checks the unit once as it starts, and holds it: a second program is told
// which program has it, and sends nothing.
void WindowHoldsTheUnit(Stage& stage)
{
    Run("linux", {"list"});
    stage.connectCheck = Frames(stage.first.TakeWire());
    QCOMPARE(stage.connectCheck.size(), 1);
    StartInGuest(stage.window, "torvanreader.exe", {});
    QStringList sent;
    QTRY_VERIFY_WITH_TIMEOUT(!(sent += Frames(stage.first.TakeWire())).isEmpty(), kProgramMs);
    QTest::qWait(3000);
    QCOMPARE(sent += Frames(stage.first.TakeWire()), stage.connectCheck);
    const Ran refused = Run("cli/torvanreader-cli.exe", {"info"}, [] {});
    const QRegularExpression inUse(" is in use by torvanreader(\\.exe)? \\(process \\d+\\)");
    QCOMPARE(refused.exit, 1);
    QVERIFY2(inUse.match(refused.err).hasMatch(), qPrintable(refused.err));
    QVERIFY(stage.first.TakeWire().empty());
}

// Plugs and unplugs are followed by list --watch, which sends nothing.
void PlugFollowed(Stage& stage)
{
    StartInGuest(stage.watch, "cli/torvanreader-cli.exe", {"list", "--watch"});
    QVERIFY(stage.watch.waitForReadyRead(kProgramMs));
    stage.told = QString::fromUtf8(stage.watch.readAllStandardOutput());
    QVERIFY(stage.second.Plug("E2E0002"));
    QTRY_VERIFY_WITH_TIMEOUT((stage.told += stage.watch.readAllStandardOutput()).contains("added"),
                             kPlugMs);
}

// The window takes the unit left when its own goes, and checks it (its sequence numbers go on).
void UnplugFollowed(Stage& stage)
{
    stage.first.Unplug();
    QStringList checked;
    QTRY_VERIFY_WITH_TIMEOUT(!(checked += Frames(stage.second.TakeWire())).isEmpty(), kProgramMs);
    QCOMPARE(checked.join(' ').mid(2), stage.connectCheck.join(' ').mid(2));
    QTRY_VERIFY_WITH_TIMEOUT(
        (stage.told += stage.watch.readAllStandardOutput()).contains("removed"), kPlugMs);
    stage.window.kill();
    const QRegularExpression followed(
        "^present\t\\S+\tE2E0001\nadded\t\\S+\tE2E0002\nremoved\t\\S+\tE2E0001\n$");
    QVERIFY2(followed.match(stage.told.remove('\r')).hasMatch(), qPrintable(stage.told));
}

// The last unit gone for Wine too, the programs end.
void LastUnplugFollowed(Stage& stage)
{
    stage.second.Unplug();
    QTRY_VERIFY_WITH_TIMEOUT(
        (stage.told += stage.watch.readAllStandardOutput()).count("removed") == 2, kPlugMs);
    stage.watch.kill();
    // Either may have been seen to end already, while the waits above ran the event loop.
    for (QProcess* ended : {&stage.watch, &stage.window})
        QVERIFY(ended->state() == QProcess::NotRunning || ended->waitForFinished());
}

// Three units at once: the Windows command line sends each what the Linux one does.
void ThreeUnitsAtOnce(Stage&)
{
    // An image's path as each program takes it: Wine's drive Z: is the root.
    const auto program = [](const QString& name, const QString& drive) -> CliRun {
        return [=](QStringList arguments, QString& out, const std::function<void()>& dropWires) {
            if (arguments.last().endsWith(".hex"))
                arguments.last().prepend(drive);
            const Ran ran = Run(name, arguments, dropWires);
            out = ran.out + ran.err;
            return ran.exit;
        };
    };
    const QString image = qEnvironmentVariable("TORVAN_SOURCE_DIR") + kSampleImage;
    FlashesThreeAtOnce(image, {program("linux", ""), program("cli/torvanreader-cli.exe", "Z:")});
}

} // namespace

void WindowsProgramsUnderWine()
{
    const struct {
        const char* name;
        void (*run)(Stage&);
    } steps[]{
        {"the first unit seen", FirstUnitSeen},
        {"each command as on Linux", SameAsLinux},
        {"the main window holds the unit", WindowHoldsTheUnit},
        {"a plug followed", PlugFollowed},
        {"an unplug followed", UnplugFollowed},
        {"the last unplug followed", LastUnplugFollowed},
        {"three units at once", ThreeUnitsAtOnce},
    };
    Stage stage;
    for (const auto& step : steps) {
        // Each step is named as it starts: a failure, or a step that runs into the function's
        // time-out (which names no line), is then told by the last name shown.
        qInfo("Wine stage: %s", step.name);
        step.run(stage);
        if (QTest::currentTestFailed())
            return;
    }
}
