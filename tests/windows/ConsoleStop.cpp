// Sends a console's stop event to the programs on a console: torvan_console_stop PID EVENT
// (0 Ctrl-C, 1 Ctrl-Break). A program can send these only to its own console, so the suites
// start a program with a console of its own and this helper joins it to send them.
#include <cstdlib>
#include <windows.h>

namespace {

BOOL WINAPI Stay(DWORD)
{
    return TRUE; // the event is for the program; this helper ends when it has sent it
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    FreeConsole();
    if (!AttachConsole(DWORD(std::strtoul(argv[1], nullptr, 10))))
        return 1;
    SetConsoleCtrlHandler(Stay, TRUE);
    return GenerateConsoleCtrlEvent(DWORD(std::strtoul(argv[2], nullptr, 10)), 0) ? 0 : 1;
}
