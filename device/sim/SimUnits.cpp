#include "device/sim/SimUnits.h"

namespace {

// What a unit answers for a path that is another unit's.
bool NotOurs(const std::error_code& error)
{
    return error == std::errc::no_such_file_or_directory;
}

} // namespace

std::vector<std::string> SimUnits::EnumeratePaths()
{
    std::vector<std::string> paths;
    for (SimExtender* unit : m_units) {
        for (std::string& path : unit->EnumeratePaths())
            paths.push_back(std::move(path));
    }
    return paths;
}

bool SimUnits::ReadAttributes(const std::string& path, HidAttributes& out)
{
    for (SimExtender* unit : m_units) {
        if (unit->ReadAttributes(path, out))
            return true;
    }
    return false;
}

HidClaim SimUnits::Claim(const std::string& path)
{
    const int count = static_cast<int>(m_units.size());
    HidClaim claim = {.error = std::make_error_code(std::errc::no_such_file_or_directory)};
    for (int index = 0; index < count && NotOurs(claim.error); ++index) {
        claim = m_units[index]->Claim(path);
        if (claim.handle != kInvalidHidHandle)
            claim.handle = claim.handle * count + index;
    }
    return claim;
}

HidOpened SimUnits::Open(const std::string& path, HidAccess access)
{
    const int count = static_cast<int>(m_units.size());
    HidOpened opened = {.error = std::make_error_code(std::errc::no_such_file_or_directory)};
    for (int index = 0; index < count && NotOurs(opened.error); ++index) {
        opened = m_units[index]->Open(path, access);
        if (opened.handle != kInvalidHidHandle)
            opened.handle = opened.handle * count + index;
    }
    return opened;
}

HidTransfer SimUnits::Write(HidHandle handle, const uint8_t* report, size_t length, int timeoutMs)
{
    return Unit(handle).Write(Inner(handle, m_units.size()), report, length, timeoutMs);
}

HidTransfer SimUnits::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    return Unit(handle).Read(Inner(handle, m_units.size()), report, capacity, timeoutMs);
}

void SimUnits::Cancel(HidHandle handle)
{
    Unit(handle).Cancel(Inner(handle, m_units.size()));
}

void SimUnits::Close(HidHandle handle)
{
    Unit(handle).Close(Inner(handle, m_units.size()));
}
