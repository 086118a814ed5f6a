#pragma once
#include "ui/ToolPage.h"

#include <QPixmap>
#include <QTimer>
#include <array>
#include <chrono>
#include <cstdint>

#include "device/StatusRegister.h"
#include "status/PollSchedule.h"
#include "status/PortCheck.h"
#include "status/StateText.h"
#include "status/StatusReading.h"
#include "ui/ToolHost.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Rj45Picture;

// The Status page's controls, by the number each carries and is found by.
struct StatusControl {
    enum Id : int {
        LocalFrame = 1108,
        RemoteFrame = 1109,
        LocalMode = 1014,
        LocalSource = 1010,
        RemoteMode = 1046,
        RemoteSource = 1042,
        // The signal lamps, as kSignalLampCaptions lists them, and their captions.
        TxSourceFiveVolts = 1097,
        TxLinkFiveVolts = 1098,
        TxLinkHpd = 1099,
        RxDisplayHpd = 1095,
        RxLinkHpd = 1096,
        RxLinkFiveVolts = 1094,
        TxSourceFiveVoltsCaption = 1110,
        TxLinkFiveVoltsCaption = 1111,
        TxLinkHpdCaption = 1112,
        RxDisplayHpdCaption = 1114,
        RxLinkHpdCaption = 1115,
        RxLinkFiveVoltsCaption = 1113,
        PairA = 1017,
        PairB = 1023,
        PairC = 1024,
        PairD = 1025,
        CableLength = 1037,
        BerLamp = 1103,
        Rj45 = 1104,
        Advice = 1077,
        Test = 1075,
    };
};

// The "Status" page: shows the snapshot when it opens; after Test it polls the link status of both
// chips once a second and runs the port check every 1.5 s, until Stop or until the tool window
// closes. Every read goes through the tool window on the UI thread; the decoding lives in
// a Poll, the advice and blink in PortCheck.
class Tool1Main : public ToolPage {
    Q_OBJECT
public:
    struct Periods {
        std::chrono::milliseconds tick{status::kPollTick};
        std::chrono::milliseconds portCheck{status::kPortCheckPeriod};
    };

    explicit Tool1Main(IToolHost& host, QWidget* parent = nullptr);

    // Tests and the screenshot run shorten the periods; takes effect at the next Start.
    void SetPeriods(const Periods& periods) { m_periods = periods; }

    // One tick of the poll timer: the link block every fifth tick, the signal block every second.
    void OnTimer();
    // One pass of the port check: advice text and blink of the RJ45 marking.
    void RunPortCheck();
    // Test / Stop / Start.
    void OnBnClickedTest();
    void OnClose() override;

    bool IsRunning() const { return m_running; }
    uint32_t TickCount() const { return m_poll.TickCount(); }
    bool LinkUp() const { return m_poll.Now().linkUp; }
    const status::PortFlags& PortFaults() const { return m_poll.Now().portFaults; }

private:
    void CreateControls();
    void OnInitDialog();
    void Show(const status::Reading& reading);
    void ShowPairLevel(int pair, const QString& text, const QString& state, status::LevelBand band);
    // Lamps carry their caption as accessible name; their state goes into the description and tip.
    void SetLamp(QLabel* lamp, status::Lamp state);
    void ShowFaultyPairs(const status::PortFlags& faults);

    IToolHost& m_host;
    Periods m_periods;

    status::Poll m_poll;
    bool m_running = false;
    status::PortCheck m_portCheck;

    // Children of the page, so that tests can see which are running.
    QTimer m_pollTimer{this};
    QTimer m_portCheckTimer{this};
    std::array<QPixmap, 3> m_lampImages; // by status::Lamp

    QLineEdit* m_localMode = nullptr;
    QLineEdit* m_localSource = nullptr;
    QLineEdit* m_remoteMode = nullptr;
    QLineEdit* m_remoteSource = nullptr;
    QLineEdit* m_cableLength = nullptr;
    std::array<QLineEdit*, status::kPairCount> m_pairFields{};
    std::array<status::LevelBand, status::kPairCount> m_pairBands{};
    std::array<QLabel*, status::kSignalLampCount> m_signalLamps{}; // by status::SignalLamp
    QLabel* m_berLamp = nullptr;
    Rj45Picture* m_picture = nullptr;
    QPlainTextEdit* m_advice = nullptr;
    QPushButton* m_test = nullptr;
};
