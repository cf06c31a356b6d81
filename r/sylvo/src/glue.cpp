// The R package's glue: converts R vectors and data-frame columns to the
// engine's types, calls the engine, and hands its results back. No model
// arithmetic happens here.
#include <Rcpp.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/csv.hpp"
#include "sylvo/engine.hpp"
#include "sylvo/inventory.hpp"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

#include "engine_config.h"

using Rcpp::CharacterVector;
using Rcpp::IntegerVector;
using Rcpp::List;
using Rcpp::NumericVector;

namespace {

sylvo::In in(const NumericVector& x) { return {x.begin(), static_cast<std::size_t>(x.size())}; }
sylvo::Out out(NumericVector& x) { return {x.begin(), static_cast<std::size_t>(x.size())}; }

sylvo::Options options_of(const std::string& mode, int threads)
{
    sylvo::Options o;
    o.mode = sylvo::parse_mode(mode);
    o.threads = threads;
    return o;
}

// A data frame cell as the engine reads it. A numeric column keeps its
// doubles (NA is an empty cell, NaN and the infinities are not finite); a
// character column is text, read as the command line reads a CSV field.
sylvo::Cell cell_of(SEXP column, R_xlen_t i)
{
    sylvo::Cell cell;
    auto text = [&cell](std::string_view t) {
        cell.kind = sylvo::Cell::Kind::text;
        cell.text = t;
    };
    switch (TYPEOF(column)) {
    case REALSXP: {
        const double x = REAL(column)[i];
        if (ISNA(x)) break;
        if (std::isnan(x)) text("NaN");
        else if (std::isinf(x)) text(x > 0 ? "Inf" : "-Inf");
        else {
            cell.kind = sylvo::Cell::Kind::number;
            cell.number = x;
        }
        break;
    }
    case INTSXP: {
        const int x = INTEGER(column)[i];
        if (x == NA_INTEGER) break;
        cell.kind = sylvo::Cell::Kind::number;
        cell.number = x;
        break;
    }
    case LGLSXP: {
        const int x = LOGICAL(column)[i];
        if (x != NA_LOGICAL) text(x ? "TRUE" : "FALSE");
        break;
    }
    case STRSXP: {
        SEXP s = STRING_ELT(column, i);
        if (s != NA_STRING) text(CHAR(s));
        break;
    }
    default: text("?");
    }
    return cell;
}

// The inventory columns the engine reads, in the order the R side passes
// them (absent ones as NULL).
enum Column { kModel, kAge, kTrees, kBa, kSite, kHeight, kHeightAge, kShift, kEndAge, kInterval, kMerchLimit,
              kThinnings, kRegime, kColumns };
const char* const kColumnNames[kColumns] = {"model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m",
                                            "height_m", "height_age_yr", "shift_yr", "end_age_yr",
                                            "interval_yr", "merch_limit_cm", "thinnings", "regime"};

struct Frame {
    List columns;           // one element per Column, NULL where absent
    IntegerVector position; // the column's position in the data frame (1-based), 0 where absent
    bool has(Column c) const { return position[c] > 0; }
    SEXP column(Column c) const { return columns[c]; }
};

std::string at_column(R_xlen_t row, const Frame& f, Column c)
{
    return "row " + std::to_string(row + 1) + ", column " + std::to_string(f.position[c]) + " (" +
           kColumnNames[c] + ")";
}

// Row I of a data frame as the engine reads a row of an inventory.
class FrameRow final : public sylvo::InventoryRow {
public:
    FrameRow(const Frame& f, R_xlen_t row) : f_(f), row_(row) {}
    bool has(sylvo::InventoryColumn c) const override { return f_.has(column_of(c)); }
    sylvo::Cell cell(sylvo::InventoryColumn c) const override { return cell_of(f_.column(column_of(c)), row_); }
    std::string where() const override { return "row " + std::to_string(row_ + 1); }
    std::string where(sylvo::InventoryColumn c) const override { return at_column(row_, f_, column_of(c)); }

private:
    static Column column_of(sylvo::InventoryColumn c) { return static_cast<Column>(static_cast<int>(c)); }
    const Frame& f_;
    R_xlen_t row_;
};

using Defaults = sylvo::RowDefaults;

std::string read_stand(const Frame& f, R_xlen_t row, const Defaults& defaults, sylvo::InventoryStand& s,
                       sylvo::TableStand* table)
{
    return sylvo::read_stand(FrameRow(f, row), defaults, s, table);
}

// The engine names a table's or a projection's values as the command line
// and the inventory columns do; an error from the function's own arguments
// names the R argument instead.
[[noreturn]] void rethrow_as_argument(const sylvo::InputError& e)
{
    static const std::pair<const char*, const char*> names[] = {
        {"age_yr", "start_age"},       {"trees_per_ha", "trees"},   {"ba_m2_per_ha", "ba"},
        {"site_m", "site"},            {"height_m", "height"},      {"height_age_yr", "height_age"},
        {"shift_yr", "shift"},         {"end_age_yr", "end_age"},   {"interval_yr", "interval"},
        {"merch_limit_cm", "merch_limit"}, {"--merch-limit", "merch_limit"}, {"--max-sdi", "max_sdi"},
        {"--to-age", "to_age"},        {"--years", "years"},        {"--end-age", "end_age"},
        {"--interval", "interval"}};
    std::string field = e.field();
    for (const auto& [from, to] : names)
        if (field == from) field = to;
    throw Rcpp::exception((field + ": '" + e.value() + "' " + e.problem() + "; accepted: " + e.accepted()).c_str(),
                          false);
}

}  // namespace

// [[Rcpp::export(.engine_info)]]
List engine_info()
{
    return List::create(Rcpp::Named("prefix") = SYLVO_ENGINE_PREFIX,
                        Rcpp::Named("versions") = NumericVector::create(
                            Rcpp::Named("a") = sylvo::model_version(sylvo::Model::a),
                            Rcpp::Named("b") = sylvo::model_version(sylvo::Model::b),
                            Rcpp::Named("c") = sylvo::model_version(sylvo::Model::c)));
}

// [[Rcpp::export(.model_name)]]
std::string model_name(std::string model) { return sylvo::model_name(sylvo::parse_model(model)); }

// [[Rcpp::export(.grow)]]
List grow(std::string model, NumericVector t1, NumericVector t2, NumericVector trees, NumericVector ba,
          std::string mode, int threads)
{
    const sylvo::Model m = sylvo::parse_model(model);
    const sylvo::Options o = options_of(mode, threads);
    NumericVector trees_out(trees.size()), ba_out(trees.size());
    sylvo::grow(m, in(t1), in(t2), in(trees), in(ba), out(trees_out), out(ba_out), o);
    return List::create(Rcpp::Named("trees_per_ha") = trees_out, Rcpp::Named("ba_m2_per_ha") = ba_out);
}

// [[Rcpp::export(.batch3)]]
NumericVector batch3(std::string fn, std::string model, NumericVector x, NumericVector y, NumericVector z)
{
    const sylvo::Model m = sylvo::parse_model(model);
    NumericVector r(x.size());
    if (fn == "height") sylvo::height(m, in(x), in(y), in(z), out(r));
    else if (fn == "site") sylvo::site(m, in(x), in(y), in(z), out(r));
    else if (fn == "age") sylvo::age(m, in(x), in(y), in(z), out(r));
    else if (fn == "volume") sylvo::volume(m, in(x), in(y), in(z), out(r));
    else Rcpp::stop("unknown function " + fn);
    return r;
}

// [[Rcpp::export(.batch4)]]
NumericVector batch4(std::string fn, std::string model, NumericVector w, NumericVector x, NumericVector y,
                     NumericVector z)
{
    const sylvo::Model m = sylvo::parse_model(model);
    NumericVector r(x.size());
    if (fn == "merch_volume") sylvo::merch_volume(m, in(w), in(x), in(y), in(z), out(r));
    else if (fn == "ba_after") sylvo::ba_after(m, in(w), in(x), in(y), in(z), out(r));
    else if (fn == "tph_after") sylvo::tph_after(m, in(w), in(x), in(y), in(z), out(r));
    else Rcpp::stop("unknown function " + fn);
    return r;
}

namespace {

// The columns of a table's rows, as R vectors named by the table's keys.
struct RowColumns {
    std::vector<std::vector<double>> numbers;
    std::vector<std::string> events, notes;

    RowColumns() : numbers(13) {}
    // A value a row does not have (the removals on a row that follows no
    // thinning, the PAI of a first row or of the row after a thinning, the
    // merchantable volume without a limit) is NA; a number the model gives
    // as not a number stays NaN.
    void add(const sylvo::YieldTable& table, std::size_t i, bool merch)
    {
        const sylvo::YieldRow& r = table.rows[i];
        const bool first = i == 0;
        const bool removed = r.after_thinning || r.harvest;
        const bool pai = !first && !r.after_thinning && !r.harvest;
        const double v[13] = {r.age, r.height, r.trees, r.ba, r.qmd, r.volume, merch ? r.merch_volume : NA_REAL,
                              removed ? r.removed_trees : NA_REAL, removed ? r.removed_ba : NA_REAL,
                              removed ? r.removed_volume : NA_REAL, r.mai, pai ? r.pai : NA_REAL, r.sdi};
        for (int k = 0; k < 13; ++k) numbers[k].push_back(v[k]);
        events.emplace_back(table.row_event(i));
        notes.push_back(table.row_note(i));
    }
    void add_empty()
    {
        for (auto& n : numbers) n.push_back(NA_REAL);
        events.emplace_back();
        notes.emplace_back();
    }
    List list() const
    {
        const auto keys = sylvo::yield_table_keys();
        List l(keys.size());
        CharacterVector names(keys.size());
        for (std::size_t k = 0; k < keys.size(); ++k) {
            names[k] = keys[k];
            if (k < numbers.size())
                l[k] = NumericVector(numbers[k].begin(), numbers[k].end());
            else if (std::string_view(keys[k]) == "event")
                l[k] = CharacterVector(events.begin(), events.end());
            else
                l[k] = CharacterVector(notes.begin(), notes.end());
        }
        l.attr("names") = names;
        return l;
    }
};

// An engine value an R number stands for: NA is none.
double none_if_na(double x) { return ISNA(x) ? sylvo::kNone : x; }

}  // namespace

// [[Rcpp::export(.yield_table)]]
List yield_table(std::string model, double site, double height, double height_age, double shift,
                 double start_age, double trees, double ba, double end_age, double interval, double merch_limit,
                 CharacterVector thinnings, double max_sdi, std::string regime_text, std::string regime_source,
                 std::string regime_name)
{
    sylvo::TableRequest request;
    request.model = sylvo::parse_model(model);
    request.site = none_if_na(site);
    request.height = none_if_na(height);
    request.height_age = none_if_na(height_age);
    request.shift = shift;
    request.start_age = start_age;
    request.trees = trees;
    request.ba = ba;
    request.end_age = end_age;
    request.interval = interval;
    request.merch_limit = none_if_na(merch_limit);
    request.max_sdi = max_sdi;
    request.thinning_field = "thinnings";
    for (R_xlen_t i = 0; i < thinnings.size(); ++i) {
        if (thinnings[i] == NA_STRING) Rcpp::stop("thinnings: NA is not a thinning; accepted: AGE:tph=N:p=P or AGE:ba=B:p=P");
        for (sylvo::Thinning& t : sylvo::parse_thinnings(std::string(thinnings[i]), "thinnings"))
            request.thinnings.push_back(std::move(t));
    }
    sylvo::YieldTable table;
    std::string document, name;
    try {
        if (regime_source.empty()) {
            table = sylvo::yield_table(request);
        } else {
            const sylvo::RegimeFile file = sylvo::parse_regimes(regime_text, regime_source);
            const sylvo::Regime& regime = file.pick(regime_name);
            table = sylvo::yield_table(request, regime);
            document = regime.document;
            name = regime.name;
        }
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    } catch (const sylvo::RegimeError& e) {
        Rcpp::stop(e.what());
    }
    RowColumns rows;
    for (std::size_t k = 0; k < table.rows.size(); ++k) rows.add(table, k, !std::isnan(request.merch_limit));
    const sylvo::TableSummary s = sylvo::summarize_table(table);
    List summary = List::create(Rcpp::Named("end_age_yr") = s.end_age, Rcpp::Named("production_m3_per_ha") = s.production,
                                Rcpp::Named("removed_volume_m3_per_ha") = s.removed_volume,
                                Rcpp::Named("max_mai_m3_per_ha_yr") = s.max_mai,
                                Rcpp::Named("max_mai_age_yr") = s.max_mai_age,
                                Rcpp::Named("standing_volume_m3_per_ha") = s.standing_volume,
                                Rcpp::Named("harvested") = s.harvested);
    List stop = R_NilValue;
    if (table.stop)
        stop = List::create(Rcpp::Named("age") = table.stop->age,
                            Rcpp::Named("after_thinning") = table.stop->after_thinning,
                            Rcpp::Named("reason") = table.stop->reason,
                            Rcpp::Named("text") = sylvo::stop_status(*table.stop));
    return List::create(Rcpp::Named("columns") = rows.list(), Rcpp::Named("site") = table.site,
                        Rcpp::Named("stop") = stop, Rcpp::Named("notes") = table.notes,
                        Rcpp::Named("regime") = document, Rcpp::Named("regime_name") = name,
                        Rcpp::Named("summary") = summary);
}

// [[Rcpp::export(.project)]]
List project(List columns, IntegerVector position, R_xlen_t n, std::string model, double to_age, double years,
             double merch_limit, double max_sdi, std::string mode, int threads)
{
    const Frame f{columns, position};
    Defaults defaults;
    defaults.end_age_option = "end_age";
    defaults.model = sylvo::parse_model(model);
    sylvo::ProjectRequest request;
    request.to_age = none_if_na(to_age);
    request.years = none_if_na(years);
    request.merch_limit = none_if_na(merch_limit);
    request.max_sdi = max_sdi;
    request.options = options_of(mode, threads);

    std::vector<sylvo::ProjectedStand> results;
    try {
        results = sylvo::project_rows(
            static_cast<std::size_t>(n),
            [&](std::size_t i, sylvo::InventoryStand& s) {
                return read_stand(f, static_cast<R_xlen_t>(i), defaults, s, nullptr);
            },
            [&](std::size_t i, const std::string& reason) {
                return sylvo::locate_column(reason, FrameRow(f, static_cast<R_xlen_t>(i)));
            },
            request);
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    }

    const auto keys = sylvo::projection_keys();
    std::vector<NumericVector> v;
    for (int k = 0; k < 10; ++k) v.emplace_back(n);
    CharacterVector st(n), note(n);
    const bool merch = !std::isnan(request.merch_limit);
    for (R_xlen_t i = 0; i < n; ++i) {
        const sylvo::ProjectedStand& r = results[static_cast<std::size_t>(i)];
        const bool ok = r.status == "ok";
        // A number a row does not have (a flagged row's, the merchantable
        // volume without a limit) is NA; a number the model gives as not a
        // number stays NaN.
        const double x[10] = {r.start_age, r.end_age, r.site, r.height,       r.trees,
                              r.ba,        r.qmd,     r.volume, r.merch_volume, r.sdi};
        for (int k = 0; k < 10; ++k)
            v[k][i] = (!ok && std::isnan(x[k])) || (k == 8 && !merch) ? NA_REAL : x[k];
        st[i] = r.status;
        note[i] = sylvo::note_text(r.notes);
    }
    List l(12);
    CharacterVector names(12);
    for (int k = 0; k < 10; ++k) {
        l[k] = v[k];
        names[k] = keys[k];
    }
    l[10] = st;
    names[10] = "status";
    l[11] = note;
    names[11] = "note";
    l.attr("names") = names;
    return l;
}

// [[Rcpp::export(.tables)]]
List tables(List columns, IntegerVector position, R_xlen_t n, std::string model, double end_age, double interval,
            double merch_limit, double max_sdi, int threads, std::string regime_text, std::string regime_source)
{
    const Frame f{columns, position};
    std::optional<sylvo::RegimeFile> file;
    try {
        if (!regime_source.empty()) file = sylvo::parse_regimes(regime_text, regime_source);
    } catch (const sylvo::RegimeError& e) {
        Rcpp::stop(e.what());
    }
    Defaults defaults;
    defaults.end_age_option = "end_age";
    defaults.model = sylvo::parse_model(model);
    defaults.end_age = none_if_na(end_age);
    defaults.interval = interval;
    defaults.merch_limit = none_if_na(merch_limit);
    if (file) defaults.regimes = &*file;
    sylvo::Options options;
    options.threads = threads;

    sylvo::LongTables t;
    try {
        t = sylvo::long_tables(
            static_cast<std::size_t>(n),
            [&](std::size_t i, sylvo::TableStand& s) {
                return read_stand(f, static_cast<R_xlen_t>(i), defaults, s.stand, &s);
            },
            [&](std::size_t i, const std::string& reason) {
                return sylvo::locate(reason, FrameRow(f, static_cast<R_xlen_t>(i)));
            },
            max_sdi, options);
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    }

    RowColumns rows;
    std::vector<int> stand;
    std::vector<std::string> st;
    for (const sylvo::LongTableRow& r : t.rows) {
        if (r.row)
            rows.add(*r.table, r.index, !std::isnan(r.stand->merch_limit));
        else
            rows.add_empty();
        stand.push_back(static_cast<int>(r.input + 1));
        st.push_back(r.status);
    }
    return List::create(Rcpp::Named("columns") = rows.list(),
                        Rcpp::Named("stand") = IntegerVector(stand.begin(), stand.end()),
                        Rcpp::Named("status") = CharacterVector(st.begin(), st.end()));
}

// [[Rcpp::export(.yield_table_keys)]]
CharacterVector yield_table_keys()
{
    const auto keys = sylvo::yield_table_keys();
    return CharacterVector(keys.begin(), keys.end());
}

// [[Rcpp::export(.read_csv)]]
List read_csv(std::string path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) Rcpp::stop("file: '" + path + "' cannot be opened (" + std::strerror(errno) + ")");
    sylvo::CsvTable table;
    std::string error;
    try {
        table = sylvo::read_csv_table(file, "file", path);
    } catch (const sylvo::InputError& e) {
        error = e.what();
    }
    std::fclose(file);
    if (!error.empty()) Rcpp::stop(error);
    List columns(table.header.size());
    CharacterVector names(table.header.size());
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        names[c] = Rf_mkCharLenCE(table.header[c].data(), static_cast<int>(table.header[c].size()), CE_UTF8);
        const std::vector<std::string>& column = table.columns[c];
        CharacterVector values(column.size());
        for (std::size_t i = 0; i < column.size(); ++i) {
            // R's strings cannot hold a NUL byte.
            if (column[i].find('\0') != std::string::npos)
                Rcpp::stop("file: '" + path + "' has a NUL byte, which R text cannot hold: line " +
                           std::to_string(table.lines[i]) + ", column " + std::to_string(c + 1));
            values[i] = Rf_mkCharLenCE(column[i].data(), static_cast<int>(column[i].size()), CE_UTF8);
        }
        columns[c] = values;
    }
    columns.attr("names") = names;
    return columns;
}
