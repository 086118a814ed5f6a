#include "firmware/FirmwarePage.h"

DlgProgrammer::DlgProgrammer(IRegisterHost& host, QWidget* parent) : ToolPage(parent), m_host(host) {}
