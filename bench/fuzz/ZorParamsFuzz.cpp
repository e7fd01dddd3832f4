// The parameter block as a sensor answers it (182 bytes, or 180 in the older layout) or as
// a settings file holds it: decoding, the identification text and the rendering.
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "device/zor/ZorParams.h"

namespace {

size_t CountCharacters(std::string_view utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const uint8_t mode = in.Byte();
    std::span<const uint8_t> bytes(in.Data(), in.Size());

    zm::ZorParams params = zm::DefaultZorParams();
    const zm::ZorParams before = params;
    const bool decoded = zm::DecodeDevParams(bytes, params);
    ZM_FUZZ_REQUIRE(decoded == (bytes.size() == zm::ZorParams::kSize ||
                                bytes.size() == zm::ZorParams::kOldSize));
    if (!decoded) {
        ZM_FUZZ_REQUIRE(params == before);
        // Any block a settings file may hold: the first 182 bytes, zero-filled.
        std::copy_n(bytes.begin(), std::min(bytes.size(), zm::ZorParams::kSize),
                    params.bytes.begin());
    }
    // The device name of the rendering comes from the settings, after the block.
    std::string_view name;
    if (bytes.size() > zm::ZorParams::kSize)
        name = zm::fuzz::AsText(bytes.data() + zm::ZorParams::kSize,
                                bytes.size() - zm::ZorParams::kSize);

    const std::string id = zm::GetDeviceIdText(params);
    ZM_FUZZ_REQUIRE(CountCharacters(id) <= 16);
    const std::string number = params.DeviceNum();
    ZM_FUZZ_REQUIRE(number.compare(0, id.size(), id) == 0);
    const std::string text = zm::RenderParams(params, name);
    ZM_FUZZ_REQUIRE(text.find(number) != std::string::npos);

    for (const zm::ZorParamField& field : zm::ZorParamFields()) {
        if (field.type == zm::ZorFieldType::kText)
            continue;
        ZM_FUZZ_REQUIRE(params.GetField(field.name).has_value());
    }
    if (mode & 0x01) {
        // The number typed in the settings dialog, stored and read back.
        params.SetDeviceNum(name);
        zm::GetDeviceIdText(params);
        zm::RenderParams(params, name);
    }
    return 0;
}
