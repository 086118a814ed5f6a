#pragma once

// The Windows build's command line and main window under Wine, against virtual extenders on the
// kernel's hidraw path, side by side with the Linux command line on the same units: inside the
// guest that tests/e2e/run-e2e.sh boots with a Windows build (TORVAN_WINDOWS).
void WindowsProgramsUnderWine();
