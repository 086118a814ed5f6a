#include "firmware/OpenFile.h"

namespace firmware {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

} // namespace firmware
