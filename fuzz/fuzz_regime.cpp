// The regime file reader on any bytes: a refusal is a RegimeError whose
// place lies within the text; a regime read runs a table of a fixed stand
// (refused only with InputError or RegimeError), every row's event and note
// belong to a kept row, and the regime written back as a document reads
// again to the same description.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sylvo/regime.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    sylvo::RegimeFile file;
    try {
        file = sylvo::parse_regimes(text, "fuzz.json");
    } catch (const sylvo::RegimeError& e) {
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        if (e.place().line < 0 || e.place().line > lines) std::abort();
        return 0;
    }
    for (sylvo::Regime& regime : file.regimes) {
        const auto words = sylvo::describe_regime(regime);
        for (sylvo::RegimeNumber* n : sylvo::search_numbers(regime)) n->value = n->low;
        const sylvo::RegimeFile again = sylvo::parse_regimes(sylvo::regime_document(regime), "again.json");
        if (again.regimes.size() != 1) std::abort();
        sylvo::TableRequest request;
        request.model = static_cast<sylvo::Model>(size % 3);
        request.site = 22.0;
        request.start_age = 10.0;
        request.trees = 1500.0;
        request.ba = 8.0;
        request.end_age = 60.0;
        request.merch_limit = 10.0;
        try {
            const sylvo::YieldTable table = sylvo::yield_table(request, regime);
            for (const sylvo::RowText& t : table.texts)
                if (t.row >= table.rows.size()) std::abort();
            if (table.harvested && !table.rows.back().harvest) std::abort();
        } catch (const sylvo::InputError&) {
        } catch (const sylvo::RegimeError&) {
        }
    }
    return 0;
}
