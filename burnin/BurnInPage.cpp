#include "burnin/BurnInPage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "burnin/ChartView.h"
#include "burnin/CycleWorker.h"
#include "burnin/DescriptionDlg.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"

namespace {

constexpr const char* kStart = "Start";
constexpr const char* kStop = "Stop";

struct Label {
    const char* text;
    QRect place;
};

// Trace labels, each level with the band of its trace.
constexpr std::array<Label, 9> kLabels{{
    {"Update Frequency", {8, 26, 60, 8}},
    {"Link ", {33, 75, 15, 8}},
    {"Video Signal", {25, 115, 39, 8}},
    {"5V from Source(Tx)", {19, 154, 63, 8}},
    {"5V to link(Tx)", {19, 164, 43, 8}},
    {"5V from link(Rx)", {19, 174, 52, 8}},
    {"HPD from link(Tx)", {21, 216, 56, 8}},
    {"HPD from Display(Rx)", {21, 225, 70, 8}},
    {"HPD to link(Rx)", {21, 234, 49, 8}},
}};

} // namespace

CBIT::CBIT(IToolHost& host, QWidget* parent)
    : ToolPage(parent), m_host(host), m_session(m_timing.clock)
{
    CreateControls();
    OnInitDialog();
    m_sampleTimer.setObjectName("sampleTimer");
    connect(&m_sampleTimer, &QTimer::timeout, this, &CBIT::OnTimer);
    connect(&m_chartTimer, &QTimer::timeout, m_chart, &ChartView::Refresh);
}

CBIT::~CBIT()
{
    OnClose();
}

void CBIT::CreateControls()
{
    using enum BurnInControl::Id;
    setFixedSize(ui::DialogSize(506, 411));
    m_timeBox = ui::PlaceControl<QLineEdit>(this, Time, {7, 7, 128, 14});
    m_timeBox->setReadOnly(true);
    m_period = ui::PlaceControl<QComboBox>(this, Period, {75, 24, 95, 12});
    m_chart = ui::PlaceControl<ChartView>(this, Chart, {101, 58, 341, 209},
                                          [this] { return m_session.Chart(); });
    for (const Label& label : kLabels) {
        // The labels' places are measured for the 8-point dialog font; a little wider and taller
        // than that, so that no desktop font clips the text.
        const QRect& r = label.place;
        auto* text = new QLabel(label.text, this);
        text->setGeometry(ui::DialogRect(r.x(), r.y(), r.width() + 20, r.height() + 2));
    }
    m_startStop = ui::PlaceControl<QPushButton>(this, StartStop, {133, 336, 50, 14}, kStart);
    connect(m_startStop, &QPushButton::clicked, this, &CBIT::OnBnClickedStartStop);
    auto* saveAs = ui::PlaceControl<QPushButton>(this, SaveAs, {239, 335, 50, 14}, "Save as...");
    connect(saveAs, &QPushButton::clicked, this, &CBIT::OnBnClickedSaveAs);

    // A label of its own, not one of the page's numbered controls, in the free space right of the
    // time box: where a log that cannot be written is reported.
    m_notice = new QLabel(this);
    m_notice->setObjectName("logNotice");
    m_notice->setGeometry(ui::DialogRect(140, 7, 360, 14));
    m_notice->setStyleSheet("color: #b00000;");
    m_notice->hide();
}

void CBIT::OnInitDialog()
{
    m_running = false;
    for (const burnin::SamplePeriod& period : burnin::kSamplePeriods)
        m_period->addItem(period.item);
    m_period->setCurrentIndex(0);
    SetTiming(m_timing);
}

void CBIT::SetTiming(BurnInTiming timing)
{
    if (m_running)
        return;
    m_clockLog.reset();
    m_timing = std::move(timing);
    m_session.SetClock(m_timing.clock);
    if (!m_timing.manualCycle)
        m_clockLog = std::make_unique<CycleWorker>([this] { ClockLogCycle(); }, m_timing.cycle);
}

std::chrono::milliseconds CBIT::SelectedPeriod() const
{
    const int index = m_period->currentIndex();
    if (index < 0 || index >= static_cast<int>(m_timing.periods.size()))
        return m_timing.periods.back();
    return m_timing.periods[index];
}

void CBIT::OnBnClickedStartStop()
{
    m_timeBox->setText(FormatTimeStamp(m_timing.clock()));
    if (m_running)
        EndRun();
    else
        BeginRun(SelectedPeriod());
}

void CBIT::BeginRun(std::chrono::milliseconds period)
{
    if (m_host.Jobs().Running(WireJob::FirmwareUpdate)) {
        ui::ShowMessage(this, ui::kUpdateRunning);
        return;
    }
    if (const std::optional<LogRefusal> refused = m_session.HoldLog()) { // left alone
        ui::ShowMessage(this,
                        refused->why
                            + (refused->inUse ? ". Start the test again when that run has ended."
                                              : ". Start the tool in a folder you may write to."));
        return;
    }
    m_host.Jobs().Set(WireJob::BurnIn, true);
    m_toldLogFailure = false;
    m_notice->hide();
    if (const std::optional<LogError> error = m_session.Begin())
        TellLogFailure(*error);

    // The first sample comes one period after Start, not at once.
    m_sampleTimer.start(period);
    m_running = true;
    m_startStop->setText(kStop);
    if (m_clockLog)
        m_clockLog->Start();
    m_chartTimer.start(m_timing.cycle);
    m_chart->update();
}

void CBIT::EndRun(bool deviceGone)
{
    // The cycle in hand writes its entries before the log is let go, and none comes after.
    if (m_clockLog) {
        m_clockLog->Stop();
        m_clockLog->Wait();
    }
    m_sampleTimer.stop();
    m_chartTimer.stop();
    m_running = false;
    m_host.Jobs().Set(WireJob::BurnIn, false);
    m_startStop->setText(kStart);
    if (const std::optional<LogError> error = m_session.End(deviceGone))
        TellLogFailure(*error);
}

void CBIT::OnTimer()
{
    if (!m_running)
        return;
    if (!m_session.Sample(m_host)) {
        // The device is gone: the run ends, and the log says so, so that an unattended run that
        // lost its device never looks clean.
        EndRun(true);
    }
}

void CBIT::ClockLogCycle()
{
    const CycleReport report = m_session.ClockLogCycle();
    // Handed over without waiting, so that closing the page, which waits for this thread, never
    // waits for the UI thread in turn.
    QMetaObject::invokeMethod(
        this,
        [this, text = FormatTimeStamp(report.time), error = report.writeError] {
            m_timeBox->setText(text);
            if (error)
                TellLogFailure(*error);
        },
        Qt::QueuedConnection);
}

void CBIT::TellLogFailure(const LogError& error)
{
    if (m_toldLogFailure)
        return;
    m_toldLogFailure = true;
    m_notice->setText(burnin::LogFailureNotice(error));
    m_notice->show();
}

void CBIT::OnBnClickedSaveAs()
{
    CDescription report(m_timing.clock);
    report.exec();
}

void CBIT::OnClose()
{
    EndRun();
}
