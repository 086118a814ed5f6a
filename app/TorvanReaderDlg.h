#pragma once
#include <QDialog>
#include <chrono>
#include <functional>
#include <optional>

#include "device/HidCmd.h"
#include "device/PageHost.h"
#include "device/UnitChoice.h"
#include "device/UnitWatcher.h"

class QComboBox;
class QLabel;
class QMenuBar;
class QPushButton;
class QTimer;

// The main window's controls, by the number each carries and is found by.
struct MainControl {
    enum Id : int {
        Ok = 1,
        Cancel = 2,
        Banner = 1000,
        StartToAnalyze = 1001,
        ProgrammerButton = 1002,
        ResetButton = 1118,
        State = 1088,
        Instruction = 1089,
        Advice = 1091,
        Units = 1090,
    };
};

// The main window: owns the one command channel, runs the connect check at start-up, on Reconnect
// and when an extender is plugged in, shows the connection state, offers a choice when several
// extenders are present and opens the tool window.
class CTorvanReaderDlg : public QDialog, public IChannelOwner {
    Q_OBJECT
public:
    // The back end and the watcher must outlive the window: the real ones in torvanreader, the
    // simulated extender in the demo and in tests. Without a watcher, only Reconnect looks again.
    explicit CTorvanReaderDlg(IHidBackend& backend, IUnitWatcher* watcher = nullptr,
                              QWidget* parent = nullptr);
    ~CTorvanReaderDlg() override;

    CHidCmd& Channel() override { return m_channel; }
    void Follow(IUnitFollower& follower, bool follows) override;

    void OnReconnect();
    void OnStartToAnalyze();
    void OnAboutBox();
    // The support report that the About box saves.
    QString SupportReport();
    // Tests shorten the pause between two tries at a unit that could not be opened.
    void SetRetryPeriod(std::chrono::milliseconds period);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog();
    void CreateControls(QWidget* client);
    void CreateMenu(QMenuBar* menuBar);
    // The hidden default OK button, pressed by Enter when no push button has the focus.
    void OnOK();
    void ShowNotOpened(const CHidIO::Opening& opening);
    void ShowReason(const QString& reason, const QString& advice);
    void EnableButtons(bool enable);
    // Opens the unit at path (the first when empty) and runs the connect check.
    void ConnectTo(const std::string& path);
    // The extenders present, offered in the choice when there are two or more.
    std::vector<CHidIO::Unit> ListUnits();
    void OnUnitPicked(int index);
    void OnUnitsChanged(const std::vector<UnitChange>& changes);
    void OnPulled();
    // With no unit open, opens one present: the one chosen, or for the tool window its own.
    void ReachPresentUnit(const std::vector<CHidIO::Unit>& units);
    // A unit that appeared but could not be opened is tried again for a few seconds.
    void RetryIfNotOpened();
    void OnRetry();
    void ShowUnitToFollower();

    CHidCmd m_channel;
    IUnitFollower* m_follower = nullptr;
    std::optional<CHidIO::Unit> m_pulled; // the unit in use that was pulled out
    UnitsSeen m_seen;
    QTimer* m_retry = nullptr;
    int m_retriesLeft = 0;
    QComboBox* m_units = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_instruction = nullptr;
    QLabel* m_advice = nullptr;
    QPushButton* m_startToAnalyze = nullptr;
    QPushButton* m_programmerTool = nullptr;
    QPushButton* m_resetTool = nullptr;
};
