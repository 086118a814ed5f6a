#pragma once

// What the suites do differently on each platform: one file per platform (tests/linux/,
// tests/windows/), chosen by the build.

// The transport suite's case of the system's real back end end to end: on Linux hidapi over the
// kernel's hidraw driver and a virtual extender made with /dev/uhid, in the guest that
// tests/e2e/run-e2e.sh boots. Elsewhere it says why it is skipped.
void HidrawEndToEnd();

// The system's back end keeps the system's own cause of a failed open, claim and transfer, and
// the transport tells the user that cause in the system's words.
void SystemBackendKeepsTheCause();

// A unit held by this program is held for every program on the PC until it is let go of, and the
// holder is named.
void UnitHoldIsSystemWide();

// While it lives, no file of this program grows past bytes: a write past it is cut short, as on a
// full disk. Where the system has no such limit, Supported() is false and the caller leaves out
// what needs it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    static bool Supported();

private:
    long m_previous = 0;
};
