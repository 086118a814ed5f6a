// Sends a console's stop event to the programs on a console: torvan_console_stop PID EVENT
// (0 Ctrl-C, 1 Ctrl-Break). A program can send these only to its own console, so the suites
// start a program with a console of its own and this helper joins it to send them.
#include <cstdio>
#include <cstdlib>
#include <windows.h>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    FreeConsole();
    if (!AttachConsole(DWORD(std::strtoul(argv[1], nullptr, 10)))) {
        std::fprintf(stderr, "cannot join the console of process %s: error %lu\n", argv[1],
                     GetLastError());
        return 1;
    }
    // The event is for the program; this helper ends when it has sent it.
    SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
    if (!GenerateConsoleCtrlEvent(DWORD(std::strtoul(argv[2], nullptr, 10)), 0)) {
        std::fprintf(stderr, "cannot send event %s: error %lu\n", argv[2], GetLastError());
        return 1;
    }
    return 0;
}
