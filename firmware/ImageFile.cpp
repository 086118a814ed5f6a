#include "firmware/ImageFile.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

#include "device/SystemError.h"
#include "firmware/OpenFile.h"

namespace firmware {
namespace {

// Pieces in which a HEX file is read: the text of a large image is never held whole.
constexpr size_t kPieceSize = 1024 * 1024;

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// The file could not be opened or read; cause is the system's, taken right after the call.
LoadedImage CannotOpen(const char* failed, std::error_code cause)
{
    LoadedImage loaded;
    loaded.failed = failed;
    loaded.cause = cause;
    return loaded;
}

// What a file and bytes in memory share: the size bounds, then HEX or raw by the first byte.
// readRaw fills the image with the bytes; convertHex gives the conversion, or nothing when the
// bytes could not be read.
LoadedImage Decide(size_t size, uint8_t first, size_t limit,
                   const std::function<bool(Image&)>& readRaw,
                   const std::function<std::optional<HexConversion>()>& convertHex)
{
    LoadedImage loaded;
    loaded.fileSize = size;
    if (size < kMinFileSize) {
        loaded.result = LoadResult::TooSmall;
        return loaded;
    }
    if (first != ':') {
        if (size > limit)
            loaded.result = LoadResult::TooLarge;
        else
            loaded.result = readRaw(loaded.image) ? LoadResult::Loaded : LoadResult::CannotOpen;
        return loaded;
    }
    std::optional<HexConversion> converted = convertHex();
    if (!converted) {
        loaded.result = LoadResult::CannotOpen;
    } else if (!converted->ok) {
        loaded.result = LoadResult::NotConverted;
        loaded.hexError = std::move(converted->error);
    } else {
        loaded.result = LoadResult::Loaded;
        loaded.image = std::move(converted->image);
    }
    return loaded;
}

std::optional<HexConversion> ConvertHexFile(FILE* file, size_t size)
{
    HexConverter converter(size);
    std::vector<uint8_t> buffer(kPieceSize);
    size_t filled = 0;
    for (;;) {
        // What is left of a piece is less than a line, which the converter bounds.
        const size_t got = std::fread(buffer.data() + filled, 1, buffer.size() - filled, file);
        if (got == 0 && std::ferror(file))
            return std::nullopt;
        filled += got;
        const bool last = got == 0;
        const size_t used = converter.Feed({buffer.data(), filled}, last);
        if (last || converter.Done())
            return converter.Finish();
        std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(used),
                  buffer.begin() + static_cast<std::ptrdiff_t>(filled), buffer.begin());
        filled -= used;
    }
}

} // namespace

std::string LoadFailureText(const LoadedImage& loaded)
{
    const std::string size = "File size " + std::to_string(loaded.fileSize) + " bytes: too ";
    switch (loaded.result) {
    case LoadResult::CannotOpen: return "Cannot open the file!";
    case LoadResult::TooSmall: return size + "small for a firmware image!";
    case LoadResult::TooLarge: return size + "large for a firmware image!";
    case LoadResult::NotConverted:
        return "Fail to convert the input from hex to bin! (line "
               + std::to_string(loaded.hexError.line) + ": " + loaded.hexError.reason + ")";
    case LoadResult::Loaded: break;
    }
    return {};
}

std::string CannotOpenCause(const LoadedImage& loaded)
{
    return loaded.cause ? loaded.cause.message() : std::string("it could not be ") + loaded.failed;
}

LoadedImage ImageFromFileBytes(std::span<const uint8_t> bytes, size_t limit)
{
    return Decide(
        bytes.size(), bytes.empty() ? 0 : bytes.front(), limit,
        [&](Image& image) {
            image.assign(bytes.begin(), bytes.end());
            return true;
        },
        [&] { return std::optional(ConvertHexToBin(bytes, limit)); });
}

LoadedImage ReadImageFile(const std::filesystem::path& path)
{
    ClearFileError();
    const File file(OpenFile(path, "rb"), std::fclose);
    if (!file)
        return CannotOpen("opened", LastFileError());
    // The first byte before the size: a directory opens, but cannot be read.
    const int first = std::fgetc(file.get());
    if (std::ferror(file.get()) || std::fseek(file.get(), 0, SEEK_END) != 0)
        return CannotOpen("read", LastFileError());
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return CannotOpen("read", LastFileError());
    const auto fileSize = static_cast<size_t>(size);
    if (fileSize > kMaxFileSize) {
        LoadedImage tooLarge;
        tooLarge.result = LoadResult::TooLarge;
        tooLarge.fileSize = fileSize;
        return tooLarge;
    }
    std::error_code readError;
    LoadedImage loaded = Decide(
        fileSize, static_cast<uint8_t>(first), kMaxImageSize,
        [&](Image& image) {
            image.resize(fileSize);
            const bool read = std::fread(image.data(), 1, image.size(), file.get()) == image.size();
            readError = LastFileError();
            return read;
        },
        [&] {
            std::optional<HexConversion> converted = ConvertHexFile(file.get(), fileSize);
            readError = LastFileError();
            return converted;
        });
    if (loaded.result == LoadResult::CannotOpen)
        loaded = CannotOpen("read", readError);
    return loaded;
}

} // namespace firmware
