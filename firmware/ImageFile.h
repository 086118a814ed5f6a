#pragma once
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>

#include "firmware/FirmwareImage.h"
#include "firmware/IntelHex.h"

// From a chosen file to the image to program. A file whose first byte is ':' is Intel HEX text;
// any other file is the image byte for byte. The name plays no part.
namespace firmware {

// A file this short holds no firmware image.
inline constexpr size_t kMinFileSize = 257;
// Bounds what a file can make the tool read into memory (a HEX text of a full-size image with
// short records is well below it).
inline constexpr size_t kMaxFileSize = 256 * 1024 * 1024;

enum class LoadResult { Loaded, CannotOpen, TooSmall, TooLarge, NotConverted };

struct LoadedImage {
    LoadResult result = LoadResult::CannotOpen;
    size_t fileSize = 0; // known unless CannotOpen
    Image image;         // when Loaded
    HexError hexError;   // when NotConverted
    // When CannotOpen: what failed ("opened", "read") and the system's cause, when it gave one.
    const char* failed = "opened";
    std::error_code cause;
};

// limit: the largest image to make, as ConvertHexToBin takes it.
LoadedImage ImageFromFileBytes(std::span<const uint8_t> bytes, size_t limit = kMaxImageSize);
LoadedImage ReadImageFile(const std::filesystem::path& path);

// Why a file cannot be used, as the user is told; empty when it was loaded.
std::string LoadFailureText(const LoadedImage& loaded);
// Why a file could not be opened or read: the system's text ("No such file or directory"), or
// what failed where the system gave no cause.
std::string CannotOpenCause(const LoadedImage& loaded);

} // namespace firmware
