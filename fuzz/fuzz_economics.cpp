// The economics file reader on any bytes: a refusal is a RegimeError whose
// place lies within the text; a file read values a fixed table under a
// fixed regime, with one ledger record per removal, each class 0 or more.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sylvo/economics.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sylvo::Economics economics;
    try {
        economics = sylvo::parse_economics(text, "fuzz.json");
    } catch (const sylvo::RegimeError& e) {
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        if (e.place().line < 0 || e.place().line > lines) std::abort();
        return 0;
    }
    static const sylvo::Regime regime = sylvo::parse_regimes(
        R"({"name": "r", "events": [{"action": "thin", "at": 25, "target": {"remove_ba_fraction": 0.3}, "p": 20},
                                     {"action": "harvest", "at": 50}]})", "r.json").pick("");
    sylvo::TableRequest request;
    request.model = static_cast<sylvo::Model>(size % 3);
    request.site = 22.0;
    request.start_age = 10.0;
    request.trees = 1500.0;
    request.ba = 8.0;
    request.end_age = 60.0;
    request.merch_limit = 10.0;
    const sylvo::YieldTable table = sylvo::yield_table(request, regime);
    const auto ledger = sylvo::removal_ledger(request, table, economics);
    for (const sylvo::LedgerRecord& r : ledger)
        for (double v : r.assortments)
            if (!(v >= 0.0)) std::abort();
    const sylvo::TableValues values = sylvo::table_values(request, table, ledger, economics);
    if (values.valued != table.harvested) std::abort();
    return 0;
}
