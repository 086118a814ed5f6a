// The fuzz target of image loading: any bytes, as a file or as HEX text. Besides not crashing,
// what it converts must stay within the image limit and survive a round trip through HEX text.
#include "FuzzCheck.h"
#include "firmware/DeviceInfo.h"
#include "HexText.h"
#include "firmware/ImageFile.h"
#include "firmware/IntelHex.h"

namespace {

constexpr size_t kRoundTripLimit = 1024 * 1024;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using fuzz::Require;
    const std::span<const uint8_t> bytes(data, size);

    const firmware::LoadedImage loaded = firmware::ImageFromFileBytes(bytes);
    if (loaded.result == firmware::LoadResult::Loaded) {
        Require(loaded.image.size() <= firmware::kMaxImageSize, "loaded image within the limit");
        firmware::FindImageInfo(loaded.image);
    }

    const firmware::HexConversion converted = firmware::ConvertHexToBin(bytes);
    if (!converted.ok) {
        Require(converted.error.line >= 1 && converted.error.line <= size + 1,
                "error line inside the text");
        Require(!converted.error.reason.empty(), "error has a reason");
        return 0;
    }
    Require(converted.image.size() <= firmware::kMaxImageSize, "converted image within the limit");
    if (converted.image.size() <= kRoundTripLimit) {
        const std::string text = hextext::Write(converted.image);
        const firmware::HexConversion again =
            firmware::ConvertHexToBin({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
        Require(again.ok && again.image == converted.image,
                "image survives a round trip through HEX");
    }
    return 0;
}
