#pragma once
#include "ui/ToolPage.h"

#include "device/PageHost.h"
// The "Burn-In Test" page.
class CBIT : public ToolPage {
    Q_OBJECT
public:
    explicit CBIT(IRegisterHost& host, QWidget* parent = nullptr);

private:
    IRegisterHost& m_host;
};
