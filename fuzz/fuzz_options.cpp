// The sylvo tool's option and number parsers, driven like its command line:
// an input is lines, the first the command (table, height, age, site,
// volume, thin, grow), the others NAME=VALUE. Number options are read with
// parse_number (as main.cpp reads every number option), --thin with the
// engine's parse_thinning, --model and --format as written; the command
// then runs on what was given, as main.cpp runs it (its output dropped).
// Every value is also checked on its own: parse_number and the CSV reader's
// parse_field_number accept the same texts with the same bits, a number
// reads back from shortest(), fixed() never writes a negative zero, a
// thinning reads back from format_thinning(), and a thinning's age reads as
// parse_number reads it.
#include <iostream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "csv.h"
#include "errors.h"
#include "fuzz_values.h"
#include "numbers.h"
#include "sylvo/yield_table.hpp"

namespace {

using namespace sylvo_fuzz;
using sylvo_tool::parse_number;

void check_number_text(const std::string& text)
{
    const std::optional<double> x = parse_number(text);
    double y = 0.0;
    const sylvo_tool::NumberFault fault = sylvo_tool::parse_field_number(text, y);
    if (x.has_value() != (fault == sylvo_tool::NumberFault::none)) {
        std::fprintf(stderr, "text '%s': parse_number %s, parse_field_number %s\n", text.c_str(),
                     x ? "accepts" : "refuses", fault == sylvo_tool::NumberFault::none ? "accepts" : "refuses");
        fail("the command line and the CSV reader read a number differently");
    }
    if (!x) return;
    if (!same(*x, y)) fail("the command line and the CSV reader read different numbers", *x, y);
    const std::optional<double> back = parse_number(sylvo_tool::shortest(*x));
    if (!back || std::memcmp(&*back, &*x, sizeof(double)) != 0) fail("shortest() does not read back", *x, 0.0);
    for (int decimals : {0, 1, 2, 3}) {
        const std::string s = sylvo_tool::fixed(*x, decimals);
        if (s.empty() || (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos))
            fail("fixed() wrote a negative zero or nothing", *x, decimals);
    }
    // A thinning's age is read as the command line reads a number.
    bool taken = true;
    try {
        sylvo::parse_thinning(text + ":tph=1:p=1");
    } catch (const sylvo::InputError&) {
        taken = false;
    }
    if (taken != (*x > 0.0 && *x <= sylvo::kMaxAge)) fail("a thinning's age is read differently", *x, taken);
}

void check_thinning(const std::string& text)
{
    sylvo::Thinning t;
    try {
        t = sylvo::parse_thinning(text, "--thin");
    } catch (const sylvo::InputError& e) {
        if (e.field() != "--thin") fail("a refused thinning names another option");
        return;
    }
    const bool trees = std::isfinite(t.residual_trees), ba = std::isfinite(t.residual_ba);
    const double residual = trees ? t.residual_trees : t.residual_ba;
    if (!(t.age > 0.0 && t.age <= sylvo::kMaxAge) || trees == ba || !(residual > 0.0) ||
        !(std::isfinite(t.p) && t.p > 0.0))
        fail("an accepted thinning is not one", t.age, t.p);
    const sylvo::Thinning again = sylvo::parse_thinning(sylvo::format_thinning(t));
    if (!same(again.age, t.age) || !same(again.residual_trees, t.residual_trees) ||
        !same(again.residual_ba, t.residual_ba) || !same(again.p, t.p))
        fail("format_thinning does not read back");
}

void check_thinnings(const std::string& text)
{
    std::vector<sylvo::Thinning> all;
    try {
        all = sylvo::parse_thinnings(text, "thinnings");
    } catch (const sylvo::InputError& e) {
        if (e.field() != "thinnings") fail("refused thinnings name another column");
        return;
    }
    std::size_t expected = text.empty() ? 0 : 1;
    for (char c : text) expected += c == ';';
    if (all.size() != expected) fail("thinnings counted wrong", static_cast<double>(all.size()), expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> lines;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    for (std::size_t nl; (nl = rest.find('\n')) != std::string_view::npos; rest.remove_prefix(nl + 1))
        lines.emplace_back(rest.substr(0, nl));
    lines.emplace_back(rest);

    sylvo_tool::CommonOptions common;
    sylvo_tool::Values values;
    std::map<std::string, std::optional<double>*> numbers = {
        {"site", &values.site},         {"height", &values.height},     {"height-age", &values.height_age},
        {"shift", &values.shift},       {"start-age", &values.start_age}, {"trees", &values.trees},
        {"ba", &values.ba},             {"end-age", &values.end_age},   {"interval", &values.interval},
        {"merch-limit", &values.merch_limit}, {"age", &values.age},     {"p", &values.p},
        {"to-trees", &values.to_trees}, {"to-ba", &values.to_ba},       {"max-sdi", &values.max_sdi}};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t eq = line.find('=');
        const std::string name = line.substr(0, eq), value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (name == "thin") {
            check_thinning(value);
            values.thinnings.push_back(value);
        } else if (name == "thinnings") {
            check_thinnings(value);
        } else if (name == "model") {
            common.model = value;
        } else if (name == "format") {
            common.format = value;
        } else {
            check_number_text(value);
            if (auto slot = numbers.find(name); slot != numbers.end()) {
                // A number the command line does not read is refused there.
                const std::optional<double> x = parse_number(value);
                if (!x) return 0;
                *slot->second = x;
            }
        }
    }

    // What main.cpp requires of each command before it runs it.
    const std::string command = lines[0];
    auto given = [&](std::initializer_list<const std::optional<double>*> required) {
        for (const auto* x : required)
            if (!x->has_value()) return false;
        return true;
    };
    NullBuffer null;
    std::streambuf* out = std::cout.rdbuf(&null);
    std::streambuf* err = std::cerr.rdbuf(&null);
    int status = 0;
    try {
        // values.plot stays empty: drawing runs Python, not the tool's code.
        if (command == "table" || command.empty()) {
            status = sylvo_tool::run_table(common, values);
        } else if (command == "height" && given({&values.age, &values.site})) {
            status = sylvo_tool::run_height(common, values);
        } else if (command == "age" && given({&values.height, &values.site})) {
            status = sylvo_tool::run_age(common, values);
        } else if (command == "site" && given({&values.height, &values.age})) {
            status = sylvo_tool::run_site(common, values);
        } else if (command == "volume" && given({&values.height, &values.trees, &values.ba})) {
            status = sylvo_tool::run_volume(common, values);
        } else if (command == "thin" && given({&values.trees, &values.ba, &values.p})) {
            status = sylvo_tool::run_thin(common, values);
        } else if (command == "grow" && given({&values.start_age, &values.trees, &values.ba, &values.end_age})) {
            // The command line takes ages up to 1000 years; the span is
            // capped as in every target (capped_end_age).
            values.end_age = capped_end_age(*values.start_age, *values.end_age);
            status = sylvo_tool::run_grow(common, values);
        }
    } catch (const sylvo_tool::InputError&) {
    } catch (const sylvo::InputError&) {
    } catch (const sylvo::EngineError&) {
    } catch (const std::exception& e) {
        std::cout.rdbuf(out);
        std::cerr.rdbuf(err);
        std::fprintf(stderr, "%s\n", e.what());
        fail("a command failed with an exception that is not a refusal of its input");
    }
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    if (status != sylvo_tool::kOk && status != sylvo_tool::kOutOfRange) fail("an exit status not 0 or 3", status, 0);
    return 0;
}
