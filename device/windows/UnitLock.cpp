#include "device/windows/UnitLock.h"

#include <windows.h>

#include <mutex>
#include <set>

#include "device/HidBackend.h"
#include "device/Process.h"
#include "device/windows/WideText.h"
#include "device/windows/WindowsError.h"

namespace {

// A mutex is its owning thread's, which may take it again: the units this program holds are
// kept here too, so that a second hold within the program is refused as on Linux.
std::mutex heldMutex;
std::set<std::string> held;

std::wstring ObjectName(const char* space, const char* kind, std::string identity)
{
    // The one character a kernel object's name may not hold.
    for (char& c : identity) {
        if (c == '\\')
            c = '/';
    }
    return Wide(std::string(space) + "\\TorvanReader." + kind + "." + identity);
}

} // namespace

std::wstring UnitLock::MutexName(const std::string& identity)
{
    return ObjectName("Global", "Unit", identity);
}

std::wstring UnitLock::RecordName(const std::string& identity)
{
    // Global file mappings need a privilege that users lack: the record is the session's.
    return ObjectName("Local", "Holder", identity);
}

UnitLock::UnitLock(const std::string& identity) : m_identity(identity)
{
    {
        std::lock_guard lock(heldMutex);
        if (held.count(identity)) {
            m_error = HidClaim::HeldByAnother();
            m_holder = ProgramText(ThisProcessId());
            return;
        }
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(identity).c_str());
    if (!mutex) {
        const DWORD code = GetLastError();
        // A mutex made by a program of another user (an administrator's) exists, so it is held,
        // but may not be opened here.
        m_error = code == ERROR_ACCESS_DENIED ? HidClaim::HeldByAnother() : WindowsError(code);
        if (code == ERROR_ACCESS_DENIED)
            m_holder = ReadHolder(identity);
        return;
    }
    switch (WaitForSingleObject(mutex, 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its holder ended without letting go: the unit is free
        m_mutex = mutex;
        WriteRecord(identity);
        {
            std::lock_guard lock(heldMutex);
            held.insert(identity);
        }
        return;
    case WAIT_TIMEOUT:
        m_error = HidClaim::HeldByAnother();
        m_holder = ReadHolder(identity);
        break;
    default: m_error = LastWindowsError(); break;
    }
    CloseHandle(mutex);
}

UnitLock::~UnitLock()
{
    if (!m_mutex)
        return;
    if (m_record)
        CloseHandle(m_record);
    // Released by the thread that took it: the programs take and let go of units on their UI
    // thread. Closing the last handle lets go in any case.
    ReleaseMutex(m_mutex);
    CloseHandle(m_mutex);
    std::lock_guard lock(heldMutex);
    held.erase(m_identity);
}

void UnitLock::WriteRecord(const std::string& identity)
{
    m_record = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                  RecordName(identity).c_str());
    void* view = m_record ? MapViewOfFile(m_record, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)) : nullptr;
    if (!view)
        return; // the unit is held all the same; a second program says "another program"
    *static_cast<DWORD*>(view) = GetCurrentProcessId();
    UnmapViewOfFile(view);
}

std::string UnitLock::ReadHolder(const std::string& identity)
{
    HANDLE record = OpenFileMappingW(FILE_MAP_READ, FALSE, RecordName(identity).c_str());
    if (!record)
        return {};
    DWORD pid = 0;
    if (const void* view = MapViewOfFile(record, FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
        pid = *static_cast<const DWORD*>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(record);
    return pid ? ProgramText(static_cast<int>(pid)) : std::string();
}
