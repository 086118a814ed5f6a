#include "e2e/WineStage.h"

#include "e2e/GuestPrograms.h"
#include "e2e/ThreeUnits.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "linux/UhidExtender.h"

namespace {

// Wine starts a Windows program in half a minute in the emulated guest on a busy machine, and its
// services with the first one in a few minutes; its HID bus hears of a plug from udevd and tells
// the programs through its Plug and Play service in a minute or two.
constexpr int kProgramMs = 300000, kPlugMs = 180000;

Ran Run(const QString& program, const QStringList& arguments)
{
    return RunInGuest(program, arguments, kProgramMs);
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

// Each command of the Linux and the Windows command line on the same unit: the same output, exit
// code and wire.
void SameAsLinux(UhidExtender& unit)
{
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
        const Ran wineRan = Run("cli/torvanreader-cli.exe", underWine);
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

} // namespace

void WindowsProgramsUnderWine()
{
    UhidExtender first, second;
    QVERIFY(first.Plug("E2E0001"));
    // Wine's HID bus finds the units present as its services start, which the first program under
    // Wine starts: on a busy machine that program may look before the bus has found the unit.
    QTRY_VERIFY_WITH_TIMEOUT(Run("cli/torvanreader-cli.exe", {"list"}).out.contains("E2E0001"),
                             kPlugMs);
    SameAsLinux(first);
    if (QTest::currentTestFailed())
        return;

    // The main window checks the unit once as it starts, and holds it: a second program is told
    // which program has it, and sends nothing.
    Run("linux", {"list"});
    const QStringList connectCheck = Frames(first.TakeWire());
    QCOMPARE(connectCheck.size(), 1);
    QProcess window;
    StartInGuest(window, "torvanreader.exe", {});
    QStringList sent;
    QTRY_VERIFY_WITH_TIMEOUT(!(sent += Frames(first.TakeWire())).isEmpty(), kProgramMs);
    QTest::qWait(3000);
    QCOMPARE(sent += Frames(first.TakeWire()), connectCheck);
    const Ran refused = Run("cli/torvanreader-cli.exe", {"info"});
    const QRegularExpression inUse(" is in use by torvanreader(\\.exe)? \\(process \\d+\\)");
    QCOMPARE(refused.exit, 1);
    QVERIFY2(inUse.match(refused.err).hasMatch(), qPrintable(refused.err));
    QVERIFY(first.TakeWire().empty());

    // Plugs and unplugs are followed by list --watch, which sends nothing, and by the window,
    // which takes the unit left when its own goes and checks it (its sequence numbers go on).
    QProcess watch;
    StartInGuest(watch, "cli/torvanreader-cli.exe", {"list", "--watch"});
    QVERIFY(watch.waitForReadyRead(kProgramMs));
    QString told = QString::fromUtf8(watch.readAllStandardOutput());
    QVERIFY(second.Plug("E2E0002"));
    QTRY_VERIFY_WITH_TIMEOUT((told += watch.readAllStandardOutput()).contains("added"), kPlugMs);
    first.Unplug();
    QStringList checked;
    QTRY_VERIFY_WITH_TIMEOUT(!(checked += Frames(second.TakeWire())).isEmpty(), kProgramMs);
    QCOMPARE(checked.join(' ').mid(2), connectCheck.join(' ').mid(2));
    QTRY_VERIFY_WITH_TIMEOUT((told += watch.readAllStandardOutput()).contains("removed"), kPlugMs);
    window.kill();
    const QRegularExpression followed(
        "^present\t\\S+\tE2E0001\nadded\t\\S+\tE2E0002\nremoved\t\\S+\tE2E0001\n$");
    QVERIFY2(followed.match(told.remove('\r')).hasMatch(), qPrintable(told));
    // With the last unit gone for Wine too, three units at once: the Windows command line sends
    // each what the Linux one does.
    second.Unplug();
    QTRY_VERIFY_WITH_TIMEOUT((told += watch.readAllStandardOutput()).count("removed") == 2,
                             kPlugMs);
    watch.kill();
    // Either may have been seen to end already, while the waits above ran the event loop.
    for (QProcess* ended : {&watch, &window})
        QVERIFY(ended->state() == QProcess::NotRunning || ended->waitForFinished());
    // An image's path as each program takes it: Wine's drive Z: is the root.
    const auto program = [](const QString& name, const QString& drive) -> CliRun {
        return [=](QStringList arguments, QString& out) {
            if (arguments.last().endsWith(".hex"))
                arguments.last().prepend(drive);
            const Ran ran = Run(name, arguments);
            out = ran.out + ran.err;
            return ran.exit;
        };
    };
    const QString image = qEnvironmentVariable("TORVAN_SOURCE_DIR") + kSampleImage;
    FlashesThreeAtOnce(image, {program("linux", ""), program("cli/torvanreader-cli.exe", "Z:")});
}
