#include "device/Process.h"

#include <unistd.h>

#include <fstream>

int ThisProcessId()
{
    return static_cast<int>(getpid());
}

std::string ProgramText(int pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    const std::string process = "process " + std::to_string(pid);
    return std::getline(comm, name) && !name.empty() ? name + " (" + process + ")" : process;
}
