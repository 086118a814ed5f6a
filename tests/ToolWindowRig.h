#pragma once
#include <QStringList>
#include <memory>
#include <vector>

#include "app/PerformanceTool.h"
#include "app/TorvanReaderDlg.h"
#include "device/RecordingBackend.h"
#include "device/sim/SimExtender.h"
#include "ui/MessageBox.h"

// The main window and the tool window over the simulated extender, with the message boxes caught
// and the flash pauses skipped: the pages in their real windows, as a user reaches them.
struct ToolWindowRig {
    using Payloads = std::vector<std::vector<uint8_t>>;

    SimExtender extender;
    RecordingBackend wire{extender};
    QStringList boxes;
    std::vector<uint32_t> pauses;
    std::unique_ptr<CTorvanReaderDlg> mainDlg;
    std::unique_ptr<PerformanceTool> tool;

    ToolWindowRig()
    {
        ui::SetMessagePresenter([this](QWidget*, const QString& text) { boxes << text; });
        mainDlg = std::make_unique<CTorvanReaderDlg>(wire);
        mainDlg->Channel().SetPauseFunction([this](uint32_t ms) { pauses.push_back(ms); });
    }
    ~ToolWindowRig()
    {
        tool.reset();
        ui::SetMessagePresenter({});
    }
    ToolWindowRig(const ToolWindowRig&) = delete;
    ToolWindowRig& operator=(const ToolWindowRig&) = delete;

    // "Start to Analyze": what the extender should report at opening is set before.
    void OpenTool() { tool = std::make_unique<PerformanceTool>(mainDlg.get()); }

    // The way back once a pulled-out device is plugged in again, sound: the tool window is closed,
    // "&Reconnect" chosen in the main window and the tool window opened anew.
    void ReplugAndReopen()
    {
        tool->reject();
        tool.reset();
        extender.SetFaults({});
        extender.Replug();
        mainDlg->OnReconnect();
        OpenTool();
    }

    template <typename Page>
    Page& PageAt(PerformanceTool::Tab tab) const
    {
        return *static_cast<Page*>(tool->Page(tab));
    }

    Payloads Commands() const { return wire.CommandPayloads(); }
};
