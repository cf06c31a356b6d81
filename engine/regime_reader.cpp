// The regime file reader: JSON parsed by nlohmann-json, every value's place
// (pointer, line, column) found by a scan of the same text, and each key
// and value checked against what the schema accepts.
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <unordered_map>

#include "sylvo/regime.hpp"
#include "json_places.h"
#include "values.h"

namespace sylvo {

using engine::shortest;
using namespace engine;

RegimeError::RegimeError(std::string file, SourcePlace place, std::string problem, std::string accepted)
    : std::invalid_argument(file + (place.line > 0 ? ":" + std::to_string(place.line) + ":" +
                                                         std::to_string(place.column)
                                                   : std::string()) +
                            ": " + (place.pointer.empty() && place.line > 0 ? std::string("(document)")
                                                                            : place.pointer) +
                            (place.pointer.empty() && place.line == 0 ? "" : ": ") + problem +
                            "; accepted: " + accepted),
      file_(std::move(file)),
      place_(std::move(place)),
      problem_(std::move(problem)),
      accepted_(std::move(accepted))
{
}

namespace {

class Reader : public JsonReader {
public:
    using JsonReader::JsonReader;

    RegimeNumber number(const json& v, const std::string& pointer, Range range, bool searchable, bool is_age) const
    {
        RegimeNumber n;
        n.place = place(pointer);
        n.is_age = is_age;
        const std::string accepted = std::string(range.words) +
                                     (searchable ? ", or {\"search\": [LOW, HIGH]} with optional \"step\" and \"start\""
                                                 : "");
        if (searchable && v.is_object()) {
            object(v, pointer, {"search", "step", "start"}, "a search range");
            if (!v.contains("search")) fail(pointer, "has no \"search\"", accepted);
            const json& s = v["search"];
            const std::string sp = pointer + "/search";
            if (!s.is_array() || s.size() != 2)
                fail(sp, std::string("is ") + (s.is_array() ? "an array of " + std::to_string(s.size()) : type_name(s)),
                     "[LOW, HIGH], two numbers with LOW below HIGH, each " + std::string(range.words));
            n.search = true;
            n.low = plain(s[0], sp + "/0", range, accepted);
            n.high = plain(s[1], sp + "/1", range, accepted);
            if (!(n.low < n.high)) fail(sp, "has LOW " + shortest(n.low) + " not below HIGH " + shortest(n.high), "[LOW, HIGH] with LOW below HIGH");
            if (v.contains("step")) {
                n.step = plain(v["step"], pointer + "/step", kPositive, "a step above 0");
                if (!(n.step <= n.high - n.low))
                    fail(pointer + "/step", "is " + shortest(n.step) + ", more than the range", "a step above 0 and at most HIGH - LOW");
            }
            if (v.contains("start")) {
                n.start = plain(v["start"], pointer + "/start", range, accepted);
                if (!(n.start >= n.low && n.start <= n.high))
                    fail(pointer + "/start", "is " + shortest(n.start) + ", outside the range", "a start from LOW to HIGH");
            }
            return n;
        }
        n.value = plain(v, pointer, range, accepted);
        return n;
    }

    Regime regime(const json& v, const std::string& pointer, bool top) const
    {
        if (top)
            object(v, pointer, {"$schema", "name", "description", "check_every", "events"}, "a regime");
        else
            object(v, pointer, {"name", "description", "check_every", "events"}, "a regime");
        Regime r;
        r.file = file_;
        r.place = place(pointer);
        if (!v.contains("name")) fail(pointer, "has no \"name\"", "a regime with a \"name\" and its \"events\"");
        if (!v["name"].is_string() || v["name"].get<std::string>().empty())
            fail(pointer + "/name", std::string("is ") + (v["name"].is_string() ? "empty" : type_name(v["name"])), "a name, a string that is not empty");
        r.name = v["name"].get<std::string>();
        if (v.contains("description") && !v["description"].is_string())
            fail(pointer + "/description", std::string("is ") + type_name(v["description"]), "a string");
        if (v.contains("check_every")) {
            r.check_every = number(v["check_every"], pointer + "/check_every", kYears, false, false);
        } else {
            r.check_every.value = 1.0;
            r.check_every.place = place(pointer);
        }
        if (!v.contains("events")) fail(pointer, "has no \"events\"", "a regime with a \"name\" and its \"events\"");
        const json& events = v["events"];
        if (!events.is_array())
            fail(pointer + "/events", std::string("is ") + type_name(events) + ", not an array", "an array of events");
        for (std::size_t i = 0; i < events.size(); ++i)
            r.events.push_back(event(events[i], pointer + "/events/" + std::to_string(i)));
        json document = v;
        document.erase("$schema");
        r.document = document.dump();
        return r;
    }

    RegimeEvent event(const json& v, const std::string& pointer) const
    {
        object(v, pointer, {"action", "at", "every", "when", "target", "p", "min_removal", "label"}, "an event");
        RegimeEvent e;
        e.place = place(pointer);
        const char* actions = "\"thin\" or \"harvest\"";
        if (!v.contains("action")) fail(pointer, "has no \"action\"", actions);
        const json& action = v["action"];
        if (action == "thin") e.action = EventAction::thin;
        else if (action == "harvest") e.action = EventAction::harvest;
        else fail(pointer + "/action", "is " + action.dump(), actions);
        const bool thin = e.action == EventAction::thin;
        if (v.contains("label")) {
            if (!v["label"].is_string()) fail(pointer + "/label", std::string("is ") + type_name(v["label"]), "a string");
            e.label = v["label"].get<std::string>();
        }

        const int timings = int(v.contains("at")) + int(v.contains("every")) + int(v.contains("when"));
        const char* timing_words = thin ? "exactly one of \"at\" (an age or a list of ages), \"every\" and \"when\""
                                        : "exactly one of \"at\" (an age) and \"when\"";
        if (timings != 1) fail(pointer, timings == 0 ? "has no time" : "has more than one time", timing_words);
        if (v.contains("at")) {
            e.timing = EventTiming::at;
            const json& at = v["at"];
            const std::string ap = pointer + "/at";
            if (at.is_array()) {
                if (!thin) fail(ap, "is a list", "one age for the harvest");
                if (at.empty()) fail(ap, "is an empty list", "an age or a list of ages");
                for (std::size_t i = 0; i < at.size(); ++i) {
                    e.at.push_back(number(at[i], ap + "/" + std::to_string(i), kAge, true, true));
                    if (i > 0 && !e.at[i].search && !e.at[i - 1].search && !(e.at[i].value > e.at[i - 1].value))
                        fail(ap + "/" + std::to_string(i), "is not after the age before it", "ages in increasing order");
                }
            } else {
                e.at.push_back(number(at, ap, kAge, true, true));
            }
        } else if (v.contains("every")) {
            e.timing = EventTiming::every;
            const std::string ep = pointer + "/every";
            if (!thin) fail(ep, "is a time for thinnings", "\"at\" an age or \"when\" a condition, for the harvest");
            const json& every = v["every"];
            object(every, ep, {"from", "step", "to"}, "\"every\"");
            if (!every.contains("from") || !every.contains("step"))
                fail(ep, "lacks \"from\" or \"step\"", "{\"from\": AGE, \"step\": YEARS, \"to\": AGE (optional)}");
            e.every_from = number(every["from"], ep + "/from", kAge, true, true);
            e.every_step = number(every["step"], ep + "/step", kYears, true, false);
            if (every.contains("to")) {
                e.every_to = number(every["to"], ep + "/to", kAge, true, true);
                if (!e.every_to.search && !e.every_from.search && !(e.every_to.value >= e.every_from.value))
                    fail(ep + "/to", "is before \"from\"", "an age from \"from\" on");
            }
        } else {
            e.timing = EventTiming::when;
            e.when = condition(v["when"], pointer + "/when", thin);
        }

        if (thin) {
            if (!v.contains("target")) fail(pointer, "has no \"target\"", "a thinning with a \"target\" and its \"p\"");
            target(v["target"], pointer + "/target", e);
            if (!v.contains("p")) fail(pointer, "has no \"p\"", "a thinning with a \"target\" and its \"p\" (the thinning response's stand value, above 0)");
            e.p = number(v["p"], pointer + "/p", kPositive, false, false);
            if (v.contains("min_removal")) {
                const json& m = v["min_removal"];
                const std::string mp = pointer + "/min_removal";
                object(m, mp, {"trees_per_ha", "ba_m2_per_ha", "volume_m3_per_ha"}, "a minimum removal");
                if (m.empty()) fail(mp, "is empty", "one or more of trees_per_ha, ba_m2_per_ha, volume_m3_per_ha");
                if (m.contains("trees_per_ha")) e.min_trees = number(m["trees_per_ha"], mp + "/trees_per_ha", kNonNegative, false, false);
                if (m.contains("ba_m2_per_ha")) e.min_ba = number(m["ba_m2_per_ha"], mp + "/ba_m2_per_ha", kNonNegative, false, false);
                if (m.contains("volume_m3_per_ha")) e.min_volume = number(m["volume_m3_per_ha"], mp + "/volume_m3_per_ha", kNonNegative, false, false);
            }
        } else {
            for (const char* key : {"target", "p", "min_removal"})
                if (v.contains(key)) fail_key(pointer + "/" + key, "is not a key of a harvest", "action, at or when, label");
        }
        return e;
    }

    void target(const json& v, const std::string& pointer, RegimeEvent& e) const
    {
        static const std::pair<const char*, TargetKind> kinds[] = {
            {"trees_per_ha", TargetKind::trees_per_ha},
            {"ba_m2_per_ha", TargetKind::ba_m2_per_ha},
            {"sdi_per_ha", TargetKind::sdi_per_ha},
            {"relative_density", TargetKind::relative_density},
            {"remove_trees_fraction", TargetKind::remove_trees_fraction},
            {"remove_ba_fraction", TargetKind::remove_ba_fraction},
        };
        object(v, pointer, {"trees_per_ha", "ba_m2_per_ha", "sdi_per_ha", "relative_density", "remove_trees_fraction", "remove_ba_fraction"}, "a target");
        if (v.size() != 1)
            fail(pointer, "has " + std::to_string(v.size()) + " targets",
                 "exactly one of trees_per_ha, ba_m2_per_ha, sdi_per_ha, relative_density, remove_trees_fraction, "
                 "remove_ba_fraction");
        for (const auto& [key, kind] : kinds) {
            if (!v.contains(key)) continue;
            e.target = kind;
            const bool fraction = kind == TargetKind::remove_trees_fraction || kind == TargetKind::remove_ba_fraction;
            e.target_value = number(v[key], pointer + "/" + key, fraction ? kFraction : kPositive, true, false);
        }
    }

    Condition condition(const json& v, const std::string& pointer, bool thin) const
    {
        static const std::pair<const char*, ConditionKind> kinds[] = {
            {"ba_m2_per_ha_over", ConditionKind::ba_m2_per_ha_over},
            {"sdi_per_ha_over", ConditionKind::sdi_per_ha_over},
            {"relative_density_over", ConditionKind::relative_density_over},
            {"height_m_over", ConditionKind::height_m_over},
            {"trees_per_ha_over", ConditionKind::trees_per_ha_over},
            {"mai_culminates", ConditionKind::mai_culminates},
        };
        const char* list = thin ? "exactly one of ba_m2_per_ha_over, sdi_per_ha_over, relative_density_over, "
                                  "height_m_over, trees_per_ha_over"
                                : "exactly one of ba_m2_per_ha_over, sdi_per_ha_over, relative_density_over, "
                                  "height_m_over, trees_per_ha_over, mai_culminates";
        object(v, pointer,
               {"ba_m2_per_ha_over", "sdi_per_ha_over", "relative_density_over", "height_m_over", "trees_per_ha_over",
                "mai_culminates", "from_age", "to_age", "min_years_since_thinning"},
               "a condition");
        Condition c;
        int count = 0;
        for (const auto& [key, kind] : kinds) {
            if (!v.contains(key)) continue;
            ++count;
            c.kind = kind;
            const std::string kp = pointer + "/" + key;
            if (kind == ConditionKind::mai_culminates) {
                if (thin) fail(kp, "is a condition of the harvest only", list);
                if (v[key] != true) fail(kp, "is " + v[key].dump(), "true");
            } else {
                c.threshold = number(v[key], kp, kNonNegative, true, false);
            }
        }
        if (count != 1) fail(pointer, count == 0 ? "has no condition" : "has more than one condition", list);
        if (v.contains("from_age")) c.from_age = number(v["from_age"], pointer + "/from_age", kAge, true, true);
        if (v.contains("to_age")) c.to_age = number(v["to_age"], pointer + "/to_age", kAge, true, true);
        if (c.from_age.given() && c.to_age.given() && !c.from_age.search && !c.to_age.search &&
            !(c.to_age.value >= c.from_age.value))
            fail(pointer + "/to_age", "is before from_age", "an age from from_age on");
        if (v.contains("min_years_since_thinning"))
            c.min_years_since_thinning =
                number(v["min_years_since_thinning"], pointer + "/min_years_since_thinning", kNonNegative, true, false);
        return c;
    }

};


}  // namespace

RegimeFile parse_regimes(std::string_view text, std::string_view file_name)
{
    const std::string file(file_name);
    const json document = parse_document(text, file, "a JSON document holding a regime or {\"regimes\": [...]}");
    const Locator locator(text);
    refuse_duplicates(text, file, locator);
    const Reader reader(file, text, locator);
    RegimeFile out;
    out.file = file;
    if (document.is_object() && document.contains("regimes")) {
        reader.object(document, "", {"$schema", "regimes"}, "a file of several regimes");
        out.several = true;
        const json& list = document["regimes"];
        if (!list.is_array() || list.empty())
            reader.fail("/regimes", list.is_array() ? "is empty" : std::string("is ") + type_name(list),
                        "an array of one or more regimes");
        std::set<std::string> names;
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string pointer = "/regimes/" + std::to_string(i);
            out.regimes.push_back(reader.regime(list[i], pointer, false));
            if (!names.insert(out.regimes.back().name).second)
                reader.fail(pointer + "/name", "'" + out.regimes.back().name + "' names a regime before it too",
                            "a name of its own for each regime of a file");
        }
    } else {
        out.regimes.push_back(reader.regime(document, "", true));
    }
    return out;
}

RegimeFile read_regimes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw RegimeError(path, {}, "cannot be opened", "a readable regime file (JSON)");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw RegimeError(path, {}, "cannot be read", "a readable regime file (JSON)");
    return parse_regimes(text.str(), path);
}

const Regime& RegimeFile::pick(std::string_view name) const
{
    std::string list;
    for (const Regime& r : regimes) list += (list.empty() ? "" : ", ") + std::string("'") + r.name + "'";
    if (name.empty()) {
        if (regimes.size() == 1) return regimes.front();
        throw RegimeError(file, {}, "holds several regimes (" + list + ")", "a regime chosen by its name (--regime-name)");
    }
    for (const Regime& r : regimes)
        if (r.name == name) return r;
    throw RegimeError(file, {}, "holds no regime named '" + std::string(name) + "'", "one of " + list);
}

std::vector<std::string> RegimeFile::names() const
{
    std::vector<std::string> out;
    for (const Regime& r : regimes) out.push_back(r.name);
    return out;
}

namespace {

template <class R, class F>
void for_each_number(R& regime, F&& f)
{
    f(regime.check_every);
    for (auto& e : regime.events) {
        for (auto& a : e.at) f(a);
        for (auto* n : {&e.every_from, &e.every_step, &e.every_to, &e.when.threshold, &e.when.from_age, &e.when.to_age,
                        &e.when.min_years_since_thinning, &e.target_value, &e.p, &e.min_trees, &e.min_ba, &e.min_volume})
            f(*n);
    }
}

}  // namespace

std::vector<RegimeNumber*> search_numbers(Regime& regime)
{
    std::vector<RegimeNumber*> out;
    for_each_number(regime, [&](RegimeNumber& n) {
        if (n.search) out.push_back(&n);
    });
    return out;
}

std::vector<const RegimeNumber*> search_numbers(const Regime& regime)
{
    std::vector<const RegimeNumber*> out;
    for_each_number(regime, [&](const RegimeNumber& n) {
        if (n.search) out.push_back(&n);
    });
    return out;
}

std::string regime_document(const Regime& regime)
{
    json document = json::parse(regime.document);
    const std::string& base = regime.place.pointer;
    for_each_number(regime, [&](const RegimeNumber& n) {
        if (!n.search || n.place.pointer.size() < base.size()) return;
        const json::json_pointer pointer(n.place.pointer.substr(base.size()));
        if (n.value == n.value) document[pointer] = n.value;
    });
    return document.dump();
}

}  // namespace sylvo
