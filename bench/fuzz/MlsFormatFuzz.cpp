// A translated text template from a language file, filled in place of the built-in one:
// whatever the translator wrote, the result is built without printf and never reads an
// argument that is not there.
#include <array>
#include <string>

#include "FuzzSupport.h"
#include "base/MlsFormat.h"

namespace {

using Fill = std::string (*)(std::string_view translated);

const std::array<Fill, 6> kTemplates{
    [](std::string_view t) {
        return zm::MlsFormat(t, "%s: %d", {"Pier 1", 42});
    },
    [](std::string_view t) {
        return zm::MlsFormat(t, "\r\n%s: [%s, %d %s]", {"Parse data", "Ok", 3, "elements"});
    },
    [](std::string_view t) {
        return zm::MlsFormat(t, "Addr:%d(=%d?), blSize:%d(=%d?), Cmnd:%d(=%d?), Crc:%d(=%d?)",
                             {0, 0, 20, 20, 2, 2, 3156, 3156});
    },
    [](std::string_view t) {
        return zm::MlsFormat(t, "%-12.8f %s %.3lf", {1.5, "x", 2.25});
    },
    [](std::string_view t) {
        return zm::MlsFormat(t, "%d%% %s %u", {5, "done", 7u});
    },
    [](std::string_view t) {
        return zm::MlsFormat(t, "%.02X, %5.1lf m %ld", {255, 12.25, 123456789L});
    },
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const Fill fill = kTemplates[in.Byte() % kTemplates.size()];
    fill(in.Rest());
    return 0;
}
