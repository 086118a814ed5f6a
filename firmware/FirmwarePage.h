#pragma once
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

#include "device/CommandFrames.h"
#include "device/PageHost.h"
#include "firmware/FirmwareControls.h"
#include "firmware/FirmwareImage.h"
#include "ui/ToolPage.h"

class CHidCmd;
class QTimer;

namespace firmware {
class BlockTransfer;
}

// The "Firmware" page: shows what both chips run, loads an image from a file and programs it into
// the chosen chip, one 32-byte block per tick of a 5 ms timer, then restarts the chip on demand.
// Every transaction runs on the UI thread, so the window takes input between two blocks.
class DlgProgrammer : public ToolPage {
    Q_OBJECT
public:
    // Asks the user for a file, starting in startDir; an empty result means cancelled.
    using FileChooser = std::function<QString(QWidget* parent, const QString& startDir)>;

    explicit DlgProgrammer(IRegisterHost& host, QWidget* parent = nullptr);
    ~DlgProgrammer() override;

    // Set by the tool window after the page is created.
    IChannelOwner* m_pMainDlg = nullptr;

    void SetFileChooser(FileChooser chooser);
    // The pace of the programming timer; tests send large images without waiting it out.
    void SetTickPeriod(std::chrono::milliseconds period);

    void OnBrowse();
    void OnProgram();
    void OnApplyFirmware();
    void OnClose() override;

    bool IsBusy() const { return m_busy; }

private:
    void OnInitDialog();
    void ShowIdentification(uint8_t reg, QLineEdit* type, QLineEdit* revision, QLineEdit* role);
    void LoadFile(const QString& path);
    void FindImageInfo();
    void ShowImageInfo(const QString& type, const QString& revision);
    void OnTimer();
    void OnProgressTick();
    // Back to idle: timers stopped, busy cleared.
    void EndProgramming();
    bool RefuseWhileBusy();
    frames::Chip Target() const;
    CHidCmd* Channel() const;
    void ShowStatus(const QString& text);

    IRegisterHost& m_host;
    FirmwareControls m_controls;
    FileChooser m_chooseFile;
    QString m_imagePath;
    std::shared_ptr<const firmware::Image> m_image;
    // Held while a programming run goes on.
    std::unique_ptr<firmware::BlockTransfer> m_transfer;
    bool m_busy = false;
    QTimer* m_programTimer = nullptr;
    QTimer* m_progressTimer = nullptr;
};
