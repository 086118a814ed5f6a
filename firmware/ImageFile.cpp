#include "firmware/ImageFile.h"

#include <cstdio>
#include <memory>

namespace firmware {

LoadedImage ImageFromFileBytes(std::span<const uint8_t> bytes)
{
    LoadedImage loaded;
    loaded.fileSize = bytes.size();
    if (bytes.size() < kMinFileSize) {
        loaded.result = LoadResult::TooSmall;
        return loaded;
    }
    if (bytes.front() != ':') {
        if (bytes.size() > kMaxImageSize) {
            loaded.result = LoadResult::TooLarge;
            return loaded;
        }
        loaded.image.assign(bytes.begin(), bytes.end());
        loaded.result = LoadResult::Loaded;
        return loaded;
    }
    HexConversion converted = ConvertHexToBin(bytes);
    if (!converted.ok) {
        loaded.result = LoadResult::NotConverted;
        loaded.hexError = std::move(converted.error);
        return loaded;
    }
    loaded.image = std::move(converted.image);
    loaded.result = LoadResult::Loaded;
    return loaded;
}

LoadedImage ReadImageFile(const std::string& path)
{
    LoadedImage failed;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return failed;
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return failed;
    failed.fileSize = static_cast<size_t>(size);
    if (failed.fileSize > kMaxFileSize) {
        failed.result = LoadResult::TooLarge;
        return failed;
    }
    std::vector<uint8_t> bytes(failed.fileSize);
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return failed;
    return ImageFromFileBytes(bytes);
}

} // namespace firmware
