// The fuzz target of image loading: any bytes, as a file or as HEX text. What it converts must stay
// within the image limit and survive a round trip through HEX text; a refusal names a line of the
// text and a reason.
#include "FuzzCheck.h"
#include "HexText.h"
#include "firmware/DeviceInfo.h"
#include "firmware/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using firmware::LoadResult;
    firmware::LoadedImage loaded = firmware::ImageFromFileBytes({data, size});
    Require(loaded.image.size() <= firmware::kMaxImageSize, "loaded image within the limit");
    firmware::FindImageInfo(loaded.image);
    // What the loader took as HEX it converted already: every input is converted once, since an
    // address record can make that fill up to 16 MiB.
    const bool loadedAsHex =
        size > 0 && data[0] == ':'
        && (loaded.result == LoadResult::Loaded || loaded.result == LoadResult::NotConverted);
    const firmware::HexConversion converted =
        loadedAsHex ? firmware::HexConversion{loaded.result == LoadResult::Loaded,
                                              std::move(loaded.image), loaded.hexError}
                    : firmware::ConvertHexToBin({data, size});
    if (!converted.ok)
        Require(converted.error.line >= 1 && converted.error.line <= size + 1
                    && !converted.error.reason.empty(),
                "a refusal names a line inside the text and a reason");
    Require(converted.image.size() <= firmware::kMaxImageSize, "converted image within the limit");
    if (converted.ok && converted.image.size() <= 1024 * 1024) {
        const std::string text = hextext::Write(converted.image);
        const firmware::HexConversion again =
            firmware::ConvertHexToBin({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
        Require(again.ok && again.image == converted.image,
                "the image survives a round trip through HEX");
    }
    return 0;
}
