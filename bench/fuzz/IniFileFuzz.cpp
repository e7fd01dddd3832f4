// A settings or language file as it lies on disk, read through the INI access class: the
// conversion of a file without byte-order mark, every typed read, and a write read back.
#include <array>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "base/Ini.h"
#include "platform/CodePage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zm::fuzz::InputReader in(data, size);
    const uint8_t mode = in.Byte();
    const std::string path = zm::fuzz::ScratchFolder::Get().Put("Fuzz.ini", in.Rest());
    zm::CIni ini(path);

    std::vector<std::string> sections, keys;
    ini.GetSectionNames(sections);
    if (sections.size() > 8)
        sections.resize(8);
    for (const std::string& section : sections) {
        ZM_FUZZ_REQUIRE(section.empty() || ini.IsSectionExist(section));
        ini.GetKeyNames(section, keys);
        if (keys.size() > 8)
            keys.resize(8);
        for (const std::string& key : keys) {
            const std::string value = ini.GetString(section, key);
            std::array<char, 8> small{};
            const int n = ini.GetString(section, key, small.data(), static_cast<int>(small.size()));
            ZM_FUZZ_REQUIRE(n >= 0 && n <= static_cast<int>(small.size()));
            ZM_FUZZ_REQUIRE(small.back() == '\0');
            ini.GetInt(section, key, -1, 10);
            ini.GetInt(section, key, -1, 16);
            ini.GetBool(section, key, false);
            ini.GetDouble(section, key, 0.5);
            const int blockSize = ini.GetDataBlock(section, key, nullptr, 0);
            ZM_FUZZ_REQUIRE(blockSize >= 0 && static_cast<size_t>(blockSize) <= value.size());
            std::vector<uint8_t> block(static_cast<size_t>(blockSize));
            ini.GetDataBlock(section, key, block.data(), blockSize, mode & 0x07);
        }
    }
    // A value written by the program reads back unchanged, whatever the file held before.
    if (mode & 0x80) {
        const std::string value = "Pier \xD0\x9F 1";
        if (ini.WriteString("Zor-01", "sName", value))
            ZM_FUZZ_REQUIRE(ini.GetString("Zor-01", "sName") == value);
    }
    return 0;
}
