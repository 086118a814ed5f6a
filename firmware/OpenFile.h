#pragma once
#include <cstdio>
#include <filesystem>

namespace firmware {

// fopen under a name in any script: Windows' C library reads a narrow name in the ANSI code page,
// which holds few of them, so it is given the name in UTF-16 there. errno tells why it failed.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

} // namespace firmware
