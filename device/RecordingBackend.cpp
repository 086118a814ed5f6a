#include "device/RecordingBackend.h"

#include <algorithm>

std::vector<uint8_t> RecordingBackend::Record::Payload() const
{
    if (bytes.size() < 3)
        return {};
    const size_t length = std::min<size_t>(bytes[2], bytes.size() - 3);
    return {bytes.begin() + 3, bytes.begin() + 3 + static_cast<std::ptrdiff_t>(length)};
}

RecordingBackend::RecordingBackend(IHidBackend& inner, size_t capacity)
    : m_inner(inner), m_capacity(capacity)
{
}

std::vector<RecordingBackend::Record> RecordingBackend::Records() const
{
    std::lock_guard lock(m_mutex);
    return {m_records.begin(), m_records.end()};
}

std::vector<std::vector<uint8_t>> RecordingBackend::CommandPayloads(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::vector<uint8_t>> payloads;
    for (const Record& record : m_records) {
        if (record.direction == Direction::Out && (path.empty() || record.path == path))
            payloads.push_back(record.Payload());
    }
    return payloads;
}

void RecordingBackend::Clear()
{
    std::lock_guard lock(m_mutex);
    m_records.clear();
}

void RecordingBackend::Keep(HidHandle handle, Direction direction, const uint8_t* bytes, int count,
                            std::chrono::steady_clock::time_point time)
{
    if (count <= 0)
        return;
    std::lock_guard lock(m_mutex);
    if (m_records.size() == m_capacity)
        m_records.pop_front();
    const auto path = m_paths.find(handle);
    m_records.push_back({time,
                         direction,
                         {bytes, bytes + count},
                         path == m_paths.end() ? std::string() : path->second});
}

std::vector<std::string> RecordingBackend::EnumeratePaths()
{
    return m_inner.EnumeratePaths();
}

bool RecordingBackend::ReadAttributes(const std::string& path, HidAttributes& out)
{
    return m_inner.ReadAttributes(path, out);
}

HidOpened RecordingBackend::Open(const std::string& path, HidAccess access)
{
    const HidOpened opened = m_inner.Open(path, access);
    if (opened.handle != kInvalidHidHandle) {
        std::lock_guard lock(m_mutex);
        m_paths[opened.handle] = path;
    }
    return opened;
}

HidTransfer RecordingBackend::Write(HidHandle handle, const uint8_t* report, size_t length,
                                    int timeoutMs)
{
    const auto handed = m_clock(); // a report is sent when it is handed over, whatever follows
    const HidTransfer moved = m_inner.Write(handle, report, length, timeoutMs);
    Keep(handle, Direction::Out, report, moved.moved, handed);
    return moved;
}

HidTransfer RecordingBackend::Read(HidHandle handle, uint8_t* report, size_t capacity,
                                   int timeoutMs)
{
    const HidTransfer moved = m_inner.Read(handle, report, capacity, timeoutMs);
    Keep(handle, Direction::In, report, moved.moved, m_clock());
    return moved;
}

void RecordingBackend::Cancel(HidHandle handle)
{
    m_inner.Cancel(handle);
}

void RecordingBackend::Close(HidHandle handle)
{
    m_inner.Close(handle);
    std::lock_guard lock(m_mutex);
    m_paths.erase(handle);
}
