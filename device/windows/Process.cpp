#include "device/Process.h"

#include <windows.h>

#include "device/windows/WideText.h"

int ThisProcessId()
{
    return static_cast<int>(GetCurrentProcessId());
}

std::string ProgramText(int pid)
{
    std::string process = "process " + std::to_string(pid);
    HANDLE program = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!program)
        return process;
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    const bool named = QueryFullProcessImageNameW(program, 0, path, &length);
    CloseHandle(program);
    if (!named)
        return process;
    // The program's file name without its folder and ".exe", as on Linux.
    std::wstring name(path, length);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".exe") == 0)
        name.resize(name.size() - 4);
    return Utf8(name) + " (" + process + ")";
}
