#pragma once
#include <QString>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "device/CommandFrames.h"
#include "device/PageHost.h"
#include "firmware/DeviceInfo.h"
#include "firmware/FirmwareControls.h"
#include "firmware/FirmwareImage.h"
#include "ui/ToolHost.h"
#include "ui/ToolPage.h"

class CHidCmd;
class QTimer;

namespace firmware {
class Update;
}

// The "Firmware" page: shows what both chips run, loads an image from a file and programs it into
// the chosen chip, one 32-byte block every 5 ms, then restarts the chip on demand.
// Every transaction runs on the UI thread, so the window takes input between two blocks. It asks
// before it writes an image that may not fit the chip, before it restarts a chip whose update did
// not complete, and before the window closes in the middle of an update.
class DlgProgrammer : public ToolPage {
    Q_OBJECT
public:
    // Asks the user for a file, starting in startDir; an empty result means cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& startDir)>;

    // The identification is read through the tool window; the update and the restart go to the
    // main window's channel directly.
    DlgProgrammer(IToolHost& host, IChannelOwner* mainDlg, QWidget* parent = nullptr);
    ~DlgProgrammer() override;

    void SetFileChooser(FileChooser chooser);
    // The pace of the programming timer; tests send large images without waiting it out.
    void SetTickPeriod(std::chrono::milliseconds period);
    // How the rest of a block's wait is slept; tests give a sleep that returns early, as Windows'
    // Sleep may where the high-resolution timer is refused.
    using Sleep = std::function<void(std::chrono::microseconds)>;
    void SetSleep(Sleep sleep) { m_sleep = std::move(sleep); }

    void OnBrowse();
    void OnProgram();
    void OnApplyFirmware();
    bool MayClose() override;
    void OnClose() override;
    QString SessionEndHold() const override;

    bool IsBusy() const { return m_update != nullptr; }

private:
    void OnInitDialog();
    // Type, revision and role of what the chip reports.
    void ShowIdentification(frames::Chip chip, std::array<QLineEdit*, 3> fields);
    void LoadFile(const QString& path);
    void ShowImageInfo(const QString& type, const QString& revision);
    bool OtherJobRunning();
    void OnTimer();
    void OnProgressTick();
    // Back to idle: timers stopped, the update ended; said when it left the chip incomplete.
    void EndProgramming();
    bool RefuseWhileBusy();
    frames::Chip Target() const;
    CHidCmd* Channel() const;
    void ShowStatus(const QString& text);

    IToolHost& m_host;
    IChannelOwner* const m_pMainDlg;
    FirmwareControls m_controls;
    FileChooser m_chooseFile;
    QString m_imagePath;
    std::shared_ptr<const firmware::Image> m_image;
    std::optional<firmware::DeviceInfoBlock> m_imageInfo;
    // What each chip reported at opening.
    std::array<std::optional<firmware::DeviceInfoBlock>, 2> m_chipInfo;
    // Held while a programming run goes on: the page is busy.
    std::unique_ptr<firmware::Update> m_update;
    QTimer* m_programTimer = nullptr; // a single shot per block, just before the block is due
    std::chrono::milliseconds m_tickPeriod;
    std::chrono::steady_clock::duration m_due{}; // the next block's, on the steady clock
    Sleep m_sleep;
    QTimer* m_progressTimer = nullptr;
};
