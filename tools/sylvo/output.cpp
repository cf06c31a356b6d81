#include "output.h"

#include <algorithm>
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

std::vector<Cell> cells(const Row& row)
{
    return {row.age,          row.height,         row.tph,       row.ba,
            row.qmd,          row.volume,         row.merch_volume, row.removed_tph,
            row.removed_ba,   row.removed_volume, row.mai,       row.pai};
}

// Right-aligned columns under a line of labels and a line of units.
void write_aligned(std::ostream& out, const std::vector<Column>& columns, const std::vector<std::vector<Cell>>& rows)
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
        for (size_t i = 0; i < columns.size(); ++i) text.back().push_back(table_text(columns[i], row[i], ""));
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
    const std::string& id = library.model().id;
    return {{"model", id.empty() ? json(nullptr) : json(id)},
            {"library", library.path()},
            {"version", library.version()}};
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
    };
    return columns;
}

void write_yield_table(std::ostream& out, Format format, const Library& library, const Stand& stand,
                       const YieldTable& table)
{
    const auto& columns = yield_table_columns();
    std::vector<std::vector<Cell>> rows;
    for (const Row& row : table.rows) rows.push_back(cells(row));

    if (format == Format::Json) {
        json doc = model_json(library);
        doc["stand"] = {
            {"site_index_m", stand.site_index},
            {"site_from", stand.site_height ? json{{"height_m", *stand.site_height}, {"age_yr", *stand.site_age}}
                                            : json(nullptr)},
            {"age_shift_yr", stand.age_shift},
            {"start_age_yr", stand.start_age},
            {"trees_per_ha", stand.tph},
            {"ba_m2_per_ha", stand.ba},
            {"end_age_yr", stand.end_age},
            {"interval_yr", stand.interval},
            {"merch_limit_cm", stand.merch_limit},
        };
        doc["thinnings"] = json::array();
        for (const Thinning& t : stand.thinnings)
            doc["thinnings"].push_back({{"age_yr", t.age},
                                        {"residual_trees_per_ha", to_json(t.residual_tph)},
                                        {"residual_ba_m2_per_ha", to_json(t.residual_ba)},
                                        {"p", t.p}});
        doc["rows"] = json::array();
        for (const auto& row : rows) {
            json object = json::object();
            for (size_t i = 0; i < columns.size(); ++i) object[columns[i].key] = to_json(row[i]);
            doc["rows"].push_back(object);
        }
        doc["stopped"] = table.stop ? json{{"age_yr", table.stop->age},
                                           {"after_thinning", table.stop->after_thinning},
                                           {"reason", table.stop->reason}}
                                    : json(nullptr);
        out << doc.dump(2) << '\n';
        return;
    }
    if (format == Format::Csv) {
        for (size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << columns[i].key;
        out << '\n';
        for (const auto& row : rows) {
            for (size_t i = 0; i < columns.size(); ++i) out << (i ? "," : "") << csv_text(row[i]);
            out << '\n';
        }
        return;
    }
    out << "Yield table, " << library.model().name << " (" << library.path() << ", version "
        << fixed(library.version(), 1) << ")\n";
    out << "site index " << fixed(stand.site_index, 2) << " m";
    if (stand.site_height)
        out << " (dominant height " << shortest(*stand.site_height) << " m at age " << shortest(*stand.site_age)
            << ")";
    out << ", age shift " << shortest(stand.age_shift) << " yr, merchantable limit " << shortest(stand.merch_limit)
        << " cm\n";
    for (const Thinning& t : stand.thinnings) {
        out << "thinning at age " << shortest(t.age) << " to ";
        if (t.residual_tph)
            out << shortest(*t.residual_tph) << " trees/ha";
        else
            out << shortest(*t.residual_ba) << " m2/ha of basal area";
        out << " (p " << shortest(t.p) << ")\n";
    }
    out << '\n';
    write_aligned(out, columns, rows);
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
