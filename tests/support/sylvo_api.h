// The thirteen exports of a loaded Sylvo library as a table of function
// pointers, resolved by name through whatever loader the host uses (dlsym,
// GetProcAddress).
#pragma once

#include <string>
#include <type_traits>

#include "sylvo.h"

namespace sylvo_test {

struct SylvoApi {
    SylvoLibMainFn LibMain = nullptr;
    SylvoVersionFn SylvoVersion = nullptr;
    SylvoFn4 SylvoGrowTph = nullptr;
    SylvoFn4 SylvoGrowBa = nullptr;
    SylvoGrowFn SylvoGrow = nullptr;
    SylvoFn3 SylvoVolume = nullptr;
    SylvoFn4 SylvoMerchVol = nullptr;
    SylvoFn4 SylvoBaAfter = nullptr;
    SylvoFn4 SylvoTphAfter = nullptr;
    SylvoFn3 SylvoSite = nullptr;
    SylvoFn3 SylvoGain = nullptr;
    SylvoFn3 SylvoHeight = nullptr;
    SylvoFn3 SylvoAge = nullptr;
};

// The export names in the order of the export table (ordinals 1 to 13).
inline const char* const export_names[13] = {
    "LibMain", "SylvoAge", "SylvoBaAfter", "SylvoGain", "SylvoGrow", "SylvoGrowBa", "SylvoGrowTph",
    "SylvoHeight", "SylvoMerchVol", "SylvoSite", "SylvoTphAfter", "SylvoVersion", "SylvoVolume",
};

// Fills the table with lookup(name) for each export; `missing` receives the
// names that lookup did not find. Returns true when all were found.
template <class Lookup>
bool resolve_api(Lookup&& lookup, SylvoApi& api, std::string& missing)
{
    auto get = [&](auto& slot, const char* name) {
        void* p = lookup(name);
        if (!p) missing += std::string(missing.empty() ? "" : " ") + name;
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(p);
    };
    get(api.LibMain, "LibMain");
    get(api.SylvoVersion, "SylvoVersion");
    get(api.SylvoGrowTph, "SylvoGrowTph");
    get(api.SylvoGrowBa, "SylvoGrowBa");
    get(api.SylvoGrow, "SylvoGrow");
    get(api.SylvoVolume, "SylvoVolume");
    get(api.SylvoMerchVol, "SylvoMerchVol");
    get(api.SylvoBaAfter, "SylvoBaAfter");
    get(api.SylvoTphAfter, "SylvoTphAfter");
    get(api.SylvoSite, "SylvoSite");
    get(api.SylvoGain, "SylvoGain");
    get(api.SylvoHeight, "SylvoHeight");
    get(api.SylvoAge, "SylvoAge");
    return missing.empty();
}

}  // namespace sylvo_test
