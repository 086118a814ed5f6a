#pragma once
#include <cstdio>
#include <filesystem>

namespace firmware {

// fopen under a name in any script: Windows' C library reads a narrow name in the ANSI code page,
// which holds few of them, so it is given the name in UTF-16 there. LastFileError() tells why it
// failed (device/SystemError.h).
// Our narrow text is UTF-8 everywhere, and a path made from it would be read in that code page
// too: a file's name reaches these calls as a path made by Qt (QFileInfo::filesystemFilePath()),
// which holds it in UTF-16 on Windows.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

} // namespace firmware
