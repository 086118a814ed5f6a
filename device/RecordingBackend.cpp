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

std::vector<std::vector<uint8_t>> RecordingBackend::CommandPayloads() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::vector<uint8_t>> payloads;
    for (const Record& record : m_records) {
        if (record.direction == Direction::Out)
            payloads.push_back(record.Payload());
    }
    return payloads;
}

void RecordingBackend::Clear()
{
    std::lock_guard lock(m_mutex);
    m_records.clear();
}

void RecordingBackend::Keep(Direction direction, const uint8_t* bytes, int count,
                            std::chrono::steady_clock::time_point time)
{
    if (count <= 0)
        return;
    std::lock_guard lock(m_mutex);
    if (m_records.size() == m_capacity)
        m_records.pop_front();
    m_records.push_back({time, direction, {bytes, bytes + count}});
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
    return m_inner.Open(path, access);
}

HidTransfer RecordingBackend::Write(HidHandle handle, const uint8_t* report, size_t length,
                                    int timeoutMs)
{
    // A report's time is when it was handed over: a write may take its time to complete.
    const auto handed = std::chrono::steady_clock::now();
    const HidTransfer moved = m_inner.Write(handle, report, length, timeoutMs);
    Keep(Direction::Out, report, moved.moved, handed);
    return moved;
}

HidTransfer RecordingBackend::Read(HidHandle handle, uint8_t* report, size_t capacity,
                                   int timeoutMs)
{
    const HidTransfer moved = m_inner.Read(handle, report, capacity, timeoutMs);
    Keep(Direction::In, report, moved.moved);
    return moved;
}

void RecordingBackend::Cancel(HidHandle handle)
{
    m_inner.Cancel(handle);
}

void RecordingBackend::Close(HidHandle handle)
{
    m_inner.Close(handle);
}
