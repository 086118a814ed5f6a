// The fuzz target of image loading: any bytes, as a file or as HEX text. What it converts must stay
// within the image limit and survive a round trip through HEX text; a refusal names a line of the
// text and a reason.
#include "FuzzCheck.h"
#include "HexText.h"
#include "firmware/DeviceInfo.h"
#include "firmware/ImageFile.h"

// The image limit the loader is given here. At the chips' 16 MiB an address record made most
// inputs spend their time filling memory; at 64 KiB every limit check is as reachable (a 16-bit
// address already gets there) and an input converts in microseconds.
constexpr size_t kLimit = 64 * 1024;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using firmware::LoadResult;
    firmware::LoadedImage loaded = firmware::ImageFromFileBytes({data, size}, kLimit);
    Require(loaded.image.size() <= kLimit, "loaded image within the limit");
    firmware::FindImageInfo(loaded.image);
    // What the loader took as HEX it converted already: every input is converted once.
    const bool loadedAsHex =
        size > 0 && data[0] == ':'
        && (loaded.result == LoadResult::Loaded || loaded.result == LoadResult::NotConverted);
    const firmware::HexConversion converted =
        loadedAsHex ? firmware::HexConversion{loaded.result == LoadResult::Loaded,
                                              std::move(loaded.image), loaded.hexError}
                    : firmware::ConvertHexToBin({data, size}, kLimit);
    if (!converted.ok)
        Require(converted.error.line >= 1 && converted.error.line <= size + 1
                    && !converted.error.reason.empty(),
                "a refusal names a line inside the text and a reason");
    Require(converted.image.size() <= kLimit, "converted image within the limit");
    if (converted.ok) {
        const std::string text = hextext::Write(converted.image);
        const firmware::HexConversion again = firmware::ConvertHexToBin(
            {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, kLimit);
        Require(again.ok && again.image == converted.image,
                "the image survives a round trip through HEX");
    }
    return 0;
}
