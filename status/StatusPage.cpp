#include "status/StatusPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "status/PollSchedule.h"
#include "status/Rj45Picture.h"
#include "status/StateText.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/MessageBox.h"

using namespace status;

namespace {

// Controls the page never looks up again carry no number.
constexpr int kUnnumbered = -1;

constexpr uint8_t kGroup1 = 0x01;
constexpr uint8_t kGroup2 = 0x02;
constexpr uint8_t kLocalModeReg = 0x04;
constexpr uint8_t kRemoteModeReg = 0x08;
constexpr uint8_t kPairLevelsReg = 0x09;
constexpr uint8_t kLocalSignalsReg = 0x0B;
constexpr uint8_t kLocalCableReg = 0x0C;
constexpr uint8_t kStartupBerReg = 0x0E;
constexpr uint8_t kRemoteSignalsReg = 0x11;
constexpr uint8_t kRemoteCableReg = 0x12;
constexpr uint8_t kBerReg = 0x14;
constexpr uint8_t kLocalSourceReg = 0x02;  // group 2
constexpr uint8_t kRemoteSourceReg = 0x04; // group 2
constexpr size_t kCableByte = 3;

constexpr const char* kNotAvailable = "N/A";

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
    case LevelBand::Red:
        return "QLineEdit { border: 3px solid rgb(255, 0, 0); color: rgb(255, 0, 0); }";
    case LevelBand::Amber:
        return "QLineEdit { border: 3px solid rgb(250, 200, 0); color: rgb(250, 200, 0); }";
    case LevelBand::Normal: break;
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

Tool1Main::Tool1Main(IRegisterHost& host, QWidget* parent) : ToolPage(parent), m_host(host)
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
    ui::PlaceGroupFrame(this, 1108, {7, 3, 193, 68}, "Local Device Info(TX)");
    ui::PlaceGroupFrame(this, 1109, {207, 3, 193, 68}, "Remote Device Info(RX)");
    ui::PlaceGroupFrame(this, kUnnumbered, {7, 75, 141, 136}, "HPD");
    ui::PlaceGroupFrame(this, kUnnumbered, {7, 223, 141, 145}, "Connection");
    ui::PlaceGroupFrame(this, kUnnumbered, {156, 75, 244, 29}, "Info");
    ui::PlaceGroupFrame(this, kUnnumbered, {156, 109, 243, 259}, "RJ45 connection status");

    PlaceText(this, kUnnumbered, {23, 22, 41, 8}, "Torvan Mode");
    m_localMode = PlaceField(this, 1014, {73, 20, 99, 14});
    PlaceText(this, kUnnumbered, {23, 42, 41, 8}, "Source Type");
    m_localSource = PlaceField(this, 1010, {73, 40, 99, 14});
    PlaceText(this, kUnnumbered, {224, 22, 41, 8}, "Torvan Mode");
    m_remoteMode = PlaceField(this, 1046, {275, 20, 99, 14});
    PlaceText(this, kUnnumbered, {224, 42, 41, 8}, "Source Type");
    m_remoteSource = PlaceField(this, 1042, {275, 40, 99, 14});

    const auto placeLamp = [this](int labelId, int labelWidth, const char* label, int lampId,
                                  int y) {
        PlaceText(this, labelId, {17, y + 2, labelWidth, 8}, label);
        auto* lamp = ui::PlaceControl<QLabel>(this, lampId, {114, y, 15, 14});
        lamp->setAccessibleName(label);
        SetLamp(lamp, Lamp::Off);
        return lamp;
    };
    m_local5vFromSource = placeLamp(1110, 67, "5V from source(TX)", 1097, 88);
    m_local5vToLink = placeLamp(1111, 67, "5V to link(TX)", 1098, 108);
    m_localHpd = placeLamp(1112, 67, "HPD from link(TX)", 1099, 128);
    m_remoteHpdFromDisplay = placeLamp(1114, 75, "HPD from display(RX)", 1095, 148);
    m_remoteHpdToLink = placeLamp(1115, 67, "HPD to link(RX)", 1096, 168);
    m_remote5v = placeLamp(1113, 67, "5V from link(RX)", 1094, 188);

    PlaceText(this, kUnnumbered, {81, 231, 28, 8}, "MAXERR");
    constexpr std::array<int, kPairCount> kPairIds{1017, 1023, 1024, 1025};
    constexpr std::array<int, kPairCount> kLabelY{247, 271, 294, 316};
    constexpr std::array<int, kPairCount> kFieldY{246, 268, 292, 314};
    constexpr std::array<const char*, kPairCount> kPairNames{"Pair A", "Pair B", "Pair C",
                                                             "Pair D"};
    for (int pair = 0; pair < kPairCount; ++pair) {
        PlaceText(this, kUnnumbered, {27, kLabelY[pair], 30, 8}, kPairNames[pair]);
        m_pairFields[pair] = PlaceField(this, kPairIds[pair], {69, kFieldY[pair], 50, 14});
        m_pairFields[pair]->setAccessibleName(kPairNames[pair]);
    }

    PlaceText(this, kUnnumbered, {163, 88, 32, 8}, "Cable Len");
    m_cableLength = PlaceField(this, 1037, {203, 85, 68, 14});
    PlaceText(this, kUnnumbered, {302, 81, 33, 8}, "Video BER");
    PlaceText(this, kUnnumbered, {296, 91, 50, 8}, "(Bit Error Rate)");
    m_berLamp = ui::PlaceControl<QLabel>(this, 1103, {352, 84, 15, 14});
    m_berLamp->setAccessibleName("Video BER");
    SetLamp(m_berLamp, Lamp::Off);

    constexpr std::array<int, kPairCount> kLetterX{212, 242, 268, 309};
    constexpr std::array<const char*, kPairCount> kLetters{"A", "B", "C", "D"};
    for (int pair = 0; pair < kPairCount; ++pair)
        PlaceText(this, kUnnumbered, {kLetterX[pair], 122, 8, 8}, kLetters[pair]);
    m_picture = ui::PlaceControl<Rj45Picture>(this, 1104, {192, 136, 147, 169});
    m_picture->setAccessibleName("RJ45 connection status");
    ShowFaultyPairs({});
    auto* legend = ui::PlaceControl<QLabel>(this, kUnnumbered, {362, 118, 27, 41});
    legend->setPixmap(QPixmap(":/pictures/pair-legend.png"));
    legend->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_advice = ui::PlaceControl<QPlainTextEdit>(this, 1077, {174, 311, 208, 50});
    m_advice->setReadOnly(true);
    m_test = ui::PlaceControl<QPushButton>(this, 1075, {406, 343, 34, 24}, "Test");
}

void Tool1Main::OnInitDialog()
{
    m_pairLevels.fill(0.0f);
    m_portFaults.fill(false);
    m_linkUp = false;
    m_running = false;
    m_tickCount = 0;

    const RegisterSnapshot& snapshot = m_host.Snapshot();
    const auto valid = [&](uint8_t group, uint8_t reg) { return snapshot.IsValid(group, reg); };
    const auto byte0 = [&](uint8_t group, uint8_t reg) { return snapshot.Data(group, reg)[0]; };

    if (valid(kGroup1, kLocalModeReg))
        m_localMode->setText(ModeText(byte0(kGroup1, kLocalModeReg)));
    m_remoteMode->setText(valid(kGroup1, kRemoteModeReg)
                              ? ModeText(byte0(kGroup1, kRemoteModeReg), kNotAvailable)
                              : kNotAvailable);
    if (valid(kGroup1, kLocalSignalsReg))
        ShowLocalSignals(DecodeLocalSignals(byte0(kGroup1, kLocalSignalsReg)));
    if (valid(kGroup1, kLocalCableReg) && valid(kGroup1, kRemoteCableReg))
        m_cableLength->setText(
            CableLengthText(snapshot.Data(kGroup1, kLocalCableReg)[kCableByte],
                            snapshot.Data(kGroup1, kRemoteCableReg)[kCableByte]));
    else
        m_cableLength->setText(kNotAvailable);
    if (valid(kGroup1, kPairLevelsReg)) {
        // Shown only: the fault flags wait for the first poll.
        for (int pair = 0; pair < kPairCount; ++pair)
            m_pairLevels[pair] = PairLevel(snapshot.Data(kGroup1, kPairLevelsReg)[pair]);
        ShowPairLevels();
    }
    if (valid(kGroup1, kRemoteSignalsReg))
        ShowRemoteSignals(DecodeRemoteSignals(byte0(kGroup1, kRemoteSignalsReg)));
    SetLamp(m_berLamp,
            valid(kGroup1, kStartupBerReg) ? BerLamp(byte0(kGroup1, kStartupBerReg)) : Lamp::Off);
    if (valid(kGroup2, kLocalSourceReg))
        m_localSource->setText(SourceTypeText(byte0(kGroup2, kLocalSourceReg)));
    if (valid(kGroup2, kRemoteSourceReg))
        m_remoteSource->setText(SourceTypeText(byte0(kGroup2, kRemoteSourceReg)));
}

bool Tool1Main::Read(uint8_t target, uint8_t reg, RegisterData& out)
{
    return m_host.ReadRegister(target, reg, out.data());
}

void Tool1Main::OnTimer()
{
    if (RunsLinkBlock(m_tickCount))
        LinkBlock();
    if (RunsSignalBlock(m_tickCount))
        SignalBlock();
    ++m_tickCount;
}

void Tool1Main::LinkBlock()
{
    RegisterData data{};
    if (Read(kGroup1, kPairLevelsReg, data)) {
        for (int pair = 0; pair < kPairCount; ++pair) {
            m_pairLevels[pair] = PairLevel(data[pair]);
            m_portFaults[pair] = PortFaulty(m_pairLevels[pair]);
        }
        ShowPairLevels();
    } else {
        m_pairLevels.fill(0.0f);
        m_linkUp = false;
        m_portFaults.fill(false);
        ShowPairLevelsMissing();
    }

    if (Read(kGroup1, kLocalModeReg, data))
        m_localMode->setText(ModeText(data[0]));
    m_remoteMode->setText(Read(kGroup1, kRemoteModeReg, data) ? ModeText(data[0]) : "Disconnect");

    // Both ends must answer for the link to count as up; a failed local read skips the remote one.
    RegisterData local{};
    RegisterData remote{};
    m_linkUp = Read(kGroup1, kLocalCableReg, local) && Read(kGroup1, kRemoteCableReg, remote);
    m_cableLength->setText(m_linkUp ? CableLengthText(local[kCableByte], remote[kCableByte])
                                    : kNotAvailable);
}

void Tool1Main::SignalBlock()
{
    RegisterData data{};
    if (Read(kGroup1, kLocalSignalsReg, data))
        ShowLocalSignals(DecodeLocalSignals(data[0]));
    else
        ShowLocalSignals({Lamp::Off, Lamp::Off});
    if (Read(kGroup1, kRemoteSignalsReg, data))
        ShowRemoteSignals(DecodeRemoteSignals(data[0]));
    else
        ShowRemoteSignals({Lamp::Off, Lamp::Off});
    m_localSource->setText(Read(kGroup2, kLocalSourceReg, data) ? SourceTypeText(data[0]) : "");
    m_remoteSource->setText(Read(kGroup2, kRemoteSourceReg, data) ? SourceTypeText(data[0]) : "");
    SetLamp(m_berLamp, Read(kGroup1, kBerReg, data) ? BerLamp(data[0]) : Lamp::Off);
}

void Tool1Main::ShowPairLevels()
{
    for (int pair = 0; pair < kPairCount; ++pair)
        ShowPairLevel(pair, PairLevelText(m_pairLevels[pair]));
}

void Tool1Main::ShowPairLevelsMissing()
{
    for (int pair = 0; pair < kPairCount; ++pair)
        ShowPairLevel(pair, kNotAvailable);
}

void Tool1Main::ShowPairLevel(int pair, const QString& text)
{
    QLineEdit* field = m_pairFields[pair];
    field->setText(text);
    // The colour follows the stored level; the style changes only when the band does.
    const LevelBand band = PairLevelBand(m_pairLevels[pair]);
    const QString state = PairLevelStateText(pair, text, band);
    field->setAccessibleDescription(state);
    field->setToolTip(state);
    if (band != m_pairBands[pair]) {
        m_pairBands[pair] = band;
        field->setStyleSheet(BandStyle(band));
    }
}

void Tool1Main::ShowLocalSignals(const LocalSignals& lines)
{
    SetLamp(m_local5vFromSource, lines.fiveVolt);
    SetLamp(m_local5vToLink, lines.fiveVolt);
    SetLamp(m_localHpd, lines.hpd);
}

void Tool1Main::ShowRemoteSignals(const RemoteSignals& lines)
{
    SetLamp(m_remote5v, lines.fiveVolt);
    SetLamp(m_remoteHpdFromDisplay, lines.hpd);
    SetLamp(m_remoteHpdToLink, lines.hpd);
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

void Tool1Main::ShowAdvice(const QString& text)
{
    // The advice lines end in CR LF; the text field wants plain line feeds.
    m_advice->setPlainText(QString(text).replace("\r\n", "\n"));
}

void Tool1Main::RunPortCheck()
{
    const PortCheck::Pass pass = m_portCheck.Run(m_linkUp, m_portFaults);
    ShowAdvice(pass.advice);
    ShowFaultyPairs(m_linkUp ? m_portFaults : PortFlags{});
    if (pass.blink == PortCheck::Blink::Draw)
        m_picture->SetMarking(m_portFaults);
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
    ShowAdvice("");
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
