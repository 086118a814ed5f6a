#pragma once
#include <QDialog>
#include <functional>

#include "device/HidCmd.h"
#include "device/PageHost.h"

class QLabel;
class QMenuBar;
class QPushButton;

// The main window: owns the one command channel, runs the connect check at start-up and on
// Reconnect, shows the connection state and opens the tool window.
class CTorvanReaderDlg : public QDialog, public IChannelOwner {
    Q_OBJECT
public:
    // The back end must outlive the window: the real one in torvanreader, the simulated extender
    // in the demo and in tests.
    explicit CTorvanReaderDlg(IHidBackend& backend, QWidget* parent = nullptr);
    ~CTorvanReaderDlg() override;

    CHidCmd& Channel() override { return m_channel; }

    void OnReconnect();
    void OnStartToAnalyze();
    void OnAboutBox();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnInitDialog();
    void CreateControls(QWidget* client);
    void CreateMenu(QMenuBar* menuBar);
    // Enter when no push button has the focus: the template's hidden OK button.
    void OnOK();
    void ShowNotOpened(const CHidIO::Opening& opening);
    void EnableButtons(bool enable);

    CHidCmd m_channel;
    QLabel* m_state = nullptr;
    QLabel* m_instruction = nullptr;
    QPushButton* m_startToAnalyze = nullptr;
    QPushButton* m_programmerTool = nullptr;
    QPushButton* m_resetTool = nullptr;
};
