// Holds a file open, sharing it with nobody, until its standard input ends, as a program that
// keeps a file of TorvanReader in use does: torvan_hold_file FILE
#include <cstdio>
#include <windows.h>

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 2;
    const HANDLE file = CreateFileA(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    while (std::getchar() != EOF) {
    }
    CloseHandle(file);
    return 0;
}
