#include "device/sim/SimExtender.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "device/DeviceIds.h"
#include "device/Process.h"

namespace {

std::error_code Error(std::errc error)
{
    return std::make_error_code(error);
}

} // namespace

SimExtender::SimExtender(std::string path, std::string serial)
    : m_path(std::move(path)), m_serial(std::move(serial))
{
}

void SimExtender::SetRegister(uint8_t group, uint8_t reg, std::vector<uint8_t> data)
{
    std::lock_guard lock(m_mutex);
    m_model.SetRegister(group, reg, std::move(data));
}

std::vector<uint8_t> SimExtender::Flash(SimDeviceModel::Chip chip)
{
    std::lock_guard lock(m_mutex);
    return m_model.Flash(chip);
}

void SimExtender::SetFaults(const SimFaults& faults)
{
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    m_filterMatches = 0;
}

void SimExtender::Unplug()
{
    {
        std::lock_guard lock(m_mutex);
        UnplugLocked();
    }
    m_arrived.notify_all();
}

void SimExtender::UnplugLocked()
{
    if (m_plugs && m_present)
        m_plugs->Tell({UnitChange::Kind::Removed, m_path});
    m_present = false;
    ++m_plugGeneration;
    m_input.clear();
}

void SimExtender::Replug()
{
    std::lock_guard lock(m_mutex);
    if (m_plugs && !m_present)
        m_plugs->Tell({UnitChange::Kind::Added, m_path});
    m_present = true;
}

void SimExtender::ReportPlugsTo(SimPlugs* plugs)
{
    std::lock_guard lock(m_mutex);
    m_plugs = plugs;
}

void SimExtender::AddForeignDevice(uint16_t vendorId, uint16_t productId)
{
    std::lock_guard lock(m_mutex);
    m_foreign.push_back(
        {"sim:foreign-" + std::to_string(m_foreign.size()), true, {vendorId, productId}});
}

void SimExtender::AddUnreadableDevice()
{
    std::lock_guard lock(m_mutex);
    m_foreign.push_back({"sim:foreign-" + std::to_string(m_foreign.size()),
                         false,
                         {kTorvanVendorId, kTorvanProductId}});
}

void SimExtender::FailOpen(HidAccess access, bool fail)
{
    std::lock_guard lock(m_mutex);
    m_failOpen[static_cast<size_t>(access)] = fail;
}

int SimExtender::OpenHandleCount()
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_handles.size());
}

std::vector<std::string> SimExtender::EnumeratePaths()
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> paths;
    for (const ForeignDevice& device : m_foreign)
        paths.push_back(device.path);
    if (m_present)
        paths.push_back(m_path);
    return paths;
}

bool SimExtender::ReadAttributes(const std::string& path, HidAttributes& out)
{
    std::lock_guard lock(m_mutex);
    if (path == m_path && m_present) {
        out = {kTorvanVendorId, kTorvanProductId, m_serial, "Torvan", "Simulated HDBaseT extender"};
        return true;
    }
    const auto found = std::find_if(m_foreign.begin(), m_foreign.end(),
                                    [&](const ForeignDevice& d) { return d.path == path; });
    if (found == m_foreign.end() || !found->readable)
        return false;
    out = found->attributes;
    return true;
}

HidClaim SimExtender::Claim(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    if (path != m_path || !m_present)
        return {.error = Error(std::errc::no_such_file_or_directory)};
    // A node the user may not read, as where the udev rule is missing.
    if (m_failOpen[static_cast<size_t>(HidAccess::Read)])
        return {.error = Error(std::errc::permission_denied)};
    if (m_claim.id != kInvalidHidHandle && m_claim.plugGeneration == m_plugGeneration)
        return {.error = HidClaim::HeldByAnother(), .holder = ProgramText(ThisProcessId())};
    m_claim = {m_nextHandle++, m_plugGeneration};
    return {.handle = m_claim.id};
}

HidOpened SimExtender::Open(const std::string& path, HidAccess access)
{
    std::lock_guard lock(m_mutex);
    if (path != m_path || !m_present) // another unit's path: not ours
        return {.error = Error(std::errc::no_such_file_or_directory)};
    if (m_failOpen[static_cast<size_t>(access)])
        return {.error = Error(std::errc::permission_denied)};
    const HidHandle id = m_nextHandle++;
    m_handles.push_back({id, m_plugGeneration});
    return {.handle = id};
}

bool SimExtender::HandleAlive(HidHandle handle) const
{
    return std::any_of(m_handles.begin(), m_handles.end(), [&](const OpenHandle& h) {
        return h.id == handle && h.plugGeneration == m_plugGeneration && m_present;
    });
}

SimFaults SimExtender::FaultsForThisCommand(std::span<const uint8_t> payload)
{
    const std::vector<uint8_t>& prefix = m_faults.onlyPrefix;
    if (payload.size() < prefix.size()
        || !std::equal(prefix.begin(), prefix.end(), payload.begin()))
        return {};
    ++m_filterMatches;
    if (m_faults.onlyNth != 0 && m_filterMatches != m_faults.onlyNth)
        return {};
    return m_faults;
}

void SimExtender::Queue(Clock::time_point due, uint8_t sequence,
                        const std::vector<uint8_t>& payload)
{
    Pending report{due};
    const size_t count = std::min(payload.size(), report.bytes.size() - 3);
    report.bytes[1] = sequence;
    report.bytes[2] = static_cast<uint8_t>(count);
    std::copy_n(payload.begin(), count, report.bytes.begin() + 3);
    report.length = report.bytes.size();
    m_input.push_back(report);
}

void SimExtender::QueueShort(Clock::time_point due, uint8_t sequence)
{
    Pending report{due};
    report.bytes[1] = sequence;
    report.length = 2;
    m_input.push_back(report);
}

HidTransfer SimExtender::Write(HidHandle handle, const uint8_t* report, size_t length,
                               int /*timeoutMs*/)
{
    {
        std::unique_lock lock(m_mutex);
        if (!HandleAlive(handle))
            return {-1, Error(std::errc::no_such_device)};
        if (length < 3)
            return {static_cast<int>(length)};
        const uint8_t sequence = report[1] & 0x7F;
        const size_t payloadLength = std::min<size_t>(report[2], length - 3);
        const std::span<const uint8_t> payload(report + 3, payloadLength);
        const SimFaults faults = FaultsForThisCommand(payload);
        if (faults.writeStallMs > 0) {
            // Like hidraw, the write takes no time-out: it returns when the report is taken.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(faults.writeStallMs));
            lock.lock();
        }
        if (faults.unplug) {
            // Gone before the command reached the chip: nothing is done and nothing answers.
            UnplugLocked();
        } else {
            std::vector<uint8_t> answer = m_model.Answer(payload);
            if (!faults.silent) {
                const auto due = Clock::now() + std::chrono::milliseconds(faults.latencyMs);
                for (int i = 0; i < faults.staleBefore; ++i)
                    Queue(due, (sequence + 0x40 + i) & 0x7F, {SimDeviceModel::kAck});
                if (faults.shortReport)
                    QueueShort(due, sequence);
                if (faults.refuse)
                    answer[0] = SimDeviceModel::kRefused;
                Queue(due, faults.setBit7 ? sequence | 0x80 : sequence, answer);
            }
        }
    }
    m_arrived.notify_all();
    return {static_cast<int>(length)};
}

HidTransfer SimExtender::Read(HidHandle handle, uint8_t* report, size_t capacity, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!HandleAlive(handle))
            return {-1, Error(std::errc::no_such_device)};
        const auto now = Clock::now();
        if (!m_input.empty() && m_input.front().due <= now) {
            const Pending next = m_input.front();
            m_input.pop_front();
            const size_t count = std::min(capacity, next.length);
            std::memcpy(report, next.bytes.data(), count);
            return {static_cast<int>(count)};
        }
        if (now >= deadline)
            return {0};
        const auto wake = m_input.empty() ? deadline : std::min(deadline, m_input.front().due);
        m_arrived.wait_until(lock, wake);
    }
}

void SimExtender::Cancel(HidHandle /*handle*/) {}

void SimExtender::Close(HidHandle handle)
{
    std::lock_guard lock(m_mutex);
    if (handle == m_claim.id)
        m_claim.id = kInvalidHidHandle;
    std::erase_if(m_handles, [&](const OpenHandle& h) { return h.id == handle; });
}
