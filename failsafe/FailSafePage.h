#pragma once
#include <cstdint>

#include "device/PageHost.h"
#include "ui/ToolHost.h"
#include "ui/ToolPage.h"

class CHidCmd;
class QComboBox;
class QLabel;
class QPushButton;

// The Fail-Safe Setting page's controls, by the number each carries and is found by.
struct FailSafeControl {
    enum Id : int {
        WireQuality = 1107, // the three lists in a row
        VideoBitError = 1108,
        TimeInterval = 1109,
        Default = 1121,
        State = 1124,
        On = 1123,
        Off = 1122,
    };
};

// The "Fail-Safe Setting" page: packs a wire quality threshold, a video bit error threshold and a
// time interval into one setting byte and switches the extender's fail-safe on with it, or off
// with the default setting. It talks to the device only when On or Off is pressed, and shows
// whether the last write it made was acknowledged; it never asks the device what it holds. It
// writes nothing while a firmware update has the wire.
class ResetTool : public ToolPage {
    Q_OBJECT
public:
    // The setting is written on the main window's channel, and not while jobs has an update.
    ResetTool(const WireJobs& jobs, IChannelOwner* mainDlg, QWidget* parent = nullptr);

    void OnBnClickedDefault();
    void OnBnClickedOn();
    void OnBnClickedOff();

private:
    void CreateControls();
    void OnInitDialog();
    void SelectDefaults();
    CHidCmd* Channel() const;
    bool RefuseWhileUpdating();
    void ShowEnabled(bool enabled);

    const WireJobs& m_jobs;
    IChannelOwner* const m_pMainDlg;
    QComboBox* m_wireQuality = nullptr;
    QComboBox* m_videoBitError = nullptr;
    QComboBox* m_timeInterval = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_on = nullptr;
    QPushButton* m_off = nullptr;
};
