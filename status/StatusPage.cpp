#include "status/StatusPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "status/Rj45Picture.h"
#include "status/StateText.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/MessageBox.h"
#include "ui/Picture.h"

using namespace status;

namespace {

// Controls the page never looks up again carry no number.
constexpr int kUnnumbered = -1;

const char* LampPicture(Lamp lamp)
{
    switch (lamp) {
    case Lamp::On: return ":/pictures/lamp-green.png";
    case Lamp::Marginal: return ":/pictures/lamp-yellow.png";
    case Lamp::Off: break;
    }
    return ":/pictures/lamp-red.png";
}

// The amber and red bands frame the field in their colour and write the level in it; the text
// keeps the field's own background so that it stays readable.
QString BandStyle(LevelBand band)
{
    switch (band) {
    case LevelBand::Fault:
        return "QLineEdit { border: 3px solid rgb(255, 0, 0); color: rgb(255, 0, 0); }";
    case LevelBand::Marginal:
        return "QLineEdit { border: 3px solid rgb(250, 200, 0); color: rgb(250, 200, 0); }";
    case LevelBand::Good: break;
    }
    return {};
}

QLineEdit* PlaceField(QWidget* page, int id, QRect rect)
{
    auto* field = ui::PlaceControl<QLineEdit>(page, id, rect);
    field->setReadOnly(true);
    return field;
}

// Labels keep their place but grow to the right when the desktop's font is wider than the one the
// dialog units were laid out in, so that no label is cut off.
QLabel* PlaceText(QWidget* page, int id, QRect rect, const char* text)
{
    auto* label = ui::PlaceControl<QLabel>(page, id, rect, text);
    label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
    return label;
}

} // namespace

Tool1Main::Tool1Main(IToolHost& host, QWidget* parent) : ToolPage(parent), m_host(host)
{
    resize(ui::DialogSize(728, 394));
    for (Lamp lamp : {Lamp::On, Lamp::Marginal, Lamp::Off})
        m_lampImages[static_cast<size_t>(lamp)] = QPixmap(LampPicture(lamp));
    CreateControls();
    m_pollTimer.setObjectName("pollTimer");
    m_portCheckTimer.setObjectName("portCheckTimer");
    connect(&m_pollTimer, &QTimer::timeout, this, &Tool1Main::OnTimer);
    connect(&m_portCheckTimer, &QTimer::timeout, this, &Tool1Main::RunPortCheck);
    connect(m_test, &QPushButton::clicked, this, &Tool1Main::OnBnClickedTest);
    OnInitDialog();
}

void Tool1Main::CreateControls()
{
    // Frames first, so that the controls they frame lie above them.
    using enum StatusControl::Id;
    ui::PlaceGroupFrame(this, LocalFrame, {7, 3, 193, 68}, "Local Device Info(TX)");
    ui::PlaceGroupFrame(this, RemoteFrame, {207, 3, 193, 68}, "Remote Device Info(RX)");
    ui::PlaceGroupFrame(this, kUnnumbered, {7, 75, 141, 136}, "HPD");
    ui::PlaceGroupFrame(this, kUnnumbered, {7, 223, 141, 145}, "Connection");
    ui::PlaceGroupFrame(this, kUnnumbered, {156, 75, 244, 29}, "Info");
    ui::PlaceGroupFrame(this, kUnnumbered, {156, 109, 243, 259}, "RJ45 connection status");

    PlaceText(this, kUnnumbered, {23, 22, 41, 8}, kModeCaption);
    m_localMode = PlaceField(this, LocalMode, {73, 20, 99, 14});
    PlaceText(this, kUnnumbered, {23, 42, 41, 8}, kSourceCaption);
    m_localSource = PlaceField(this, LocalSource, {73, 40, 99, 14});
    PlaceText(this, kUnnumbered, {224, 22, 41, 8}, kModeCaption);
    m_remoteMode = PlaceField(this, RemoteMode, {275, 20, 99, 14});
    PlaceText(this, kUnnumbered, {224, 42, 41, 8}, kSourceCaption);
    m_remoteSource = PlaceField(this, RemoteSource, {275, 40, 99, 14});

    // Each signal lamp's caption id and width and its lamp's id, from the top, 20 units apart.
    constexpr std::array<std::array<int, 3>, kSignalLampCount> kLampPlaces{
        {{TxSourceFiveVoltsCaption, 67, TxSourceFiveVolts},
         {TxLinkFiveVoltsCaption, 67, TxLinkFiveVolts},
         {TxLinkHpdCaption, 67, TxLinkHpd},
         {RxDisplayHpdCaption, 75, RxDisplayHpd},
         {RxLinkHpdCaption, 67, RxLinkHpd},
         {RxLinkFiveVoltsCaption, 67, RxLinkFiveVolts}}};
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp) {
        const auto [labelId, labelWidth, lampId] = kLampPlaces[lamp];
        const int y = 88 + 20 * lamp;
        PlaceText(this, labelId, {17, y + 2, labelWidth, 8}, kSignalLampCaptions[lamp]);
        m_signalLamps[lamp] = ui::PlaceControl<ui::Picture>(this, lampId, {114, y, 15, 14});
        m_signalLamps[lamp]->setAccessibleName(kSignalLampCaptions[lamp]);
        SetLamp(m_signalLamps[lamp], Lamp::Off);
    }

    PlaceText(this, kUnnumbered, {81, 231, 28, 8}, "MAXERR");
    constexpr std::array<int, kPairCount> kPairIds{PairA, PairB, PairC, PairD};
    constexpr std::array<int, kPairCount> kLabelY{247, 271, 294, 316};
    constexpr std::array<int, kPairCount> kFieldY{246, 268, 292, 314};
    constexpr std::array<const char*, kPairCount> kPairNames{"Pair A", "Pair B", "Pair C",
                                                             "Pair D"};
    for (int pair = 0; pair < kPairCount; ++pair) {
        PlaceText(this, kUnnumbered, {27, kLabelY[pair], 30, 8}, kPairNames[pair]);
        m_pairFields[pair] = PlaceField(this, kPairIds[pair], {69, kFieldY[pair], 50, 14});
        m_pairFields[pair]->setAccessibleName(kPairNames[pair]);
    }

    PlaceText(this, kUnnumbered, {163, 88, 32, 8}, kCableLengthCaption);
    m_cableLength = PlaceField(this, CableLength, {203, 85, 68, 14});
    PlaceText(this, kUnnumbered, {302, 81, 33, 8}, kBerLampCaption);
    PlaceText(this, kUnnumbered, {296, 91, 50, 8}, "(Bit Error Rate)");
    m_berLamp = ui::PlaceControl<ui::Picture>(this, BerLamp, {352, 84, 15, 14});
    m_berLamp->setAccessibleName(kBerLampCaption);
    SetLamp(m_berLamp, Lamp::Off);

    constexpr std::array<int, kPairCount> kLetterX{212, 242, 268, 309};
    constexpr std::array<const char*, kPairCount> kLetters{"A", "B", "C", "D"};
    for (int pair = 0; pair < kPairCount; ++pair)
        PlaceText(this, kUnnumbered, {kLetterX[pair], 122, 8, 8}, kLetters[pair]);
    m_picture = ui::PlaceControl<Rj45Picture>(this, Rj45, {192, 136, 147, 169});
    m_picture->setAccessibleName("RJ45 connection status");
    ShowFaultyPairs({});
    auto* legend = ui::PlaceControl<ui::Picture>(this, kUnnumbered, {362, 118, 27, 41});
    legend->setPixmap(QPixmap(":/pictures/pair-legend.png"));
    legend->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_advice = ui::PlaceControl<QPlainTextEdit>(this, Advice, {174, 311, 208, 50});
    m_advice->setReadOnly(true);
    m_test = ui::PlaceControl<QPushButton>(this, Test, {406, 343, 34, 24}, "Test");
}

void Tool1Main::OnInitDialog()
{
    m_running = false;
    m_poll = Poll(FromSnapshot(m_host.Snapshot()));
    Show(m_poll.Now());
}

void Tool1Main::OnTimer()
{
    m_poll.Tick(m_host);
    Show(m_poll.Now());
}

void Tool1Main::Show(const Reading& reading)
{
    const Display shown = DisplayOf(reading);
    m_localMode->setText(shown.localMode);
    m_remoteMode->setText(shown.remoteMode);
    m_localSource->setText(shown.localSource);
    m_remoteSource->setText(shown.remoteSource);
    m_cableLength->setText(shown.cableLength);
    for (int pair = 0; pair < kPairCount; ++pair)
        ShowPairLevel(pair, shown.pairLevels[pair], shown.pairStates[pair], shown.pairBands[pair]);
    for (int lamp = 0; lamp < kSignalLampCount; ++lamp)
        SetLamp(m_signalLamps[lamp], shown.lamps[lamp]);
    SetLamp(m_berLamp, shown.ber);
}

void Tool1Main::ShowPairLevel(int pair, const QString& text, const QString& state, LevelBand band)
{
    QLineEdit* field = m_pairFields[pair];
    field->setText(text);
    field->setAccessibleDescription(state);
    field->setToolTip(state);
    // The style changes only when the band does.
    if (band != m_pairBands[pair]) {
        m_pairBands[pair] = band;
        field->setStyleSheet(BandStyle(band));
    }
}

void Tool1Main::SetLamp(QLabel* lamp, Lamp state)
{
    lamp->setPixmap(m_lampImages[static_cast<size_t>(state)]);
    const QString text = LampStateText(lamp->accessibleName(), state);
    lamp->setAccessibleDescription(text);
    lamp->setToolTip(text);
}

void Tool1Main::ShowFaultyPairs(const PortFlags& faults)
{
    // The state, not the blink phase: the words stay while the marking blinks.
    const QString text = FaultyPairsText(faults);
    m_picture->setAccessibleDescription(text);
    m_picture->setToolTip(text);
}

void Tool1Main::RunPortCheck()
{
    const Reading& reading = m_poll.Now();
    const PortCheck::Pass pass = m_portCheck.Run(reading.linkUp, reading.portFaults);
    m_advice->setPlainText(pass.advice);
    ShowFaultyPairs(reading.linkUp ? reading.portFaults : PortFlags{});
    if (pass.blink == PortCheck::Blink::Draw)
        m_picture->SetMarking(reading.portFaults);
    else if (pass.blink == PortCheck::Blink::Erase)
        m_picture->SetMarking({});
}

void Tool1Main::OnBnClickedTest()
{
    if (!m_running) {
        if (m_host.Jobs().Running(WireJob::FirmwareUpdate)) {
            ui::ShowMessage(this, ui::kUpdateRunning);
            return;
        }
        m_host.Jobs().Set(WireJob::StatusTest, true);
        m_pollTimer.start(m_periods.tick);
        m_test->setText("Stop");
        m_running = true;
        // One port-check timer, restarted: a quick Stop and Start never leaves two checks running.
        m_portCheckTimer.start(m_periods.portCheck);
        RunPortCheck();
        return;
    }
    m_pollTimer.stop();
    m_test->setText("Start");
    m_running = false;
    m_host.Jobs().Set(WireJob::StatusTest, false);
    m_portCheckTimer.stop();
    m_advice->clear();
    // Nothing checks the ports once stopped, so no marking is left standing.
    m_picture->SetMarking({});
    ShowFaultyPairs({});
}

void Tool1Main::OnClose()
{
    // Both timers run on the UI thread, so stopping them is all the shutting down there is: no
    // pass can be under way, and none can start after this.
    m_pollTimer.stop();
    m_portCheckTimer.stop();
    m_running = false;
    m_host.Jobs().Set(WireJob::StatusTest, false);
}
