#include "output.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "numbers.h"

namespace sylvo_tool {

namespace {

using json = nlohmann::ordered_json;

json to_json(const Cell& cell) { return cell ? json(*cell) : json(nullptr); }

std::string csv_text(const Cell& cell) { return cell ? shortest(*cell) : std::string(); }

// Ages read best without trailing zeros: 20, 22.5.
std::string age_text(double age)
{
    std::string s = fixed(age, 3);
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string table_text(const Column& column, const Cell& cell, const std::string& missing)
{
    if (!cell) return missing;
    return column.decimals < 0 ? age_text(*cell) : fixed(*cell, column.decimals);
}

Cell cell(double x) { return std::isnan(x) ? std::nullopt : Cell(x); }

std::vector<Cell> cells(const sylvo::YieldRow& row)
{
    return {row.age,          row.height,          row.trees,           row.ba,
            cell(row.qmd),    row.volume,          cell(row.merch_volume), cell(row.removed_trees),
            cell(row.removed_ba), cell(row.removed_volume), row.mai,     cell(row.pai),
            row.sdi};
}

// Right-aligned columns under a line of labels and a line of units.
template <class Extra>
void write_aligned(std::ostream& out, const std::vector<Column>& columns, const std::vector<std::vector<Cell>>& rows,
                   Extra extra)
{
    std::vector<std::vector<std::string>> text;
    text.push_back({});
    text.push_back({});
    for (const Column& c : columns) {
        text[0].push_back(c.label);
        text[1].push_back(c.unit);
    }
    for (const auto& row : rows) {
        text.push_back({});
        for (size_t i = 0; i < row.size(); ++i) text.back().push_back(table_text(columns[i], row[i], ""));
        if (columns.size() > row.size()) text.back().push_back(extra(text.size() - 3));
    }
    std::vector<size_t> width(columns.size(), 0);
    for (const auto& line : text)
        for (size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());
    for (const auto& line : text) {
        std::string s;
        for (size_t i = 0; i < line.size(); ++i) {
            s += std::string(width[i] - line[i].size() + (i ? 2 : 0), ' ');
            s += line[i];
        }
        s.erase(s.find_last_not_of(' ') + 1);
        out << s << '\n';
    }
}

json model_json(const Library& library)
{
    return {{"model", library.model().id}, {"version", library.version()}};
}


}  // namespace

const std::vector<Column>& yield_table_columns()
{
    static const std::vector<Column> columns{
        {"age_yr", "age", "yr", -1},
        {"height_m", "height", "m", 2},
        {"trees_per_ha", "trees", "/ha", 1},
        {"ba_m2_per_ha", "BA", "m2/ha", 2},
        {"qmd_cm", "QMD", "cm", 2},
        {"volume_m3_per_ha", "volume", "m3/ha", 1},
        {"merch_volume_m3_per_ha", "merch", "m3/ha", 1},
        {"removed_trees_per_ha", "thin_trees", "/ha", 1},
        {"removed_ba_m2_per_ha", "thin_BA", "m2/ha", 2},
        {"removed_volume_m3_per_ha", "thin_vol", "m3/ha", 1},
        {"mai_m3_per_ha_yr", "MAI", "m3/ha/yr", 2},
        {"pai_m3_per_ha_yr", "PAI", "m3/ha/yr", 2},
        {"sdi_per_ha", "SDI", "/ha", 0},
    };
    return columns;
}

std::string csv_field(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

namespace {

json ledger_json(const Valuation& v)
{
    json records = json::array();
    for (const sylvo::LedgerRecord& r : v.ledger) {
        json assortments = json::object();
        for (std::size_t k = 0; k < r.assortments.size(); ++k)
            assortments[v.economics->assortments[k].name] = r.assortments[k];
        records.push_back({{"age_yr", r.age},
                           {"kind", r.harvest ? "harvest" : "thinning"},
                           {"removed_trees_per_ha", to_json(cell(r.trees))},
                           {"removed_ba_m2_per_ha", to_json(cell(r.ba))},
                           {"removed_volume_m3_per_ha", to_json(cell(r.volume))},
                           {"removed_merch_volume_m3_per_ha", to_json(cell(r.merch_volume))},
                           {"assortments", assortments},
                           {"revenue_per_ha", r.revenue},
                           {"cost_per_ha", r.cost},
                           {"net_per_ha", r.net},
                           {"note", r.note.empty() ? json(nullptr) : json(r.note)}});
    }
    return records;
}

json value_json(const Valuation& v)
{
    const sylvo::TableValues& x = v.values;
    auto number = [](double d) { return std::isfinite(d) ? json(d) : json(nullptr); };
    return {{"discount_rate", v.economics->discount_rate},
            {"rotation_age_yr", number(x.rotation)},
            {"npv_per_ha", number(x.npv)},
            {"lev_per_ha", number(x.lev)},
            {"irr", number(x.irr)},
            {"eav_per_ha", number(x.eav)},
            {"why", x.valued ? json(nullptr) : json(x.why)},
            {"irr_why", x.irr_why.empty() ? json(nullptr) : json(x.irr_why)}};
}

// The ledger and the values after a table: CSV blocks after an empty line,
// or aligned lines for people.
void write_valuation(std::ostream& out, Format format, const Valuation& v)
{
    const auto& names = v.economics->assortments;
    if (format == Format::Csv) {
        out << "\nage_yr,kind,removed_trees_per_ha,removed_ba_m2_per_ha,removed_volume_m3_per_ha,"
               "removed_merch_volume_m3_per_ha";
        for (const sylvo::Assortment& a : names) out << ',' << csv_field(a.name + "_m3_per_ha");
        out << ",revenue_per_ha,cost_per_ha,net_per_ha,note\n";
        for (const sylvo::LedgerRecord& r : v.ledger) {
            out << shortest(r.age) << ',' << (r.harvest ? "harvest" : "thinning") << ',' << csv_text(cell(r.trees)) << ','
                << csv_text(cell(r.ba)) << ',' << csv_text(cell(r.volume)) << ',' << csv_text(cell(r.merch_volume));
            for (double x : r.assortments) out << ',' << shortest(x);
            out << ',' << shortest(r.revenue) << ',' << shortest(r.cost) << ',' << shortest(r.net) << ','
                << csv_field(r.note) << '\n';
        }
        const sylvo::TableValues& x = v.values;
        auto c = [](double d) { return std::isfinite(d) ? shortest(d) : std::string(); };
        out << "\ndiscount_rate,rotation_age_yr,npv_per_ha,lev_per_ha,irr,eav_per_ha,why,irr_why\n"
            << shortest(v.economics->discount_rate) << ',' << c(x.rotation) << ',' << c(x.npv) << ',' << c(x.lev) << ','
            << c(x.irr) << ',' << c(x.eav) << ',' << csv_field(x.why) << ',' << csv_field(x.irr_why) << '\n';
        return;
    }
    out << "\nRemovals (" << v.economics->file << ")\n";
    std::vector<Column> columns{{"age_yr", "age", "yr", -1},     {"kind", "kind", "", -3},
                                {"trees", "trees", "/ha", 1},    {"ba", "BA", "m2/ha", 2},
                                {"volume", "volume", "m3/ha", 1}, {"merch", "merch", "m3/ha", 1}};
    for (const sylvo::Assortment& a : names) columns.push_back({a.name, a.name, "m3/ha", 1});
    for (const char* k : {"revenue", "cost", "net"}) columns.push_back({k, k, "/ha", 2});
    std::vector<std::vector<std::string>> text{{}, {}};
    for (const Column& c : columns) {
        text[0].push_back(c.label);
        text[1].push_back(c.unit);
    }
    auto f = [](double d, int decimals) { return std::isfinite(d) ? fixed(d, decimals) : std::string(); };
    for (const sylvo::LedgerRecord& r : v.ledger) {
        std::vector<std::string> line{age_text(r.age), r.harvest ? "harvest" : "thinning", f(r.trees, 1), f(r.ba, 2),
                                      f(r.volume, 1), f(r.merch_volume, 1)};
        for (double x : r.assortments) line.push_back(f(x, 1));
        for (double x : {r.revenue, r.cost, r.net}) line.push_back(f(x, 2));
        text.push_back(line);
    }
    std::vector<size_t> width(columns.size(), 0);
    for (const auto& line : text)
        for (size_t i = 0; i < line.size(); ++i) width[i] = std::max(width[i], line[i].size());
    for (const auto& line : text) {
        std::string s;
        for (size_t i = 0; i < line.size(); ++i) {
            const std::string pad(width[i] - line[i].size(), ' ');
            s += (i ? "  " : "") + (i == 1 ? line[i] + pad : pad + line[i]);
        }
        s.erase(s.find_last_not_of(' ') + 1);
        out << s << '\n';
    }
    for (const sylvo::LedgerRecord& r : v.ledger)
        if (!r.note.empty()) out << "age " << age_text(r.age) << ": " << r.note << '\n';
    const sylvo::TableValues& x = v.values;
    out << "\ndiscount rate " << shortest(v.economics->discount_rate);
    if (!x.valued) {
        out << ": no values: " << x.why << '\n';
        return;
    }
    out << ", rotation " << age_text(x.rotation) << " yr: NPV at the start age " << fixed(x.npv, 2) << "/ha, LEV "
        << fixed(x.lev, 2) << "/ha, EAV " << fixed(x.eav, 2) << "/ha/yr, IRR "
        << (std::isfinite(x.irr) ? fixed(100.0 * x.irr, 2) + "%" : "none (" + x.irr_why + ")") << '\n';
}

}  // namespace

void write_yield_table(std::ostream& out, Format format, const Library& library, const sylvo::TableRequest& request,
                       const sylvo::YieldTable& table, const sylvo::Regime* regime, const Valuation* valuation)
{
    const auto& columns = yield_table_columns();
    std::vector<std::vector<Cell>> rows;
    for (const sylvo::YieldRow& row : table.rows) rows.push_back(cells(row));
    const bool merch = !std::isnan(request.merch_limit);

    if (format == Format::Json) {
        json doc = model_json(library);
        const bool by_height = std::isnan(request.site);
        doc["stand"] = {
            {"site_index_m", table.site},
            {"site_from",
             by_height ? json{{"height_m", request.height}, {"age_yr", request.height_age}} : json(nullptr)},
            {"age_shift_yr", request.shift},
            {"start_age_yr", request.start_age},
            {"trees_per_ha", request.trees},
            {"ba_m2_per_ha", request.ba},
            {"end_age_yr", request.end_age},
            {"interval_yr", request.interval},
            {"merch_limit_cm", merch ? json(request.merch_limit) : json(nullptr)},
            {"max_sdi", request.max_sdi},
        };
        doc["thinnings"] = json::array();
        for (const sylvo::Thinning& t : request.thinnings)
            doc["thinnings"].push_back({{"age_yr", t.age},
                                        {"residual_trees_per_ha", to_json(cell(t.residual_trees))},
                                        {"residual_ba_m2_per_ha", to_json(cell(t.residual_ba))},
                                        {"p", t.p}});
        doc["regime"] = regime ? json::parse(regime->document) : json(nullptr);
        doc["rows"] = json::array();
        for (size_t r = 0; r < rows.size(); ++r) {
            json object = json::object();
            for (size_t i = 0; i < columns.size(); ++i) object[columns[i].key] = to_json(rows[r][i]);
            const std::string_view event = table.row_event(r);
            object["event"] = event.empty() ? json(nullptr) : json(std::string(event));
            const std::string note = table.row_note(r);
            object["note"] = note.empty() ? json(nullptr) : json(note);
            if (table.rows[r].harvest) object["harvest"] = true;
            doc["rows"].push_back(object);
        }
        doc["harvested"] = table.harvested;
        if (valuation) {
            doc["economics"] = json::parse(valuation->economics->document);
            doc["ledger"] = ledger_json(*valuation);
            doc["value"] = value_json(*valuation);
        }
        doc["stopped"] = table.stop ? json{{"age_yr", table.stop->age},
                                           {"after_thinning", table.stop->after_thinning},
                                           {"reason", table.stop->reason}}
                                    : json(nullptr);
        out << doc.dump(2) << '\n';
        return;
    }
    if (format == Format::Csv) {
        for (size_t i = 0; i < columns.size(); ++i) out << columns[i].key << ',';
        out << "event,note\n";
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t i = 0; i < columns.size(); ++i) out << csv_text(rows[r][i]) << ',';
            out << csv_field(std::string(table.row_event(r))) << ',' << csv_field(table.row_note(r)) << '\n';
        }
        if (valuation) write_valuation(out, format, *valuation);
        return;
    }
    out << "Yield table, " << library.model().name << " (version " << fixed(library.version(), 1) << ")\n";
    out << "site index " << fixed(table.site, 2) << " m";
    if (std::isnan(request.site))
        out << " (dominant height " << shortest(request.height) << " m at age " << shortest(request.height_age) << ")";
    out << ", age shift " << shortest(request.shift) << " yr";
    if (merch) out << ", merchantable limit " << shortest(request.merch_limit) << " cm";
    out << ", maximum SDI " << shortest(request.max_sdi) << '\n';
    for (const sylvo::Thinning& t : request.thinnings) {
        out << "thinning at age " << shortest(t.age) << " to ";
        if (!std::isnan(t.residual_trees))
            out << shortest(t.residual_trees) << " trees/ha";
        else
            out << shortest(t.residual_ba) << " m2/ha of basal area";
        out << " (p " << shortest(t.p) << ")\n";
    }
    if (regime) {
        out << "regime '" << regime->name << "'";
        if (regime->events.empty()) out << ": no thinning and no harvest";
        out << '\n';
        for (const std::string& line : sylvo::describe_regime(*regime))
            if (!regime->events.empty()) out << "  " << line << '\n';
    }
    out << '\n';
    // Rows with volume anomalies get marks (1, 2, ...) explained under the
    // table, one mark for each kind of note the table has.
    std::vector<unsigned> kinds;
    for (unsigned bit = 1; bit <= sylvo::kNoteMerchNegative; bit <<= 1)
        if (table.notes & bit) kinds.push_back(bit);
    std::vector<Column> with_notes = columns;
    if (!kinds.empty()) with_notes.push_back({"note", "note", "", -2});
    std::vector<std::vector<Cell>> numbers = rows;
    write_aligned(out, with_notes, numbers, [&](size_t r) {
        std::string marks;
        for (size_t k = 0; k < kinds.size(); ++k)
            if (table.rows[r].notes & kinds[k]) marks += (marks.empty() ? "" : ",") + std::to_string(k + 1);
        return marks;
    });
    if (!kinds.empty()) {
        out << '\n';
        for (size_t k = 0; k < kinds.size(); ++k) {
            std::string text = sylvo::note_text(kinds[k]);
            if (kinds[k] == sylvo::kNoteMerchNegative) text += ", shown as 0";
            out << "note " << k + 1 << ": " << text << '\n';
        }
    }
    if (!table.texts.empty()) {
        out << '\n';
        for (const sylvo::RowText& t : table.texts) {
            const std::string age = age_text(table.rows[t.row].age);
            if (!t.event.empty()) out << "age " << age << ": " << t.event << '\n';
            if (!t.note.empty()) out << "age " << age << ": " << t.note << '\n';
        }
    }
    if (valuation) write_valuation(out, format, *valuation);
}

void write_record(std::ostream& out, Format format, const Library& library, const std::vector<Field>& fields)
{
    if (format == Format::Json) {
        json doc = model_json(library);
        for (const Field& f : fields) doc[f.column.key] = to_json(f.value);
        out << doc.dump(2) << '\n';
        return;
    }
    if (format == Format::Csv) {
        for (size_t i = 0; i < fields.size(); ++i) out << (i ? "," : "") << fields[i].column.key;
        out << '\n';
        for (size_t i = 0; i < fields.size(); ++i) out << (i ? "," : "") << csv_text(fields[i].value);
        out << '\n';
        return;
    }
    size_t width = 0;
    for (const Field& f : fields) width = std::max(width, f.column.label.size());
    for (const Field& f : fields) {
        out << f.column.label << std::string(width - f.column.label.size() + 2, ' ')
            << table_text(f.column, f.value, "none");
        if (f.value && !f.column.unit.empty()) out << ' ' << f.column.unit;
        out << '\n';
    }
}

}  // namespace sylvo_tool
