#pragma once
#include <QDialog>
#include <array>

#include "device/PageHost.h"
#include "device/StatusRegister.h"
#include "ui/ToolHost.h"

class QTabWidget;
class QMenuBar;
class QScrollArea;
class ToolPage;

// The tool window's control, by the number it carries and is found by.
struct ToolWindowControl {
    enum Id : int { Tabs = 1004 };
};

// The tool window: takes a snapshot of eleven status registers when it opens, hosts the four pages
// under its tabs and offers them the register read. The pages are children of the window, not of
// the tab control; a hidden page keeps its timers running.
class PerformanceTool : public QDialog, public IToolHost, public IUnitFollower {
    Q_OBJECT
public:
    enum Tab { FirmwareTab = 0, StatusTab = 1, BurnInTab = 2, FailSafeTab = 3, TabCount = 4 };

    explicit PerformanceTool(IChannelOwner* mainDlg, QWidget* parent = nullptr);
    ~PerformanceTool() override;

    bool ReadRegister(uint8_t target, uint8_t reg, uint8_t* out) override;
    const RegisterSnapshot& Snapshot() const override { return m_snapshot; }
    WireJobs& Jobs() override { return m_jobs; }
    // The caption names the unit where several may be told apart, and tells while it is pulled
    // out; the pages go on at their next tick.
    void UnitShown(const std::string& name, bool present) override;

    // Opens at the size room has for it, scrolling the pages where they do not fit; on a screen
    // with room, as laid out. The window fits the screen it opens on by itself.
    void FitTo(QSize room);

    ToolPage* Page(int tab) const { return m_pages[tab]; }
    // The end of the user's session, told in the system's message: held off while a page's job
    // must not be cut, and the pages' jobs stopped when it comes all the same (HearSessionEnd).
    bool OnSessionEnd(void* message, qintptr* result);
    int CurrentTab() const { return m_currentTab; }

public slots:
    // Every way out (close box, Esc, Enter, Exit) ends here, so the pages are always asked and
    // shut down before they are deleted.
    void done(int result) override;

protected:
    // Enter ends the window, as Esc does: no push button of the tool window is a default button.
    void keyPressEvent(QKeyEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void OnInitDialog(QWidget* client);
    void CreateMenu(QMenuBar* menuBar);
    void TakeSnapshot();
    void CreatePages(QWidget* client);
    void OnSelChange(int index);
    void ClosePages();

    IChannelOwner* const m_pMainDlg;
    std::array<ToolPage*, TabCount> m_pages{};
    int m_currentTab = 0;
    RegisterSnapshot m_snapshot;
    WireJobs m_jobs;
    QTabWidget* m_tabs = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QScrollArea* m_scroll = nullptr;
};
