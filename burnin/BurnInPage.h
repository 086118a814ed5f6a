#pragma once
#include <QTimer>
#include <array>
#include <chrono>
#include <memory>

#include "burnin/BurnInSession.h"
#include "burnin/ClockReading.h"
#include "ui/ToolHost.h"
#include "ui/ToolPage.h"

class ChartView;
class CycleWorker;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Where the page takes its time from. Tests and the soak replace the clock and shorten the periods
// so that a day of samples runs in moments.
struct BurnInTiming {
    BurnInClock clock = ReadLocalClock;
    // Sampling period of each item of the period box.
    burnin::PeriodLengths periods = burnin::SamplePeriodLengths();
    // The clock-and-log cycle and the chart refresh.
    std::chrono::milliseconds cycle = burnin::kCyclePeriod;
    // No clock-and-log thread: whoever drives the page calls ClockLogCycle itself.
    bool manualCycle = false;
};

// The Burn-In Test page's controls, by the number each carries and is found by.
struct BurnInControl {
    enum Id : int {
        Time = 1120,
        Period = 1107,
        Chart = 1105,
        StartStop = 1103,
        SaveAs = 1106,
    };
};

// The "Burn-In Test" page: at the chosen period it checks that the device answers and samples the
// link, the video source and the local 5 V and HPD lines; it draws the last 30 samples as a strip
// chart and logs failures to BIT.txt with time stamps. All device traffic runs on the UI thread
// from the sample timer; the clock-and-log cycle runs on a thread of its own and never talks to
// the device.
class CBIT : public ToolPage {
    Q_OBJECT
public:
    explicit CBIT(IToolHost& host, QWidget* parent = nullptr);
    ~CBIT() override;

    // Only while no run is in progress.
    void SetTiming(BurnInTiming timing);

    void OnBnClickedStartStop();
    void OnBnClickedSaveAs();
    // One sample (the sample timer's tick).
    void OnTimer();
    // One turn of the clock-and-log cycle: shows the clock and writes due log entries. Safe to
    // call from any thread.
    void ClockLogCycle();
    void OnClose() override;

    bool IsRunning() const { return m_running; }
    ChartData Chart() const { return m_session.Chart(); }
    const BurnInSession& Session() const { return m_session; }

private:
    void OnInitDialog();
    void CreateControls();
    std::chrono::milliseconds SelectedPeriod() const;
    void BeginRun(std::chrono::milliseconds period);
    void EndRun(bool deviceGone = false);
    // Said once per run in the page, not in a box each second.
    void TellLogFailure(const LogError& error);

    IToolHost& m_host;
    BurnInTiming m_timing;
    BurnInSession m_session;
    std::unique_ptr<CycleWorker> m_clockLog;
    QTimer m_sampleTimer{this};
    QTimer m_chartTimer;
    bool m_running = false;
    bool m_toldLogFailure = false;

    QLineEdit* m_timeBox = nullptr;
    QComboBox* m_period = nullptr;
    ChartView* m_chart = nullptr;
    QPushButton* m_startStop = nullptr;
    QLabel* m_notice = nullptr;
};
