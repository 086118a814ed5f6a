// The Status page: decoding boundaries, the start-up display, the tick blocks on the wire, what a
// poll shows and falls back to, colours, advice, the RJ45 marking, states in words, its timers,
// and a minute of the demo scenario.
#include <QAccessible>
#include <set>

#include "Rig.h"
#include "device/sim/DemoScenario.h"
#include "status/PortMarking.h"
#include "status/StatusPage.h"

using namespace status;
using namespace std::chrono_literals;

namespace {

const Payloads kLink{Hex("01090a"), Hex("010405"), Hex("010809"), Hex("010c0d"), Hex("011213")};
const Payloads kSignal{Hex("010b0c"), Hex("011112"), Hex("020204"), Hex("020406"), Hex("011415")};
const auto kLamps = {1097, 1098, 1099, 1094,
                     1095, 1096, 1103}; // TX 5V, 5V, HPD; RX 5V, HPD, HPD; BER

Payloads Tick(Rig& rig)
{
    rig.wire.Clear();
    rig.page<Tool1Main>().OnTimer();
    return rig.Commands();
}

void Ticks(Tool1Main& page, uint32_t until)
{
    while (page.TickCount() <= until)
        page.OnTimer();
}

QColor Frame(const QWidget* page, int id)
{
    return ui::FindControl<QWidget>(page, id)->grab().toImage().pixelColor(1, 1);
}

QString Described(const QWidget* page, int id)
{
    return QAccessible::queryAccessibleInterface(ui::FindControl<QWidget>(page, id))
        ->text(QAccessible::Description);
}

// Red on the solid contacts of pairs A to D.
QString Marked(const QWidget* page)
{
    const QImage picture = ui::FindControl<QWidget>(page, 1104)->grab().toImage();
    QString marked;
    for (int x : {56, 135, 96, 176})
        marked += picture.pixelColor(x, 110) == Qt::red ? 'X' : '.';
    return marked;
}

} // namespace

class StatusTest : public QObject {
    Q_OBJECT

private slots:
    void decodingBoundaries()
    {
        QCOMPARE(ModeText(7) + ModeText(8) + ModeText(9) + ModeText(10) + ModeText(255, "N/A"),
                 "HDBTDisconnectReservedN/A");
        for (auto [raw, text, band] : {std::tuple{0, "0.00000", LevelBand::Normal},
                                       {51, "0.79688", LevelBand::Normal},
                                       {52, "0.81250", LevelBand::Amber},
                                       {63, "0.98438", LevelBand::Amber},
                                       {64, "1.00000", LevelBand::Red},
                                       {255, "3.98438", LevelBand::Red}}) {
            QCOMPARE(PairLevelText(PairLevel(uint8_t(raw))), text);
            QCOMPARE(PairLevelBand(PairLevel(uint8_t(raw))), band);
            QCOMPARE(PortFaulty(PairLevel(uint8_t(raw))), raw >= 64);
        }
        for (auto [a, b, text] : {std::tuple{255, 0, ">110m"},
                                  {40, 255, ">110m"},
                                  {0, 40, "<20m"},
                                  {40, 0, "<20m"},
                                  {1, 2, "1m"},
                                  {100, 110, "105m"},
                                  {254, 254, "254m"}})
            QCOMPARE(CableLengthText(uint8_t(a), uint8_t(b)), text);
        QCOMPARE(SourceTypeText(0) + SourceTypeText(3) + SourceTypeText(200),
                 "No HDMINo HDMINo HDMI");
        QVERIFY(BerLamp(7) == Lamp::Off && BerLamp(8) == Lamp::Marginal && BerLamp(9) == Lamp::On);
        QVERIFY(BerLamp(0) == Lamp::Off && BerLamp(255) == Lamp::On);
        QVERIFY(DecodeLocalSignals(0xFA).fiveVolt == Lamp::Off
                && DecodeLocalSignals(0xFA).hpd == Lamp::Off);
        QVERIFY(DecodeRemoteSignals(0xF3).fiveVolt == Lamp::Off
                && DecodeRemoteSignals(0xF3).hpd == Lamp::Off);
    }

    void startupShowsTheSnapshotOnly()
    {
        Rig rig;
        rig.Healthy();
        for (auto [reg, value] : {std::pair{0x08, 10}, {0x0B, 4}, {0x11, 8}, {0x0E, 8}, {0x14, 9}})
            rig.extender.SetRegister(0x01, uint8_t(reg), {uint8_t(value)});
        rig.extender.SetRegister(0x01, 0x09, {63, 64, 0, 52});
        rig.extender.SetRegister(0x02, 0x02, {1});
        rig.extender.SetRegister(0x02, 0x04, {200});
        rig.Open();
        auto& page = rig.page<Tool1Main>();
        QCOMPARE(rig.Commands().size(), size_t(1 + 11 + 2)); // connect, snapshot, identification
        QCOMPARE(
            Texts(&page, {1014, 1046, 1010, 1042, 1037, 1017, 1023, 1024, 1025, 1075}),
            "HDBT|N/A|HDMI without HDCP/ DVI|No HDMI|31m|0.98438|1.00000|0.00000|0.81250|Test");
        QCOMPARE(Lamps(&page, kLamps), "OO--OOM");
        QVERIFY(page.PortFaults() == PortFlags{} && !page.LinkUp() && !page.IsRunning());

        Rig missing;
        missing.extender.SetRegister(0x01, 0x04, {10});
        missing.extender.SetRegister(0x01, 0x0C, {0, 0, 0, 30});
        missing.Open();
        QCOMPARE(Texts(&missing.page<Tool1Main>(), {1014, 1046, 1037, 1017, 1010}), "|N/A|N/A||");
        QCOMPARE(Lamps(&missing.page<Tool1Main>(), kLamps), "-------");
    }

    void tickBlocksOnTheWire()
    {
        Rig rig;
        rig.Healthy();
        rig.Open();
        auto& page = rig.page<Tool1Main>();
        rig.wire.Clear();
        Click(&page, 1075);
        QVERIFY(rig.Commands().empty() && Text(&page, 1075) == "Stop"); // Test sends nothing
        Payloads both = kLink;
        both.insert(both.end(), kSignal.begin(), kSignal.end());
        QCOMPARE(Tick(rig), both); // tick 0
        QCOMPARE(Tick(rig), Payloads{});
        QCOMPARE(Tick(rig), kSignal);
        Click(&page, 1075); // stopped at 3: Start goes on from there
        QCOMPARE(Text(&page, 1075), "Start");
        Click(&page, 1075);
        QCOMPARE(Tick(rig), Payloads{});
        QCOMPARE(Tick(rig), kSignal);
        QCOMPARE(Tick(rig), kLink); // tick 5
        Ticks(page, 8);
        QCOMPARE(Tick(rig), Payloads{});
        QCOMPARE(Tick(rig), both); // tick 10
    }

    void pollShowsWhatItReadsAndFallsBack()
    {
        Rig rig;
        rig.Healthy();
        rig.Open().show();
        auto& page = rig.page<Tool1Main>();
        const QColor normal = Frame(&page, 1037);
        for (auto [group, reg, value] : std::initializer_list<std::array<uint8_t, 3>>{
                 {1, 4, 6}, {1, 8, 10}, {1, 11, 1}, {1, 17, 4}, {1, 20, 7}, {2, 2, 3}, {2, 4, 1}})
            rig.extender.SetRegister(group, reg, {value});
        rig.extender.SetRegister(0x01, 0x09, {51, 52, 63, 64});
        rig.extender.SetRegister(0x01, 0x0C, {0, 0, 0, 255});
        page.OnTimer();
        QCOMPARE(Texts(&page, {1014, 1046, 1017, 1023, 1024, 1025, 1037, 1010, 1042}),
                 "LR||0.79688|0.81250|0.98438|1.00000|>110m|No HDMI|HDMI without HDCP/ DVI");
        QCOMPARE(Lamps(&page, kLamps), "--OO---");
        QVERIFY(page.PortFaults() == (PortFlags{false, false, false, true}) && page.LinkUp());
        QCOMPARE(Frame(&page, 1017), normal);
        QCOMPARE(Frame(&page, 1023), QColor(250, 200, 0));
        QCOMPARE(Frame(&page, 1024), QColor(250, 200, 0));
        QCOMPARE(Frame(&page, 1025), QColor(255, 0, 0));
        QCOMPARE(Described(&page, 1023) + "|" + Described(&page, 1025) + "|"
                     + Described(&page, 1099) + "|" + Described(&page, 1103),
                 "Pair B: 0.81250, marginal|Pair D: 1.00000, fault|HPD from link(TX): on|Video "
                 "BER: off");

        for (uint8_t reg : {0x04, 0x08, 0x09, 0x0B, 0x0C, 0x11, 0x14})
            rig.Refuse(0x01, reg);
        rig.Refuse(0x02, 0x02);
        rig.Refuse(0x02, 0x04);
        Ticks(page, 9);
        const Payloads reads = Tick(rig); // tick 10: a refused local length skips the remote one
        QVERIFY(reads.size() == 9
                && std::find(reads.begin(), reads.end(), Hex("011213")) == reads.end());
        QCOMPARE(Texts(&page, {1014, 1046, 1017, 1023, 1024, 1025, 1037, 1010, 1042}),
                 "LR|Disconnect|N/A|N/A|N/A|N/A|N/A||");
        QCOMPARE(Lamps(&page, kLamps), "-------");
        QVERIFY(page.PortFaults() == PortFlags{} && !page.LinkUp());
        QCOMPARE(Frame(&page, 1025), normal); // the colours go with the levels
        QCOMPARE(Described(&page, 1023), "Pair B: N/A");
        rig.Healthy(); // the remote length alone refused: the link still counts as down
        rig.Refuse(0x01, 0x12);
        Ticks(page, 15);
        QVERIFY(!page.LinkUp() && Text(&page, 1037) == "N/A");
    }

    void adviceAndMarking()
    {
        Rig rig;
        rig.Healthy();
        rig.extender.SetRegister(0x01, 0x09, {10, 70, 20, 64}); // ports 2 and 4 faulty
        rig.Open();
        auto& page = rig.page<Tool1Main>();
        Click(&page, 1075); // a pass comes at once, before a poll has seen the link
        QCOMPARE(Text(&page, 1077), "Disconnected");
        page.OnTimer();
        page.RunPortCheck();
        QCOMPARE(Text(&page, 1077) + Marked(&page),
                 "Please Check Port 2\nPlease Check Port 4\n.X.X");
        const QString words = "Faulty pairs marked: B (port 2), D (port 4)";
        QCOMPARE(Described(&page, 1104), words);
        page.RunPortCheck(); // blinks off, the words stay
        QCOMPARE(Marked(&page) + Described(&page, 1104), "...." + words);
        rig.extender.SetRegister(0x01, 0x09, {10, 11, 20, 64});
        Ticks(page, 5);
        page.RunPortCheck();
        QCOMPARE(Text(&page, 1077) + Marked(&page), "Please Check Port 4\n...X");
        Click(&page, 1075); // Stop empties the advice and leaves no marking
        QCOMPARE(Text(&page, 1077) + Marked(&page) + Described(&page, 1104), "....No faulty pair");
        rig.extender.SetRegister(0x01, 0x09, {10, 11, 20, 30});
        Click(&page, 1075);
        Ticks(page, 10);
        page.RunPortCheck();
        page.RunPortCheck();
        QCOMPARE(Text(&page, 1077) + Marked(&page), "All port signal are good.\n....");
        rig.Refuse(0x01, 0x0C); // the link drops: the advice says so
        Ticks(page, 15);
        page.RunPortCheck();
        QCOMPARE(Text(&page, 1077), "Disconnected");
    }

    // Each pair's marking lies on that pair's own wires and contacts of the jack picture.
    void markingLandsOnItsPair()
    {
        const QImage jack(":/pictures/rj45-jack.png");
        const auto near = [](QColor a, QColor b) {
            return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green())
                       + std::abs(a.blue() - b.blue())
                   < 60;
        };
        const auto centre = [](const Box& b) {
            return QPoint((b.left + b.right) / 2, (b.top + b.bottom) / 2);
        };
        int port = 0;
        for (const char* colour : {"#f08a1c", "#2e9e3e", "#2f6fd0", "#8a5a2b"}) {
            const PairMarking& m = MarkingOfPort(++port);
            for (const Segment& l : m.lines) {
                const QColor under = jack.pixelColor((l.x1 + l.x2) / 2, (l.y1 + l.y2) / 2);
                QVERIFY2(near(under, colour) || near(under, Qt::white), colour);
            }
            QVERIFY(near(jack.pixelColor(centre(m.solid)), colour));
            QVERIFY(near(jack.pixelColor(centre(m.striped)), Qt::white));
            QVERIFY(near(jack.pixelColor(m.striped.left + 1, centre(m.striped).y()), colour));
        }
    }

    void timersDriveThePage()
    {
        Rig rig;
        rig.Healthy();
        rig.Open();
        auto& page = rig.page<Tool1Main>();
        page.SetPeriods({5ms, 8ms});
        Click(&page, 1075);
        QTRY_VERIFY(page.TickCount() >= 3);
        QTRY_COMPARE(Text(&page, 1077), "All port signal are good.\n");
        const auto active = [&] {
            int count = 0;
            for (const QTimer* timer : page.findChildren<QTimer*>())
                count += timer->isActive();
            return count;
        };
        for (int i = 0; i < 3; ++i) { // quick Stop and Start: one poll and one check
            Click(&page, 1075);
            QCOMPARE(active(), 0);
            Click(&page, 1075);
            QCOMPARE(active(), 2);
        }
        Click(&page, 1075);
        const uint32_t stoppedAt = page.TickCount();
        QTest::qWait(40);
        QCOMPARE(page.TickCount(), stoppedAt);
    }

    // A minute of the demo: every field and lamp changes, whenever Test was pressed.
    void demoMinuteChangesEverything()
    {
        for (auto start : {0ms, 43700ms}) {
            Rig rig;
            demo::Apply(rig.extender, start);
            rig.Open();
            auto& page = rig.page<Tool1Main>();
            std::map<int, std::set<QString>> seen;
            Click(&page, 1075);
            for (auto tick = start + 1s, check = start + 1500ms; tick < start + 65s;) {
                if (tick <= check) {
                    demo::Apply(rig.extender, tick);
                    page.OnTimer();
                    tick += 1s;
                } else {
                    page.RunPortCheck();
                    check += 1500ms;
                }
                for (int id : {1014, 1010, 1046, 1042, 1037, 1017, 1023, 1024, 1025, 1077})
                    seen[id].insert(Text(&page, id));
                for (int lamp : kLamps)
                    seen[lamp].insert(Lamps(&page, {lamp}));
            }
            for (const auto& [id, texts] : seen)
                QVERIFY2(texts.size() >= (id == 1103 ? 3 : 2), qPrintable(QString::number(id)));
            for (const char* text : {"N/A", "1.10938", "0.87500"})
                QVERIFY2(seen[1023].count(text), text);
            for (const char* text :
                 {"Disconnected", "Please Check Port 2\n", "All port signal are good.\n"})
                QVERIFY2(seen[1077].count(text), text);
        }
    }
};

TORVAN_SUITE(StatusTest, "status")
#include "tst_status.moc"
