// The Status page: decoding boundaries, the start-up display, the tick blocks on the wire, what a
// poll shows and falls back to, colours, advice, the RJ45 marking, its timers, the demo's moments.
#include <bit>

#include "Rig.h"
#include "device/sim/DemoScenario.h"
#include "status/PortMarking.h"
#include "ui/Picture.h"

using namespace status;
using enum StatusControl::Id; // the page's controls by name
namespace {

// What the page shows in its fields: both modes, the pair levels, the cable length, both sources.
QStringList Fields(const QWidget* page)
{
    return Texts(page, {LocalMode, RemoteMode, PairA, PairB, PairC, PairD,
                        StatusControl::CableLength, LocalSource, RemoteSource});
}

// The picture of each lamp (TX 5V, 5V, HPD; RX 5V, HPD, HPD; BER): O on (green), M marginal
// (yellow), - off (red).
QString Lamps(const QWidget* page)
{
    QString lamps;
    for (int id : {TxSourceFiveVolts, TxLinkFiveVolts, TxLinkHpd, RxLinkFiveVolts, RxDisplayHpd,
                   RxLinkHpd, StatusControl::BerLamp}) {
        const QImage lamp = ui::FindControl<QLabel>(page, id)->pixmap().toImage();
        const auto is = [&](const char* colour) {
            const QImage picture(QString(":/pictures/lamp-%1.png").arg(colour));
            return !lamp.isNull() && lamp == picture.convertToFormat(lamp.format());
        };
        lamps += is("green") ? 'O' : is("yellow") ? 'M' : is("red") ? '-' : '?';
    }
    return lamps;
}

// The frame colour of each pair level: N normal (as the cable length), A amber, R red.
QString Frames(const QWidget* page)
{
    const auto colour = [&](int id) {
        return ui::FindControl<QWidget>(page, id)->grab().toImage().pixelColor(1, 1);
    };
    const QList<QColor> frames{colour(StatusControl::CableLength), QColor(250, 200, 0), Qt::red};
    QString shown;
    for (int id : {PairA, PairB, PairC, PairD})
        shown += "?NAR"[frames.indexOf(colour(id)) + 1];
    return shown;
}

// What the lamps, levels and the jack say in words, to a screen reader.
constexpr const char* kSaid = "accessibleDescription";

// Red on the solid contacts of pairs A to D (at these pixels of the jack picture), wherever the
// picture is drawn in its frame: the frame follows the dialog font, the picture is scaled to it.
QString Marked(const QWidget* page)
{
    QWidget* jack = ui::FindControl<QWidget>(page, Rj45);
    const QSizeF size = QPixmap(":/pictures/rj45-jack.png").deviceIndependentSize();
    const QRect drawn = ui::FittedRect(size.toSize(), jack->rect(), Qt::AlignLeft | Qt::AlignTop);
    const QImage shown = jack->grab().toImage();
    QString marked;
    for (int x : {56, 135, 96, 176}) {
        const QPointF at(x * drawn.width() / size.width(), 110 * drawn.height() / size.height());
        marked += shown.pixelColor((drawn.topLeft() + at).toPoint()) == Qt::red ? 'X' : '.';
    }
    return marked;
}

// A state set over the one before, each followed by a poll, and what then shows: the page after
// the second poll and two port checks, what status prints then and the fields of its JSON, and the
// check's exit code and status line, whole or up to its performance data.
struct PollCase {
    QString before, change;
    QStringList fields;                         // as Fields() reads them
    QString lamps = "OOOOOOO", frames = "NNNN"; // every lamp on, no pair framed
    int reads = 10;                             // the commands of the last tick
    QString advice = "All port signal are good.\n";
    QString marked = "....";         // as Marked() reads it at the first port check
    QString said = "No faulty pair"; // the marking in words
    QString printed{};               // empty: not looked at
    QString json{};                  // the fields looked at
    int exit;
    QString checked;
};

} // namespace

class StatusTest : public QObject {
    Q_OBJECT

private slots:
    // Mode names 8 and 9, cable lengths at and beyond what the chips measure, sources without
    // HDMI, the bit error lamp either side of clean, signal bytes with their bits clear. Modes 6, 7
    // and 10 (no name), the pair levels' bands and the lamp's marginal level show in the poll
    // table, mode 10 before a poll at start-up.
    void decodingBoundaries()
    {
        QCOMPARE(*ModeName(8), "Disconnect");
        QCOMPARE(*ModeName(9), "Reserved");
        QStringList cables;
        for (auto [a, b] :
             {std::pair{255, 0}, {40, 255}, {0, 40}, {40, 0}, {1, 2}, {100, 110}, {254, 254}})
            cables << CableLengthText(DecodeCableLength(uint8_t(a), uint8_t(b)));
        QCOMPARE(cables, (QStringList{">110m", ">110m", "<20m", "<20m", "1m", "105m", "254m"}));
        for (const uint8_t source : {0, 3, 200})
            QCOMPARE(SourceName(DecodeSource(source)), "No HDMI");
        QCOMPARE(status::BerLamp(7), Lamp::Off);
        QCOMPARE(status::BerLamp(9), Lamp::On);
        QCOMPARE(status::BerLamp(255), Lamp::On);
        QCOMPARE(DecodeLocalSignals(0xFA), (SignalLines{Lamp::Off, Lamp::Off}));
        QCOMPARE(DecodeRemoteSignals(0xF3), (SignalLines{Lamp::Off, Lamp::Off}));
    }

    // Each pair's marking lies on that pair in the jack picture: under the middle of its strokes
    // and contacts, the pair's colour or its white stripe.
    void markingLiesOnItsPair()
    {
        const QImage jack(":/pictures/rj45-jack.png");
        const QColor colours[]{"#f08a1c", "#2e9e3e", "#2f6fd0", "#8a5a2b"}; // A to D
        for (int port = 1; port <= kPairCount; ++port) // its strokes and boxes, corner to corner
            for (const Segment& s : std::bit_cast<std::array<Segment, 5>>(MarkingOfPort(port))) {
                const QColor under = jack.pixelColor((s.x1 + s.x2) / 2, (s.y1 + s.y2) / 2);
                QVERIFY2(under == colours[port - 1] || under == Qt::white,
                         qPrintable(QString("port %1 at %2,%3").arg(port).arg(s.x1).arg(s.y1)));
            }
    }

    // At opening the page shows the snapshot and reads nothing; then the ticks' blocks on the wire
    // and the timers that drive them.
    void startupAndTicks()
    {
        Rig rig;
        rig.Healthy();
        rig.Set("0108=0a 010b=04 0111=08 010e=08 0114=09 0109=3f400034 0202=01 0204=c8");
        rig.Open();
        auto& page = rig.page<Tool1Main>();
        QCOMPARE(rig.Commands().size(), size_t(1 + 11 + 2)); // connect, snapshot, identification
        QCOMPARE(Fields(&page),
                 (QStringList{"HDBT", "N/A", "0.98438", "1.00000", "0.00000", "0.81250", "31m",
                              "HDMI without HDCP/ DVI", "No HDMI"}));
        QCOMPARE(Lamps(&page), "OO--OOM");
        QCOMPARE(Frames(&page), "ARNA");
        QCOMPARE(Text(&page, Test), "Test");
        QCOMPARE(Texts(&page, {TxSourceFiveVolts, TxLinkHpd, StatusControl::BerLamp, PairA}, kSaid),
                 (QStringList{"5V from source(TX): on", "HPD from link(TX): off",
                              "Video BER: marginal", "Pair A: 0.98438, marginal"}));
        QCOMPARE(page.PortFaults(), PortFlags{});
        QVERIFY(!page.LinkUp());
        QVERIFY(!page.IsRunning());
        rig.wire.Clear();
        Click(&page, Test);
        QCOMPARE(rig.Commands(), Payloads()); // Test sends nothing
        QCOMPARE(Text(&page, Test), "Stop");
        QCOMPARE(page.findChild<QTimer*>("pollTimer")->interval(), 1000);
        const QString link = "01090a 010405 010809 010c0d 011213 ",
                      signal = "010b0c 011112 020204 020406 011415";
        const QList<Payloads> kinds{Wire(link + signal), Wire(link), Wire(signal), {}};
        QStringList blocks; // what each tick sends: L the link block, S the signal block
        for (int tick = 0; tick <= 10; ++tick) {
            if (tick == 3) { // stopped at 3: Start goes on from there
                Click(&page, Test);
                blocks << Text(&page, Test);
                Click(&page, Test);
            }
            rig.wire.Clear();
            page.OnTimer();
            blocks << QStringList{"?", "LS", "L", "S", "-"}[kinds.indexOf(rig.Commands()) + 1];
        }
        QCOMPARE(blocks,
                 (QStringList{"LS", "-", "S", "Start", "-", "S", "L", "S", "-", "S", "-", "LS"}));
        Click(&page, Test);
        page.SetPeriods({5ms, 8ms});
        Click(&page, Test);
        QTRY_VERIFY(page.TickCount() >= 14);
        QTRY_COMPARE(Text(&page, Advice), "Please Check Port 2\n");
        Click(&page, Test);
        QVERIFY(!page.findChild<QTimer*>("pollTimer")->isActive());
        QVERIFY(!page.findChild<QTimer*>("portCheckTimer")->isActive());
    }

    // A page through a state set over the one before it (over a healthy link, or a moment of the
    // demo), then a tick that reads everything and two port checks. What the page then shows, the
    // reads of that tick, the advice, the RJ45 marking blinking and in words; Stop empties the
    // advice and leaves no marking. status reads through the same poll and exits 1 after a refused
    // read; where the row says, what it prints: the page's words as text; as JSON the values,
    // levels and metres as numbers, and null for what could not be read.
    void whatEachPollShows_data()
    {
        const QStringList healthy = {"0.15625", "0.17188", "0.18750", "0.20313"},
                          notRead = {"N/A", "N/A", "N/A", "N/A"};
        // The fields of an HDBT link with an HDCP source, its pair levels and cable length.
        const auto hdbt = [](const QStringList& levels, const QString& cable = "31m") {
            return QStringList{"HDBT", "HDBT"} + levels
                   + QStringList{cable, "HDMI with HDCP", "HDMI with HDCP"};
        };
        const QString worn = "0104=06 0108=0a 010b=01 0111=04 0114=07 0202=03 0204=01 "
                             "0109=33343f40 010c=000000ff",
                      refused = "0104= 0108= 0109= 010b= 010c= 0111= 0114= 0202= 0204=";
        const QString nothing = R"j({"pair": "%1", "level": null, "band": null})j",
                      unread = "'pair_%1'=U;0.8;0.99;0;3.984375 ", levels = ";0.8;0.99;0;3.984375 ";
        AddRows<PollCase>({
            {"modes, signals and levels off the healthy ones",
             {.before = "healthy",
              .change = worn,
              .fields = {"LR", "", "0.79688", "0.81250", "0.98438", "1.00000", ">110m", "No HDMI",
                         "HDMI without HDCP/ DVI"},
              .lamps = "--OO---",
              .frames = "NAAR",
              .advice = "Please Check Port 4\n",
              .marked = "...X",
              .said = "Faulty pairs marked: D (port 4)",
              .printed = "Local (TX)   Torvan Mode: LR   Source Type: No HDMI\n"
                         "Remote (RX)  Torvan Mode:    Source Type: HDMI without HDCP/ DVI\n"
                         "5V from source(TX): off   5V to link(TX): off   HPD from link(TX): on\n"
                         "HPD from display(RX): off   HPD to link(RX): off   5V from link(RX): on\n"
                         "Pair A: 0.79688, good   Pair B: 0.81250, marginal   "
                         "Pair C: 0.98438, marginal   Pair D: 1.00000, fault\n"
                         "Cable Len: >110m   Video BER: off (level 7)   Link: up\n"
                         "Please Check Port 4\n",
              .json = R"j({"local": {"mode": "LR", "source": "No HDMI"},
                           "remote": {"mode": "", "source": "HDMI without HDCP/ DVI"},
                           "lamps": {"source_5v_tx": "off", "link_5v_tx": "off",
                                     "link_hpd_tx": "on", "display_hpd_rx": "off",
                                     "link_hpd_rx": "off", "link_5v_rx": "on"},
                           "video_ber": {"lamp": "off", "level": 7}, "link": "up",
                           "cable_m": 110, "cable_bound": "over", "faulty_pairs": ["D"],
                           "advice": ["Please Check Port 4"],
                           "pairs": [{"pair": "A", "level": 0.796875, "band": "good"},
                                     {"pair": "B", "level": 0.8125, "band": "marginal"},
                                     {"pair": "C", "level": 0.984375, "band": "marginal"},
                                     {"pair": "D", "level": 1, "band": "fault"}]})j",
              .exit = 2,
              .checked = "link up, pair B marginal (0.81250), pair C marginal (0.98438), pair D "
                         "fault (1.00000), 1 pair good, 5V from source(TX): off, 5V to link(TX): "
                         "off, HPD from display(RX): off, HPD to link(RX): off, Video BER: off, "
                         ">110 m"}},
            {"every read refused: N/A, no colours, the local mode kept",
             {.before = worn,
              .change = refused,
              .fields = QStringList{"LR", "Disconnect"} + notRead + QStringList{"N/A", "", ""},
              .lamps = "-------",
              .reads = 9,
              .advice = "Disconnected",
              .printed =
                  "Local (TX)   Torvan Mode:    Source Type: \n"
                  "Remote (RX)  Torvan Mode: Disconnect   Source Type: \n"
                  "5V from source(TX): off   5V to link(TX): off   HPD from link(TX): off\n"
                  "HPD from display(RX): off   HPD to link(RX): off   5V from link(RX): off\n"
                  "Pair A: N/A   Pair B: N/A   Pair C: N/A   Pair D: N/A\n"
                  "Cable Len: N/A   Video BER: off   Link: down\nDisconnected\n",
              .json = R"j({"local": {"mode": null, "source": null},
                           "remote": {"mode": null, "source": null},
                           "cable_m": null, "cable_bound": null,
                           "lamps": {"source_5v_tx": null, "link_5v_tx": null,
                                     "link_hpd_tx": null, "display_hpd_rx": null,
                                     "link_hpd_rx": null, "link_5v_rx": null},
                           "video_ber": {"lamp": null, "level": null}, "link": "down",
                           "advice": ["Disconnected"], "pairs": [)j"
                      + nothing.arg('A') + ',' + nothing.arg('B') + ',' + nothing.arg('C') + ','
                      + nothing.arg('D') + "]}",
              .exit = 2,
              .checked = "link down | 'link'=0;;;0;1 " + unread.arg('a') + unread.arg('b')
                         + unread.arg('c') + unread.arg('d')
                         + "'source_5v_tx'=U;;;0;2 'link_5v_tx'=U;;;0;2 'link_hpd_tx'=U;;;0;2 "
                           "'display_hpd_rx'=U;;;0;2 'link_hpd_rx'=U;;;0;2 'link_5v_rx'=U;;;0;2 "
                           "'video_ber'=U;;;0;2 'video_ber_level'=U;;;0;255 "
                           "'cable_metres'=U;;;0;"}},
            {"the remote length alone refused: the link down",
             {.before = refused,
              .change = "healthy 0112=",
              .fields = hdbt(healthy, "N/A"),
              .advice = "Disconnected",
              .exit = 2,
              .checked = "link down, 4 pairs good"}},
            {"two pairs red",
             {.before = "healthy 0112=",
              .change = "healthy 0109=0a461440",
              .fields = hdbt({"0.15625", "1.09375", "0.31250", "1.00000"}),
              .frames = "NRNR",
              .advice = "Please Check Port 2\nPlease Check Port 4\n",
              .marked = ".X.X",
              .said = "Faulty pairs marked: B (port 2), D (port 4)",
              .json = R"j({"faulty_pairs": ["B", "D"],
                           "advice": ["Please Check Port 2", "Please Check Port 4"]})j",
              .exit = 2,
              .checked = "link up, pair B fault (1.09375), pair D fault (1.00000), 2 pairs good, "
                         "31 m"}},
            {"a pair amber: a warning",
             {.before = "healthy",
              .change = "healthy 0109=0a340c0d",
              .fields = hdbt({"0.15625", "0.81250", "0.18750", "0.20313"}),
              .frames = "NANN",
              .exit = 1,
              .checked = "link up, pair B marginal (0.81250), 3 pairs good, 31 m"}},
            {"the levels refused: no pair faulty any more",
             {.before = "healthy 0109=0a461440",
              .change = "healthy 0109=",
              .fields = hdbt(notRead),
              .exit = 3,
              .checked = "link up, pair levels not read, 31 m"}},
            {"healthy again",
             {.before = "healthy 0109=",
              .change = "healthy",
              .fields = hdbt(healthy),
              .json = R"j({"cable_m": 31, "cable_bound": null})j",
              .exit = 0,
              .checked = "link up, 4 pairs good, 31 m | 'link'=1;;;0;1 'pair_a'=0.15625" + levels
                         + "'pair_b'=0.171875" + levels + "'pair_c'=0.1875" + levels
                         + "'pair_d'=0.203125" + levels
                         + "'source_5v_tx'=2;;;0;2 'link_5v_tx'=2;;;0;2 'link_hpd_tx'=2;;;0;2 "
                           "'display_hpd_rx'=2;;;0;2 'link_hpd_rx'=2;;;0;2 'link_5v_rx'=2;;;0;2 "
                           "'video_ber'=2;;;0;2 'video_ber_level'=10;;;0;255 "
                           "'cable_metres'=31;;;0;"}},
            {"cable too short",
             {.before = "healthy",
              .change = "healthy 0112=00000000",
              .fields = hdbt(healthy, "<20m"),
              .json = R"j({"cable_m": 20, "cable_bound": "under"})j",
              .exit = 0,
              .checked = "link up, 4 pairs good, <20 m"}},
            {"the demo at 22 s: pair B red, a marginal bit error rate",
             {.before = "healthy",
              .change = "demo 22",
              .fields = hdbt({"0.20313", "1.10938", "0.15625", "0.20313"}, "42m"),
              .lamps = "OOOOOOM",
              .frames = "NRNN",
              .advice = "Please Check Port 2\n",
              .marked = ".X..",
              .said = "Faulty pairs marked: B (port 2)",
              .exit = 2,
              .checked = "link up, pair B fault (1.10938), 3 pairs good, Video BER: marginal, "
                         "42 m"}},
        });
    }
    void whatEachPollShows()
    {
        QFETCH(PollCase, row);
        Rig rig;
        rig.Healthy();
        rig.Open().show();
        auto& page = rig.page<Tool1Main>();
        Click(&page, Test); // a pass comes at once, before a poll has seen the link
        QCOMPARE(Text(&page, Advice), "Disconnected");
        for (const QString& state : {row.before, row.change}) {
            if (state.startsWith("demo"))
                demo::Apply(rig.extender, std::chrono::seconds(state.section(' ', 1).toInt()));
            else if (state.startsWith("healthy"))
                rig.Healthy();
            rig.Set(state.startsWith("demo") ? "" : state.section("healthy", -1));
            while (page.TickCount() % 10 != 0)
                page.OnTimer();
            rig.wire.Clear();
            page.OnTimer();
        }
        QCOMPARE(Fields(&page), row.fields);
        QCOMPARE(Lamps(&page), row.lamps);
        QCOMPARE(Frames(&page), row.frames);
        QCOMPARE(rig.Commands().size(), size_t(row.reads));
        page.RunPortCheck();
        QCOMPARE(Text(&page, Advice), row.advice);
        QCOMPARE(Marked(&page), row.marked);
        page.RunPortCheck();
        QCOMPARE(Marked(&page), "...."); // blinking
        QCOMPARE(Text(&page, Rj45, kSaid), row.said);
        CommandLineReadsTheSame(rig, row);
        page.RunPortCheck();
        Click(&page, Test);
        QCOMPARE(Text(&page, Advice), "");
        QCOMPARE(Marked(&page), "....");
        QCOMPARE(Text(&page, Rj45, kSaid), "No faulty pair");
    }

private:
    // One program per unit: a check while the window holds it is sent nothing; the window lets go
    // while the commands read the state the page shows.
    static void CommandLineReadsTheSame(Rig& rig, const PollCase& row)
    {
        const size_t sent = rig.Commands().size();
        const CliResult held = RunCli(rig.wire, "check");
        QCOMPARE(held.code, 3);
        QCOMPARE(held.out, QString("TORVANREADER UNKNOWN - sim:extender is in use by tst_status "
                                   "(process %1)\n")
                               .arg(QCoreApplication::applicationPid()));
        QCOMPARE(rig.Commands().size(), sent);
        CHidIO& window = rig.main->Channel().Transport();
        window.Close();
        const CliResult text = RunCli(rig.wire, "status"), json = RunCli(rig.wire, "status --json"),
                        check = RunCli(rig.wire, "check");
        window.Open();
        const QString line = check.out.section(row.checked.contains(" | ") ? "\n" : " | ", 0, 0);
        const QStringList states{"OK", "WARNING", "CRITICAL", "UNKNOWN"};
        QCOMPARE(line, "TORVANREADER " + states[row.exit] + " - " + row.checked);
        QCOMPARE(check.code, row.exit);
        QCOMPARE(json.code, int(row.change.contains(QRegularExpression("=( |$)")))); // refused
        if (!row.printed.isEmpty())
            QCOMPARE(text.out, row.printed);
        const QJsonObject all = QJsonDocument::fromJson(json.out.toUtf8()).object();
        const QJsonObject wanted = QJsonDocument::fromJson(row.json.toUtf8()).object();
        QCOMPARE(wanted.isEmpty(), row.json.isEmpty());
        for (const QString& field : wanted.keys())
            QVERIFY2(all[field] == wanted[field], qPrintable(field + " in " + json.out));
    }
};

QTEST_MAIN(StatusTest)
#include "tst_status.moc"
