#include "burnin/BurnInPage.h"

CBIT::CBIT(IRegisterHost& host, QWidget* parent) : ToolPage(parent), m_host(host) {}
