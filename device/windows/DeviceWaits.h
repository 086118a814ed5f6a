#pragma once
#include <system_error>

// The end of the program's time as Windows sets it: its console closed, the user logging off, the
// PC shutting down. From EndDeviceWaits on, every wait of the HID back end for the unit ends at
// once with that cause, so that a program says where it stopped within the few seconds that
// Windows allows, however late the unit answers. Process-wide, as that end is.
void EndDeviceWaits(std::error_code cause);
// Signalled once the waits are to end; why they ended.
void* DeviceWaitsEnded();
std::error_code DeviceWaitsEndCause();
