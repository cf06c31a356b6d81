#include "explorer.hpp"

#include <cmath>
#include <optional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "library.h"
#include "numbers.h"
#include "output.h"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace sylvo_web {

namespace {

using json = nlohmann::ordered_json;

// The request's keys for the stand's numbers, the engine's column for each
// (the field its messages name), and what the field takes.
struct NumberField {
    const char* key;
    const char* column;
    const char* accepted;
};

const NumberField kNumbers[] = {
    {"site", "site_m", "a site index in m (its range depends on the model)"},
    {"height", "height_m", "a dominant height in m, a number above 0"},
    {"height_age", "height_age_yr", "an age in years, above 0 and at most 1000"},
    {"shift", "shift_yr", "a number of years"},
    {"start_age", "age_yr", "an age in years, above 0 and at most 1000"},
    {"trees", "trees_per_ha", "trees per hectare, a number above 0"},
    {"ba", "ba_m2_per_ha", "basal area in m2/ha, a number above 0"},
    {"end_age", "end_age_yr", "an age in years, above 0 and at most 1000"},
    {"interval", "interval_yr", "a number of years, above 0"},
    {"merch_limit", "merch_limit_cm", "a diameter in cm, 0 or more"},
    {"max_sdi", "max_sdi", "a stand density index, a number above 0"},
};

// The request key of an engine column ("trees_per_ha" -> "trees").
std::string key_of(const std::string& column)
{
    for (const NumberField& f : kNumbers)
        if (column == f.column) return f.key;
    if (column == "thinnings") return "thinnings";
    return column;
}

// A refusal: the field's key, the thinning it is about (or -1), and the
// engine's words.
struct Refusal {
    std::string key;
    int thinning = -1;
    sylvo::InputError error;
};

json refused(const Refusal& r)
{
    const sylvo::InputError& e = r.error;
    json out = {{"ok", false}, {"field", r.key}, {"thinning", r.thinning >= 0 ? json(r.thinning) : json(nullptr)},
                {"value", e.value()}, {"problem", e.problem()}, {"accepted", e.accepted()}};
    out["message"] = (e.value().empty() ? std::string() : "'" + e.value() + "' ") + e.problem() +
                     "; accepted: " + e.accepted();
    out["full"] = e.what();
    return out;
}

// The text of a request value: a JSON string as it is, a number in its
// shortest form, null or absent as empty.
std::string text_of(const json& request, const char* key, const char* column)
{
    const auto it = request.find(key);
    if (it == request.end() || it->is_null()) return {};
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number()) return sylvo_tool::shortest(it->get<double>());
    throw Refusal{key, -1, sylvo::InputError(column, it->dump(), "is not text or a number", "a number as text")};
}

// A number as the command line reads its options; kNone for an empty text.
double number_of(const json& request, const NumberField& field)
{
    std::string text = text_of(request, field.key, field.column);
    // Spaces around a typed number are not part of it.
    const auto first = text.find_first_not_of(" \t");
    text = first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") - first + 1);
    if (text.empty()) return sylvo::kNone;
    const auto value = sylvo_tool::parse_number(text);
    if (!value) throw Refusal{field.key, -1, sylvo::InputError(field.column, text, "is not a finite number", field.accepted)};
    return *value;
}

sylvo::TableRequest request_of(const json& request)
{
    if (!request.is_object())
        throw Refusal{"request", -1,
                      sylvo::InputError("request", "", "is not a JSON object", "an object of the stand's fields")};
    sylvo::TableRequest table;
    const std::string model = text_of(request, "model", "model");
    try {
        table.model = sylvo::parse_model(model.empty() ? "a" : model);
    } catch (const sylvo::EngineError&) {
        throw Refusal{"model", -1, sylvo::InputError("model", model, "is not a model", "a, b or c")};
    }
    double* slots[] = {&table.site,     &table.height, &table.height_age, &table.shift,
                       &table.start_age, &table.trees, &table.ba,         &table.end_age,
                       &table.interval, &table.merch_limit, &table.max_sdi};
    for (std::size_t i = 0; i < std::size(kNumbers); ++i) {
        const double value = number_of(request, kNumbers[i]);
        if (!std::isnan(value)) *slots[i] = value;  // otherwise the request's default
    }
    // As the command line: a stand needs its merchantable limit.
    if (std::isnan(table.merch_limit))
        throw Refusal{"merch_limit", -1,
                      sylvo::InputError("merch_limit_cm", "", "is missing (a stand needs it)",
                                        "the merchantable diameter limit in cm, 0 or more")};
    table.thinning_field = "thinnings";
    if (const auto it = request.find("thinnings"); it != request.end() && !it->is_null()) {
        if (!it->is_array())
            throw Refusal{"thinnings", -1,
                          sylvo::InputError("thinnings", "", "is not a list", "a list of AGE:tph=N:p=P or AGE:ba=B:p=P")};
        for (std::size_t i = 0; i < it->size(); ++i) {
            const json& item = (*it)[i];
            const std::string text = item.is_string() ? item.get<std::string>() : item.dump();
            try {
                table.thinnings.push_back(sylvo::parse_thinning(text, "thinnings"));
            } catch (const sylvo::InputError& e) {
                throw Refusal{"thinnings", static_cast<int>(i), e};
            }
        }
    }
    return table;
}

std::string formatted(sylvo_tool::Format format, const sylvo_tool::Library& library,
                      const sylvo::TableRequest& request, const sylvo::YieldTable& table, const sylvo::Regime* regime)
{
    std::ostringstream out;
    sylvo_tool::write_yield_table(out, format, library, request, table, regime);
    return out.str();
}

}  // namespace

namespace {

// The name regime text is read under in messages and in the table's JSON.
const char* const kRegimeFile = "regime.json";

// An answer as text. Messages quote the user's text, which may hold bytes
// that are not UTF-8 (or a character cut in two): those are replaced, not
// refused, so that the answer is always JSON.
std::string answer_text(const json& answer) { return answer.dump(-1, ' ', false, json::error_handler_t::replace); }

json regime_refused(const sylvo::RegimeError& e)
{
    return {{"ok", false},
            {"field", "regime"},
            {"thinning", nullptr},
            {"pointer", e.place().pointer},
            {"line", e.place().line},
            {"column", e.place().column},
            {"problem", e.problem()},
            {"accepted", e.accepted()},
            {"message", e.what()},
            {"full", e.what()}};
}

}  // namespace

std::string run(std::string_view text)
{
    sylvo::TableRequest request;
    try {
        const json parsed = json::parse(text, nullptr, false);
        if (parsed.is_discarded())
            throw Refusal{"request", -1, sylvo::InputError("request", "", "is not JSON", "a JSON object")};
        request = request_of(parsed);
        // A regime document, read by the engine's reader, as `--regime`.
        const std::string regime_text = text_of(parsed, "regime", "regime");
        const std::string regime_name = text_of(parsed, "regime_name", "regime_name");
        std::optional<sylvo::RegimeFile> file;
        const sylvo::Regime* regime = nullptr;
        if (regime_text.find_first_not_of(" \t\r\n") != std::string::npos) {
            if (!request.thinnings.empty())
                throw Refusal{"thinnings", 0,
                              sylvo::InputError("thinnings", request.thinnings.front().written,
                                                "is given together with a regime document",
                                                "thinnings in the regime document, or thinnings without one")};
            file = sylvo::parse_regimes(regime_text, kRegimeFile);
            regime = &file->pick(regime_name);
        } else if (!regime_name.empty()) {
            throw Refusal{"regime_name", -1,
                          sylvo::InputError("regime_name", regime_name, "is given without a regime document",
                                            "a regime document with it")};
        }
        const sylvo::YieldTable table = regime ? sylvo::yield_table(request, *regime) : sylvo::yield_table(request);
        const sylvo_tool::Library library(request.model);
        json out = {{"ok", true}, {"site", table.site}};
        out["csv"] = formatted(sylvo_tool::Format::Csv, library, request, table, regime);
        out["json"] = formatted(sylvo_tool::Format::Json, library, request, table, regime);
        // As the command line says it on standard error.
        out["stop"] = table.stop ? json("the stand is no longer a stand at age " + sylvo_tool::shortest(table.stop->age) +
                                        (table.stop->after_thinning ? " after the thinning" : "") + ": " +
                                        table.stop->reason)
                                 : json(nullptr);
        json warnings = sylvo::note_kinds(table.notes);
        std::size_t skipped = 0;
        for (const sylvo::RowText& t : table.texts) skipped += !t.note.empty();
        if (skipped)
            warnings.push_back(std::to_string(skipped) + (skipped == 1 ? " row says" : " rows say") +
                               " that an event was skipped or not due, and why (the note column)");
        out["warnings"] = warnings;
        out["regime_names"] = file ? json(file->names()) : json::array();
        out["regime"] = regime ? json(sylvo::describe_regime(*regime)) : json::array();
        return answer_text(out);
    } catch (const Refusal& r) {
        return answer_text(refused(r));
    } catch (const sylvo::RegimeError& e) {
        return answer_text(regime_refused(e));
    } catch (const sylvo::InputError& e) {
        Refusal r{key_of(e.field()), -1, e};
        if (e.field() == request.thinning_field)
            for (std::size_t i = 0; i < request.thinnings.size(); ++i)
                if (request.thinnings[i].written == e.value()) r.thinning = static_cast<int>(i);
        return answer_text(refused(r));
    } catch (const sylvo::EngineError& e) {
        return answer_text(refused(Refusal{"request", -1, sylvo::InputError("request", "", e.what(), "a stand the engine takes")}));
    } catch (const std::exception& e) {
        // Not a refusal of a value (the formatter failing, say): said as it is.
        return answer_text(refused(Refusal{"request", -1, sylvo::InputError("request", "", std::string("could not be answered: ") + e.what(), "a request the engine and the formatter take")}));
    }
}

std::string models()
{
    json out = json::array();
    for (sylvo::Model m : {sylvo::Model::a, sylvo::Model::b, sylvo::Model::c})
        out.push_back({{"id", sylvo::model_letter(m)}, {"name", sylvo::model_name(m)}, {"version", sylvo::model_version(m)}});
    return out.dump();
}

}  // namespace sylvo_web
