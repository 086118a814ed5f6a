#include "status/StatusPage.h"

Tool1Main::Tool1Main(IRegisterHost& host, QWidget* parent) : ToolPage(parent), m_host(host) {}
