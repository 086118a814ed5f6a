#pragma once
#include <QString>
#include <array>
#include <optional>

#include "device/HidIO.h"
#include "firmware/DeviceInfo.h"
#include "firmware/IncompleteMarks.h"
#include "status/StatusReading.h"

class CHidCmd;

// One reading of a unit, for those who look after many: the metrics and the support report. A unit
// is held only while it is read; one that another program holds is sent nothing.
namespace monitor {

struct UnitReading {
    enum class Access { Read, InUse, NotOpened };

    CHidIO::Unit unit;
    Access access = Access::NotOpened;
    // Why the unit was not opened ("… is in use by torvanreader (process 1234)"), or how its
    // connect check failed; and what to do about it, where the user can.
    QString why = {};
    QString advice = {};
    bool answers = false;                       // it answered the connect check, and was then read
    std::optional<status::Reading> status = {}; // what the Status page shows after a full tick
    // Both chips' identification (nothing where it was not read) and incomplete-image marks.
    std::optional<firmware::DeviceInfoBlock> local = {}, remote = {};
    firmware::MarkState localMark = firmware::MarkState::Clear;
    firmware::MarkState remoteMark = firmware::MarkState::Clear;
};

// Opens the unit, reads it as ReadOpenUnit does and lets go of it.
UnitReading ReadUnit(IHidBackend& backend, const CHidIO::Unit& unit);
// Reads the unit open on the channel: the connect check, then where it answers one tick of every
// Status page read, both chips' identification and their marks.
void ReadOpenUnit(CHidCmd& channel, UnitReading& reading);

} // namespace monitor
