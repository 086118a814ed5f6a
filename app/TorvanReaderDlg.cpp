#include "app/TorvanReaderDlg.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>

#include "app/AboutDlg.h"
#include "app/PerformanceTool.h"
#include "app/UnitNotifier.h"
#include "app/WindowCaption.h"
#include "burnin/ClockReading.h"
#include "device/StatusRegister.h"
#include "firmware/UserSettings.h"
#include "history/Keeper.h"
#include "monitor/SupportReport.h"
#include "ui/DialogUnits.h"
#include "ui/Picture.h"

namespace {

constexpr const char* kConnected = " States: Connected";
constexpr const char* kUnconnected = " States: Unconnected";
constexpr const char* kConnectInstruction =
    " Please connect the device to PC via USB to mini-USB cable.";
// The unit the user picked last, chosen again whenever it is present: its serial number, and
// where it was plugged in.
constexpr const char* kLastUnitKey = "LastUnit";
constexpr const char* kLastUnitPathKey = "LastUnitPath";

// A unit plugged in may be listed before udev's rules have given the user its node: it is tried
// again once a second for a few seconds.
constexpr std::chrono::milliseconds kRetryPeriod{1000};
constexpr int kRetries = 5;

UnitChoice LastChosen()
{
    const QSettings settings = UserSettings();
    return {settings.value(kLastUnitKey).toString().toStdString(),
            settings.value(kLastUnitPathKey).toString().toStdString()};
}

} // namespace

CTorvanReaderDlg::CTorvanReaderDlg(IHidBackend& backend, IUnitWatcher* watcher, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_channel(backend)
{
    setWindowTitle(kWindowCaption);
    setWindowIcon(QIcon(":/pictures/icon.png"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);
    auto* client = new QWidget(this);
    client->setFixedSize(ui::DialogSize(297, 272));
    layout->addWidget(client);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    CreateControls(client);
    CreateMenu(menuBar);
    m_retry = new QTimer(this);
    m_retry->setInterval(kRetryPeriod);
    connect(m_retry, &QTimer::timeout, this, &CTorvanReaderDlg::OnRetry);
    // Listening starts before the first enumeration, so that a unit plugged in between is seen.
    if (watcher)
        new UnitNotifier(
            *watcher, [this](const std::vector<UnitChange>& changes) { OnUnitsChanged(changes); },
            this);
    OnInitDialog();
}

CTorvanReaderDlg::~CTorvanReaderDlg() = default;

void CTorvanReaderDlg::CreateControls(QWidget* client)
{
    using enum MainControl::Id;
    auto* ok = ui::PlaceControl<QPushButton>(client, Ok, {231, 202, 50, 14}, "OK");
    ok->hide();
    connect(ok, &QPushButton::clicked, this, &CTorvanReaderDlg::OnOK);
    auto* cancel = ui::PlaceControl<QPushButton>(client, Cancel, {239, 224, 50, 14}, "Cancel");
    cancel->hide();
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* picture = ui::PlaceControl<ui::Picture>(client, Banner, {17, 10, 266, 116});
    picture->setPixmap(QPixmap(":/pictures/banner.png"));
    picture->setAlignment(Qt::AlignCenter);

    m_startToAnalyze = ui::PlaceControl<QPushButton>(client, StartToAnalyze, {104, 159, 73, 14},
                                                     "Start to Analyze");
    connect(m_startToAnalyze, &QPushButton::clicked, this, &CTorvanReaderDlg::OnStartToAnalyze);
    // Two buttons the window carries hidden: never shown, with no behaviour.
    m_programmerTool = ui::PlaceControl<QPushButton>(client, ProgrammerButton, {127, 189, 73, 14},
                                                     "Programmer Tool");
    m_programmerTool->hide();
    m_resetTool =
        ui::PlaceControl<QPushButton>(client, ResetButton, {127, 210, 73, 14}, "Reset Tool");
    m_resetTool->hide();

    m_state = ui::PlaceControl<QLabel>(client, State, {0, 243, 73, 15}, kUnconnected);
    m_instruction = ui::PlaceControl<QLabel>(client, Instruction, {73, 243, 224, 15});
    for (QLabel* line : {m_state, m_instruction})
        line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The state line is as wide as its longer text needs in this font, which is wider than the
    // layout's 73 units allow, and the instruction follows it: " States: Unconnected" is the text
    // a user without a unit must be able to read.
    const QFontMetrics metrics = m_state->fontMetrics();
    const int stateWidth = std::max(m_state->width(), metrics.horizontalAdvance(kUnconnected)
                                                          + metrics.averageCharWidth());
    m_state->resize(stateWidth, m_state->height());
    m_instruction->setGeometry(
        m_instruction->geometry().adjusted(stateWidth - m_instruction->geometry().left(), 0, 0, 0));
    // Shown only where there is something to do about a unit that could not be opened: in the
    // free space above the state line, on as many lines as it takes.
    m_advice = ui::PlaceControl<QLabel>(client, Advice, {6, 208, 285, 32});
    m_advice->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    m_advice->setWordWrap(true);
    m_advice->hide();

    // Shown only with two or more extenders present.
    m_units = ui::PlaceControl<QComboBox>(client, Units, {24, 137, 249, 14});
    m_units->setAccessibleName("Extender unit");
    m_units->hide();
    connect(m_units, &QComboBox::activated, this, &CTorvanReaderDlg::OnUnitPicked);
}

void CTorvanReaderDlg::CreateMenu(QMenuBar* menuBar)
{
    QMenu* file = menuBar->addMenu("&File");
    connect(file->addAction("&Reconnect"), &QAction::triggered, this,
            &CTorvanReaderDlg::OnReconnect);
    connect(file->addAction("&Exit"), &QAction::triggered, this, &QDialog::reject);
    QMenu* help = menuBar->addMenu("&Help");
    connect(help->addAction("&About"), &QAction::triggered, this, [this] { ShowVersionBox(this); });
    // Linux desktops offer no system menu entries, so the About box sits beside the version box.
    help->addSeparator();
    connect(help->addAction("&About TorvanReader..."), &QAction::triggered, this,
            &CTorvanReaderDlg::OnAboutBox);
}

void CTorvanReaderDlg::OnInitDialog()
{
    // Opening the window finds the extender exactly as Reconnect does.
    OnReconnect();
    RetryIfNotOpened();
}

void CTorvanReaderDlg::SetRetryPeriod(std::chrono::milliseconds period)
{
    m_retry->setInterval(period);
}

void CTorvanReaderDlg::ShowNotOpened(const CHidIO::Opening& opening)
{
    // A unit that is there but held by another program or not open to this user is not asked
    // to be plugged in: the user is told what stands in the way.
    const bool absent = opening.result == CHidIO::Opening::Result::NotFound;
    m_instruction->setText(absent ? kConnectInstruction
                                  : QString::fromStdString(" " + opening.Why() + "."));
    ShowReason(absent ? QString() : QString::fromStdString(opening.Why()),
               QString::fromStdString(opening.Advice()));
    m_state->setText(kUnconnected);
    EnableButtons(false);
}

void CTorvanReaderDlg::ShowReason(const QString& reason, const QString& advice)
{
    const QString told = advice.isEmpty() ? reason : reason + ": " + advice;
    for (QLabel* line : {m_state, m_instruction}) {
        line->setAccessibleDescription(told);
        line->setToolTip(told);
    }
    m_advice->setText(advice.isEmpty() ? QString() : advice[0].toUpper() + advice.mid(1) + ".");
    m_advice->setVisible(!advice.isEmpty());
}

void CTorvanReaderDlg::EnableButtons(bool enable)
{
    for (QPushButton* button : {m_startToAnalyze, m_programmerTool, m_resetTool})
        button->setEnabled(enable);
}

void CTorvanReaderDlg::OnReconnect()
{
    const std::vector<CHidIO::Unit> units = ListUnits();
    ConnectTo(units.empty() ? std::string() : units[ChosenUnit(units, LastChosen())].path);
}

void CTorvanReaderDlg::ConnectTo(const std::string& path)
{
    if (const CHidIO::Opening opening = m_channel.Transport().Open(path); !opening) {
        ShowNotOpened(opening);
        return;
    }
    m_pulled.reset();
    m_retry->stop();
    m_instruction->clear();
    ShowReason({}, {});
    const bool connected = AnswersConnectCheck(m_channel);
    m_state->setText(connected ? kConnected : kUnconnected);
    EnableButtons(connected);
}

std::vector<CHidIO::Unit> CTorvanReaderDlg::ListUnits()
{
    std::vector<CHidIO::Unit> units = CHidIO::Extenders(m_channel.Transport().Backend());
    m_seen.Note(units);
    const CHidIO::Unit* inUse = m_channel.Transport().Opened();
    const UnitChoice chosen =
        inUse ? UnitChoice{inUse->attributes.serial, inUse->path} : LastChosen();
    m_units->clear();
    for (const CHidIO::Unit& unit : units)
        m_units->addItem(QString::fromStdString(UnitLabel(unit)),
                         QStringList{QString::fromStdString(unit.attributes.serial),
                                     QString::fromStdString(unit.path)});
    if (!units.empty())
        m_units->setCurrentIndex(int(ChosenUnit(units, chosen)));
    m_units->setVisible(m_seen.ChoiceOffered());
    ShowUnitToFollower();
    return units;
}

void CTorvanReaderDlg::OnUnitPicked(int index)
{
    const QStringList picked = m_units->itemData(index).toStringList();
    QSettings settings = UserSettings();
    settings.setValue(kLastUnitKey, picked.value(0));
    settings.setValue(kLastUnitPathKey, picked.value(1));
    // The unit picked is now the one chosen last: Reconnect opens it.
    m_channel.Transport().Close();
    OnReconnect();
}

void CTorvanReaderDlg::OnUnitsChanged(const std::vector<UnitChange>& changes)
{
    bool appeared = false;
    for (const UnitChange& change : changes) {
        const CHidIO::Unit* inUse = m_channel.Transport().Opened();
        if (change.kind == UnitChange::Kind::Added)
            appeared = true;
        else if (inUse && inUse->path == change.path)
            OnPulled();
    }
    ReachPresentUnit(ListUnits());
    if (appeared)
        RetryIfNotOpened();
}

void CTorvanReaderDlg::ReachPresentUnit(const std::vector<CHidIO::Unit>& units)
{
    if (m_channel.Transport().IsOpen() || units.empty())
        return;
    if (!m_follower) { // the main window alone: the unit chosen last, or another one present
        OnReconnect();
        return;
    }
    // The tool window works on one unit: that one is taken back, never another in its place.
    for (const CHidIO::Unit& unit : units) {
        if (m_pulled && m_seen.KnownAgain(*m_pulled, unit)) {
            // Back in place, whether or not it answered yet: the pages' next commands tell.
            ConnectTo(unit.path);
            ShowUnitToFollower();
            return;
        }
    }
}

void CTorvanReaderDlg::RetryIfNotOpened()
{
    m_retriesLeft = m_channel.Transport().IsOpen() || m_units->count() == 0 ? 0 : kRetries;
    m_retriesLeft > 0 ? m_retry->start() : m_retry->stop();
}

void CTorvanReaderDlg::OnRetry()
{
    if (--m_retriesLeft <= 0)
        m_retry->stop();
    ReachPresentUnit(ListUnits());
}

void CTorvanReaderDlg::ShowUnitToFollower()
{
    if (!m_follower)
        return;
    const CHidIO::Unit* unit = m_channel.Transport().Opened();
    if (!unit && m_pulled)
        unit = &*m_pulled;
    const bool named = unit && m_seen.ChoiceOffered();
    m_follower->UnitShown(named ? m_seen.Name(*unit) : std::string(), !m_pulled);
}

void CTorvanReaderDlg::Follow(IUnitFollower& follower, bool follows)
{
    if (follows) {
        m_follower = &follower;
        ShowUnitToFollower();
        return;
    }
    if (m_follower != &follower)
        return;
    m_follower = nullptr;
    m_pulled.reset();
    // The tool window kept its own unit's place; a unit present now is the main window's again.
    ReachPresentUnit(ListUnits());
}

void CTorvanReaderDlg::OnPulled()
{
    // Only the tool window waits for its own unit; the main window takes any unit present.
    if (m_follower)
        m_pulled = *m_channel.Transport().Opened();
    // The node is gone: the pages' next commands fail at once rather than on a dead handle.
    m_channel.Transport().Close();
    ShowNotOpened({});
    ShowUnitToFollower();
}

void CTorvanReaderDlg::OnOK()
{
    m_startToAnalyze->setEnabled(true);
    m_programmerTool->setEnabled(true);
}

void CTorvanReaderDlg::OnStartToAnalyze()
{
    // The tool window works with the unit chosen and opened here, and with no other.
    PerformanceTool tool(this);
    tool.exec();
}

void CTorvanReaderDlg::OnAboutBox()
{
    CAboutDlg about([this] { return SupportReport(); }, this);
    about.exec();
}

QString CTorvanReaderDlg::SupportReport()
{
    // The window reads through its one channel: the unit it has open, and no other.
    std::vector<monitor::UnitReading> readings;
    const CHidIO::Unit* open = m_channel.Transport().Opened();
    for (const CHidIO::Unit& unit : CHidIO::Extenders(m_channel.Transport().Backend())) {
        monitor::UnitReading& reading = readings.emplace_back(monitor::UnitReading{.unit = unit});
        if (open && unit.path == open->path)
            monitor::ReadOpenUnit(m_channel, reading);
        else
            reading.why = "the window reads only the unit it has open";
    }
    const auto history = history::Keeper::Current();
    return monitor::SupportReport({"torvanreader", FormatTimeStamp(ReadLocalClock()),
                                   QString::fromStdString(m_channel.Transport().Backend().Name()),
                                   history ? history->File() : QString()},
                                  readings);
}

void CTorvanReaderDlg::keyPressEvent(QKeyEvent* event)
{
    // A focused push button takes Enter itself; any other Enter is the hidden OK button's.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    QDialog::keyPressEvent(event);
}
