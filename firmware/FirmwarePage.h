#pragma once
#include "ui/ToolPage.h"

#include "device/PageHost.h"
// The "Firmware" page.
class DlgProgrammer : public ToolPage {
    Q_OBJECT
public:
    explicit DlgProgrammer(IRegisterHost& host, QWidget* parent = nullptr);

    // Set by the tool window after the page is created.
    IChannelOwner* m_pMainDlg = nullptr;

private:
    IRegisterHost& m_host;
};
