#include "monitor/UnitReading.h"

#include "device/HidCmd.h"
#include "device/StatusRegister.h"
#include "firmware/FirmwareCommands.h"

namespace monitor {

UnitReading ReadUnit(IHidBackend& backend, const CHidIO::Unit& unit)
{
    UnitReading reading{.unit = unit};
    CHidCmd channel(backend); // closed, and the unit let go of, as it goes
    const CHidIO::Opening opening = channel.Transport().Open(unit.path);
    if (!opening) {
        reading.access = opening.result == CHidIO::Opening::Result::InUse
                             ? UnitReading::Access::InUse
                             : UnitReading::Access::NotOpened;
        reading.why = QString::fromStdString(opening.Why());
        reading.advice = QString::fromStdString(opening.Advice());
        return reading;
    }
    ReadOpenUnit(channel, reading);
    return reading;
}

void ReadOpenUnit(CHidCmd& channel, UnitReading& reading)
{
    reading.access = UnitReading::Access::Read;
    reading.answers = AnswersConnectCheck(channel);
    if (!reading.answers) { // one not answering would keep each read waiting out its time-out
        reading.why = "it does not answer the connect check";
        return;
    }
    ChannelReader reader(channel);
    status::Poll poll;
    poll.Tick(reader); // the first tick reads everything
    reading.status = poll.Now();
    reading.local = firmware::ReadIdentification(reader, frames::Chip::Local);
    reading.remote = firmware::ReadIdentification(reader, frames::Chip::Remote);
    const firmware::IncompleteMarks marks(channel);
    reading.localMark = marks.State(frames::Chip::Local);
    reading.remoteMark = marks.State(frames::Chip::Remote);
}

} // namespace monitor
