#include "device/HidIO.h"

#include <algorithm>
#include <cstdio>

#include "device/DeviceIds.h"
#include "device/SystemDevices.h"

CHidIO::CHidIO(IHidBackend& backend) : m_backend(backend) {}

CHidIO::~CHidIO()
{
    Close();
}

std::vector<CHidIO::Unit> CHidIO::Extenders(IHidBackend& backend)
{
    std::vector<Unit> units;
    for (const std::string& path : backend.EnumeratePaths()) {
        HidAttributes attributes;
        if (path.size() < kMaxPathLength && backend.ReadAttributes(path, attributes)
            && IsExtender(attributes.vendorId, attributes.productId))
            units.push_back({path, attributes});
    }
    for (Unit& unit : units) {
        unit.serialShared = !unit.attributes.serial.empty()
                            && std::ranges::count_if(units, [&](const Unit& other) {
                                   return other.attributes.serial == unit.attributes.serial;
                               }) > 1;
    }
    return units;
}

std::string CHidIO::Unit::Identity() const
{
    if (attributes.serial.empty())
        return path;
    return serialShared ? attributes.serial + " at " + path : attributes.serial;
}

std::string CHidIO::Opening::Why() const
{
    switch (result) {
    case Result::Opened: return {};
    case Result::NotFound: {
        if (!path.empty())
            return "no extender at " + path;
        char text[64];
        std::snprintf(text, sizeof text, "no extender found (vendor 0x%04X, product 0x%04X)",
                      kTorvanVendorId, kTorvanProductId);
        return text;
    }
    case Result::InUse:
        return path + " is in use by " + (holder.empty() ? "another program" : holder);
    case Result::Failed:
        // The node was pulled out, or went to another device, between finding and opening it.
        if (error == std::errc::no_such_device)
            return path + " is no longer the extender found there (" + error.message() + ")";
        return path + " could not be opened" + (error ? ": " + error.message() : "");
    }
    return {};
}

std::string CHidIO::Opening::Advice() const
{
    if (result != Result::Failed
        || (error != std::errc::permission_denied && error != std::errc::operation_not_permitted))
        return {};
    return NoAccessAdvice();
}

CHidIO::Opening CHidIO::Open(const std::string& wanted)
{
    // Reconnecting on an open transport must not leak the old handles.
    Close();

    for (const Unit& unit : Extenders(m_backend)) {
        if (!wanted.empty() && unit.path != wanted)
            continue;
        // Only the first matching device is looked at.
        const HidClaim claim = m_backend.Claim(unit.path);
        if (claim.handle == kInvalidHidHandle)
            return {claim.Held() ? Opening::Result::InUse : Opening::Result::Failed, unit.path,
                    claim.holder, claim.error};
        m_claim = claim.handle;
        const HidOpened read = m_backend.Open(unit.path, HidAccess::Read);
        m_readHandle = read.handle;
        const HidOpened write =
            read.error ? HidOpened{} : m_backend.Open(unit.path, HidAccess::Write);
        m_writeHandle = write.handle;
        if (read.error || write.error) {
            Close();
            return {Opening::Result::Failed, unit.path, {}, read.error ? read.error : write.error};
        }
        m_opened = unit;
        return {Opening::Result::Opened, unit.path};
    }
    return {Opening::Result::NotFound, wanted};
}

void CHidIO::Close()
{
    m_writeStuck = false;
    for (HidHandle* handle : {&m_readHandle, &m_writeHandle}) {
        if (*handle != kInvalidHidHandle)
            m_backend.Cancel(*handle);
    }
    // The claim is closed last; a back end whose writes outlive their wait keeps it until the
    // last one has returned.
    for (HidHandle* handle : {&m_readHandle, &m_writeHandle, &m_claim}) {
        if (*handle != kInvalidHidHandle) {
            m_backend.Close(*handle);
            *handle = kInvalidHidHandle;
        }
    }
}

bool CHidIO::IsOpen() const
{
    return m_readHandle != kInvalidHidHandle && m_writeHandle != kInvalidHidHandle;
}

bool CHidIO::WriteReport(const uint8_t* report, uint32_t* written)
{
    if (written)
        *written = 0;
    m_transferError.clear();
    if (m_writeHandle == kInvalidHidHandle)
        return false;
    const auto [moved, error] = m_backend.Write(m_writeHandle, report, kReportSize, m_writeWaitMs);
    if (moved < 0)
        m_transferError = error;
    // 0: still under way (a slow unit); -1: an error, and the back end fails whatever follows on
    // a unit that is gone until it is opened again.
    m_writeStuck = moved == 0;
    if (moved <= 0) {
        m_backend.Cancel(m_writeHandle);
        return false;
    }
    if (written)
        *written = static_cast<uint32_t>(moved);
    return static_cast<size_t>(moved) == kReportSize;
}

bool CHidIO::ReadReport(uint8_t* report, uint32_t* read, uint32_t timeoutMs)
{
    if (read)
        *read = 0;
    if (m_readHandle == kInvalidHidHandle || m_writeStuck)
        return false;
    const auto [moved, error] =
        m_backend.Read(m_readHandle, report, kReportSize, static_cast<int>(timeoutMs));
    if (moved < 0)
        m_transferError = error;
    // A count beyond the buffer is a broken read: the channel would take bytes that were never
    // received from past the report's end.
    if (moved <= 0 || moved > static_cast<int>(kReportSize)) {
        m_backend.Cancel(m_readHandle);
        return false;
    }
    if (read)
        *read = static_cast<uint32_t>(moved);
    return true;
}
