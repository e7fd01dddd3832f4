// A language file as a translator leaves it in the translations folder: loading it as the
// current language, every catalogue text asked for, and the gaps written back into it when
// the language ends, without losing any of the translator's entries.
#include <string>

#include "FuzzSupport.h"
#include "base/Ini.h"
#include "base/MessageSink.h"
#include "base/MlsCatalogue.h"
#include "base/MlsPrgMsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = [] {
        zm::SetMessageSink([](const std::string&, zm::MessageBoxType, const std::string&) {
            return zm::MsgResult::kOk;
        });
        return true;
    }();
    (void)quiet;
    zm::fuzz::InputReader in(data, size);
    const uint8_t mode = in.Byte();
    zm::fuzz::ScratchFolder& scratch = zm::fuzz::ScratchFolder::Get();
    const std::string path = scratch.Put("Fuzz.lng", in.Rest());

    zm::CMlsPrgMsg::Table loaded;
    {
        zm::CMlsPrgMsg service;
        service.SetFolder(scratch.Path());
        service.InitLanguages();
        if (!service.SwitchLanguage("Fuzz", (mode & 0x01) != 0))
            return 0;
        loaded = service.GetLoadedTable();
        // A slice of the catalogue, chosen by the input: every entry each time would make
        // the target too slow to explore the file itself.
        const auto& entries = zm::GetMlsEntries();
        const size_t first = entries.empty() ? 0 : (mode >> 3) * 37 % entries.size();
        for (size_t i = first; i < entries.size() && i < first + 48; ++i) {
            service.Translate(*entries[i]);
            if (mode & 0x02)
                service.TranslateCommon(*entries[i]);
        }
        if (mode & 0x04)
            service.RecordCatalogue();
    }  // the gaps go into the file here
    zm::CIni ini(path);
    for (const auto& [where, text] : loaded)
        ZM_FUZZ_REQUIRE(ini.IsKeyExist(where.first, where.second));
    return 0;
}
