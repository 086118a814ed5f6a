// Sends a console's stop event to a program on a console of its own, in a process group of its
// own: torvan_console_stop PID EVENT (0 Ctrl-C, 1 Ctrl-Break). A program can send these only to
// its own console, so the suites start a program with a console of its own and this helper joins
// it to send them, to the program's process group, whose ID is the program's.
#include <cstdio>
#include <cstdlib>
#include <windows.h>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    const DWORD program = DWORD(std::strtoul(argv[1], nullptr, 10));
    FreeConsole();
    if (!AttachConsole(program)) {
        std::fprintf(stderr, "cannot join the console of process %s: error %lu\n", argv[1],
                     GetLastError());
        return 1;
    }
    // The event is for the program; this helper ends when it has sent it.
    SetConsoleCtrlHandler([](DWORD) -> BOOL { return TRUE; }, TRUE);
    if (!GenerateConsoleCtrlEvent(DWORD(std::strtoul(argv[2], nullptr, 10)), program)) {
        std::fprintf(stderr, "cannot send event %s: error %lu\n", argv[2], GetLastError());
        return 1;
    }
    return 0;
}
