#include "firmware/OpenFile.h"

#include <cstring>
#include <string>

namespace firmware {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::strlen(mode)); // the mode is ASCII
    return _wfopen(path.c_str(), wideMode.c_str());
}

} // namespace firmware
