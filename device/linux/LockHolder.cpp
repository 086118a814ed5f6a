#include "device/linux/LockHolder.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "device/Process.h"

std::string LockHolder(const std::string& path)
{
    struct stat node {};
    if (stat(path.c_str(), &node) != 0)
        return {};
    // A line per lock: "1: FLOCK  ADVISORY  WRITE 1234 00:05:567 0 EOF", the file by the major and
    // minor number of its file system (hex) and its inode; "1: -> FLOCK ..." is a waiter.
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string id, kind, advisory, mode, file;
        int pid = 0;
        if (!(fields >> id >> kind) || kind == "->" || !(fields >> advisory >> mode >> pid >> file)
            || kind != "FLOCK" || pid <= 0)
            continue;
        unsigned fsMajor = 0, fsMinor = 0;
        unsigned long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%lu", &fsMajor, &fsMinor, &inode) == 3
            && fsMajor == major(node.st_dev) && fsMinor == minor(node.st_dev)
            && inode == node.st_ino)
            return ProgramText(pid);
    }
    return {};
}
