#pragma once
#include "ui/ToolPage.h"

#include "device/PageHost.h"
// The "Fail-Safe Setting" page.
class ResetTool : public ToolPage {
    Q_OBJECT
public:
    explicit ResetTool(QWidget* parent = nullptr);

    // Set by the tool window after the page is created.
    IChannelOwner* m_pMainDlg = nullptr;
};
