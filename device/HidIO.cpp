#include "device/HidIO.h"

#include "device/DeviceIds.h"

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
            && attributes.vendorId == kTorvanVendorId && attributes.productId == kTorvanProductId)
            units.push_back({path, attributes});
    }
    return units;
}

bool CHidIO::Open(const std::string& wanted)
{
    // Reconnecting on an open transport must not leak the old handles.
    Close();

    for (const Unit& unit : Extenders(m_backend)) {
        if (!wanted.empty() && unit.path != wanted)
            continue;
        // Only the first matching device is looked at.
        m_readHandle = m_backend.Open(unit.path, HidAccess::Read);
        m_writeHandle = m_backend.Open(unit.path, HidAccess::Write);
        if (m_readHandle == kInvalidHidHandle || m_writeHandle == kInvalidHidHandle) {
            Close();
            return false;
        }
        m_opened = unit;
        return true;
    }
    return false;
}

void CHidIO::Close()
{
    m_writeStuck = false;
    for (HidHandle* handle : {&m_readHandle, &m_writeHandle}) {
        if (*handle != kInvalidHidHandle)
            m_backend.Cancel(*handle);
    }
    for (HidHandle* handle : {&m_readHandle, &m_writeHandle}) {
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
    if (m_writeHandle == kInvalidHidHandle)
        return false;
    const int moved = m_backend.Write(m_writeHandle, report, kReportSize, m_writeWaitMs);
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
    const int moved =
        m_backend.Read(m_readHandle, report, kReportSize, static_cast<int>(timeoutMs));
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
