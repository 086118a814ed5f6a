#include "failsafe/FailSafePage.h"

ResetTool::ResetTool(QWidget* parent) : ToolPage(parent) {}
