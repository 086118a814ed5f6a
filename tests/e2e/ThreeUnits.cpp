#include "e2e/ThreeUnits.h"

#include <QRegularExpression>
#include <QtTest>

#include "linux/UhidExtender.h"

namespace {

const QStringList kSerials{"E2E0011", "E2E0012", "E2E0013"};

// Each frame as the unit received it, in hex.
QStringList Frames(UhidExtender& unit)
{
    QStringList frames;
    for (const UhidExtender::Sent& sent : unit.TakeWire())
        frames << sent.frame.toHex();
    return frames;
}

// One run of --all flash, once the program sees every unit: its exit code and summary checked,
// and each unit's wire, which wire gives.
void FlashAll(UhidExtender (&units)[3], const CliRun& run, const QString& image,
              std::vector<QStringList>& wires)
{
    QString out;
    const auto dropWires = [&] {
        for (UhidExtender& unit : units)
            unit.TakeWire();
    };
    const QStringList waited{"--wait",    "600",      "--serial",  kSerials[0], "--serial",
                             kSerials[1], "--serial", kSerials[2], "list"};
    QVERIFY2(run(waited, out, dropWires) == 0, qPrintable(out));
    dropWires(); // list's connect checks
    if (run({"--all", "flash", "--to", "local", image}, out, dropWires) != 0) {
        // Whether the command that went unanswered reached the unit.
        for (int unit = 0; unit < 3; ++unit)
            out += QString("\n%1 was sent %2 frames")
                       .arg(kSerials[unit])
                       .arg(Frames(units[unit]).size());
        QFAIL(qPrintable(out));
    }
    for (const QString& serial : kSerials) {
        const QRegularExpression completed("\n" + serial + " .* 0 +256 .* completed\n");
        QVERIFY2(completed.match(out).hasMatch(), qPrintable(out));
    }
    for (UhidExtender& unit : units)
        wires.push_back(Frames(unit));
}

} // namespace

void FlashesThreeAtOnce(const QString& image, const std::vector<CliRun>& programs)
{
    UhidExtender units[3];
    for (int unit = 0; unit < 3; ++unit)
        QVERIFY(units[unit].Plug(kSerials[unit].toLatin1().constData()));
    std::vector<QStringList> wires;
    for (const CliRun& run : programs) {
        FlashAll(units, run, image, wires);
        if (QTest::currentTestFailed())
            return;
    }
    // The connect check, the identification read, the erase, the opening of the write, then the
    // blocks: the same on every unit, from every program.
    QCOMPARE(wires.front().size(), 4 + 256);
    QVERIFY(wires.front()[2].endsWith("030205"));
    for (const QStringList& wire : wires)
        QCOMPARE(wire, wires.front());
}
