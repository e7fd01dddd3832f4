#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "base/MlsEntry.h"

namespace zm {

// The message catalogue: every translation entry of the program, one catalogue file per
// subsystem under base/texts/. The list is explicit (not filled by static constructors),
// so entries of a catalogue file nobody else references still reach the template.
struct CMlsCatalogue {
    const char* name;
    std::span<const CMlsEntry* const> entries;
};

std::span<const CMlsCatalogue> GetMlsCatalogues();

// All entries of all catalogues, catalogue by catalogue, each key once.
const std::vector<const CMlsEntry*>& GetMlsEntries();

// The registered entry of a key (exact comparison), or null for a key outside the catalogue.
const CMlsEntry* FindMlsEntry(std::string_view key);

}  // namespace zm
