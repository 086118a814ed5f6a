#pragma once
#include "ui/ToolPage.h"

#include "device/PageHost.h"
// The "Status" page.
class Tool1Main : public ToolPage {
    Q_OBJECT
public:
    explicit Tool1Main(IRegisterHost& host, QWidget* parent = nullptr);

private:
    IRegisterHost& m_host;
};
