#include "base/MlsCatalogue.h"

#include <unordered_map>

#include "base/texts/BaseTexts.h"
#include "base/texts/DeviceTexts.h"
#include "base/texts/DialogTexts.h"
#include "base/texts/LogTexts.h"
#include "base/texts/MenuTexts.h"
#include "base/texts/ParamTexts.h"
#include "base/texts/WindowTexts.h"
#include "base/texts/ZorTexts.h"

namespace zm {

namespace {

const std::vector<CMlsCatalogue>& Catalogues() {
    static const std::vector<CMlsCatalogue> catalogues = {
        {"BaseTexts", texts::BaseTexts()},     {"DeviceTexts", texts::DeviceTexts()},
        {"ZorTexts", texts::ZorTexts()},       {"ParamTexts", texts::ParamTexts()},
        {"LogTexts", texts::LogTexts()},       {"MenuTexts", texts::MenuTexts()},
        {"WindowTexts", texts::WindowTexts()}, {"DialogTexts", texts::DialogTexts()},
    };
    return catalogues;
}

struct Registry {
    std::vector<const CMlsEntry*> entries;
    std::unordered_map<std::string_view, const CMlsEntry*> byKey;

    Registry() {
        for (const CMlsCatalogue& catalogue : Catalogues()) {
            for (const CMlsEntry* entry : catalogue.entries) {
                // A key listed twice keeps its first entry; the catalogue test guards
                // against that happening at all.
                if (byKey.emplace(entry->Key(), entry).second) {
                    entries.push_back(entry);
                }
            }
        }
    }
};

const Registry& GetRegistry() {
    static const Registry registry;
    return registry;
}

}  // namespace

std::span<const CMlsCatalogue> GetMlsCatalogues() {
    return Catalogues();
}

const std::vector<const CMlsEntry*>& GetMlsEntries() {
    return GetRegistry().entries;
}

const CMlsEntry* FindMlsEntry(std::string_view key) {
    const auto& byKey = GetRegistry().byKey;
    auto it = byKey.find(key);
    return it == byKey.end() ? nullptr : it->second;
}

}  // namespace zm
