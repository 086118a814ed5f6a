#pragma once

// The caption of the main window and of the tool window.
inline constexpr const char* kWindowCaption = "Tessalink";
