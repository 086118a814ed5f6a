#include "device/sim/SimUnits.h"

#include <cerrno>

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
    HidClaim claim = {.error = ENOENT};
    for (int index = 0; index < count && claim.error == ENOENT; ++index) {
        claim = m_units[index]->Claim(path);
        if (claim.handle != kInvalidHidHandle)
            claim.handle = claim.handle * count + index;
    }
    return claim;
}

HidHandle SimUnits::Open(const std::string& path, HidAccess access)
{
    const int count = static_cast<int>(m_units.size());
    for (int index = 0; index < count; ++index) {
        const HidHandle handle = m_units[index]->Open(path, access);
        if (handle != kInvalidHidHandle)
            return handle * count + index;
        if (errno != ENOENT) // the unit at path refused: its errno is the cause
            break;
    }
    return kInvalidHidHandle;
}

int SimUnits::Write(HidHandle handle, const uint8_t* report, size_t length, int timeoutMs)
{
    return Unit(handle).Write(Inner(handle, m_units.size()), report, length, timeoutMs);
}

int SimUnits::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
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
