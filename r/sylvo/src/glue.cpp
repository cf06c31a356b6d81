// The R package's glue: converts R vectors and data-frame columns to the
// engine's types, calls the engine, and hands its results back. No model
// arithmetic happens here.
#include <Rcpp.h>

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "sylvo/engine.hpp"
#include "sylvo/inventory.hpp"
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

// Why a number taken from a data frame cell cannot be used.
enum class Fault { none, empty, not_number, not_finite };

// A numeric column keeps its doubles (NA is an empty cell, NaN and
// infinities are not finite); a character column is read as the command
// line reads a CSV field, to the nearest double.
Fault cell_number(SEXP column, R_xlen_t i, double& value, std::string& text)
{
    switch (TYPEOF(column)) {
    case REALSXP: {
        const double x = REAL(column)[i];
        if (ISNA(x)) return Fault::empty;
        value = x;
        if (!std::isfinite(x)) {
            text = std::isnan(x) ? "NaN" : (x > 0 ? "Inf" : "-Inf");
            return Fault::not_finite;
        }
        return Fault::none;
    }
    case INTSXP: {
        const int x = INTEGER(column)[i];
        if (x == NA_INTEGER) return Fault::empty;
        value = x;
        return Fault::none;
    }
    case LGLSXP: {
        const int x = LOGICAL(column)[i];
        if (x == NA_LOGICAL) return Fault::empty;
        text = x ? "TRUE" : "FALSE";
        return Fault::not_number;
    }
    case STRSXP: {
        SEXP s = STRING_ELT(column, i);
        if (s == NA_STRING) return Fault::empty;
        text = CHAR(s);
        if (text.empty()) return Fault::empty;
        const char* first = text.data();
        const char* last = first + text.size();
        if (*first == '+') {  // from_chars takes no plus sign
            ++first;
            if (first == last || *first == '-' || *first == '+') return Fault::not_number;
        }
        auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
        if (end != last || first == last) return Fault::not_number;
        if (ec != std::errc() || !std::isfinite(value)) return Fault::not_finite;
        return Fault::none;
    }
    default:
        text = "?";
        return Fault::not_number;
    }
}

// The inventory columns the engine reads, in the order the R side passes
// them (absent ones as NULL).
enum Column { kModel, kAge, kTrees, kBa, kSite, kHeight, kHeightAge, kShift, kEndAge, kInterval, kMerchLimit,
              kThinnings, kColumns };
const char* const kColumnNames[kColumns] = {"model", "age_yr", "trees_per_ha", "ba_m2_per_ha", "site_m",
                                            "height_m", "height_age_yr", "shift_yr", "end_age_yr",
                                            "interval_yr", "merch_limit_cm", "thinnings"};

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

// An engine reason "FIELD: TEXT" with the row and column put in front.
std::string locate(const std::string& reason, R_xlen_t row, const Frame& f)
{
    const std::size_t colon = reason.find(':');
    const std::string field = reason.substr(0, colon);
    for (int c = 0; c < kColumns; ++c)
        if (field == kColumnNames[c] && f.has(static_cast<Column>(c)))
            return at_column(row, f, static_cast<Column>(c)) + reason.substr(colon);
    return "row " + std::to_string(row + 1) + " (" + field + ")" +
           (colon == std::string::npos ? "" : reason.substr(colon));
}

struct Defaults {
    sylvo::Model model = sylvo::Model::a;
    double end_age = sylvo::kNone, interval = 5.0, merch_limit = sylvo::kNone;
};

// One row into a stand (and its table's layout): "" when usable, else the
// status naming the row and column at fault.
std::string read_stand(const Frame& f, R_xlen_t row, const Defaults& defaults, sylvo::InventoryStand& s,
                       sylvo::TableStand* table)
{
    s = sylvo::InventoryStand{};
    s.model = defaults.model;
    std::string why;
    auto number = [&](Column c, double& value, bool required) {
        if (!why.empty()) return;
        if (!f.has(c)) return;
        double x = 0.0;
        std::string text;
        switch (cell_number(f.column(c), row, x, text)) {
        case Fault::none: value = x; return;
        case Fault::empty:
            if (required) why = at_column(row, f, c) + ": empty; a number is needed";
            return;
        case Fault::not_number: why = at_column(row, f, c) + ": '" + text + "' is not a number"; return;
        case Fault::not_finite: why = at_column(row, f, c) + ": '" + text + "' is not a finite number"; return;
        }
    };
    if (f.has(kModel)) {
        SEXP col = f.column(kModel);
        SEXP cell = STRING_ELT(col, row);
        if (cell != NA_STRING) {
            const std::string text = CHAR(cell);
            if (text == "a" || text == "A") s.model = sylvo::Model::a;
            else if (text == "b" || text == "B") s.model = sylvo::Model::b;
            else if (text == "c" || text == "C") s.model = sylvo::Model::c;
            else if (!text.empty())
                return at_column(row, f, kModel) + ": '" + text + "' is not a model; accepted: a, b or c";
        }
    }
    number(kAge, s.age, true);
    number(kTrees, s.trees, true);
    number(kBa, s.ba, true);
    number(kSite, s.site, false);
    number(kHeight, s.height, false);
    number(kHeightAge, s.height_age, false);
    number(kShift, s.shift, false);
    if (std::isnan(s.shift)) s.shift = 0.0;
    if (table) {
        table->end_age = defaults.end_age;
        table->interval = defaults.interval;
        table->merch_limit = defaults.merch_limit;
        number(kEndAge, table->end_age, false);
        number(kInterval, table->interval, false);
        number(kMerchLimit, table->merch_limit, false);
        if (why.empty() && std::isnan(table->end_age))
            why = (f.has(kEndAge) ? at_column(row, f, kEndAge) : "row " + std::to_string(row + 1) + " (end_age_yr)") +
                  ": empty, and no end_age is given";
        table->thinnings.clear();
        if (why.empty() && f.has(kThinnings)) {
            SEXP cell = STRING_ELT(f.column(kThinnings), row);
            if (cell != NA_STRING) {
                try {
                    table->thinnings = sylvo::parse_thinnings(CHAR(cell), "thinnings");
                } catch (const sylvo::InputError& e) {
                    why = locate(e.what(), row, f);
                }
            }
        }
    }
    if (!why.empty()) return why;
    if (std::string reason = sylvo::check_stand(s); !reason.empty()) return locate(reason, row, f);
    return {};
}

std::string shortest(double x)
{
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, x);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

std::string stop_text(const sylvo::TableStop& stop)
{
    return "stopped early at age " + shortest(stop.age) + (stop.after_thinning ? " after the thinning" : "") + ": " +
           stop.reason;
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
    std::vector<std::string> notes;

    RowColumns() : numbers(13) {}
    // A value a row does not have (the removals on a row that follows no
    // thinning, the PAI of a first row or of the row after a thinning, the
    // merchantable volume without a limit) is NA; a number the model gives
    // as not a number stays NaN.
    void add(const sylvo::YieldRow& r, bool first, bool merch)
    {
        const bool removed = r.after_thinning;
        const bool pai = !first && !r.after_thinning;
        const double v[13] = {r.age, r.height, r.trees, r.ba, r.qmd, r.volume, merch ? r.merch_volume : NA_REAL,
                              removed ? r.removed_trees : NA_REAL, removed ? r.removed_ba : NA_REAL,
                              removed ? r.removed_volume : NA_REAL, r.mai, pai ? r.pai : NA_REAL, r.sdi};
        for (int k = 0; k < 13; ++k) numbers[k].push_back(v[k]);
        notes.push_back(sylvo::note_text(r.notes));
    }
    void add_empty()
    {
        for (auto& n : numbers) n.push_back(NA_REAL);
        notes.push_back("");
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
                 CharacterVector thinnings, double max_sdi)
{
    sylvo::TableSpec spec;
    spec.model = sylvo::parse_model(model);
    spec.site = none_if_na(site);
    spec.height = none_if_na(height);
    spec.height_age = none_if_na(height_age);
    spec.shift = shift;
    spec.start_age = start_age;
    spec.trees = trees;
    spec.ba = ba;
    spec.end_age = end_age;
    spec.interval = interval;
    spec.merch_limit = none_if_na(merch_limit);
    spec.max_sdi = max_sdi;
    spec.thinning_field = "thinnings";
    for (R_xlen_t i = 0; i < thinnings.size(); ++i) {
        if (thinnings[i] == NA_STRING) Rcpp::stop("thinnings: NA is not a thinning; accepted: AGE:tph=N:p=P or AGE:ba=B:p=P");
        for (sylvo::Thinning& t : sylvo::parse_thinnings(std::string(thinnings[i]), "thinnings"))
            spec.thinnings.push_back(std::move(t));
    }
    sylvo::YieldTable table;
    try {
        table = sylvo::yield_table(spec);
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    }
    RowColumns rows;
    for (std::size_t k = 0; k < table.rows.size(); ++k)
        rows.add(table.rows[k], k == 0, !std::isnan(spec.merch_limit));
    List stop = R_NilValue;
    if (table.stop)
        stop = List::create(Rcpp::Named("age") = table.stop->age,
                            Rcpp::Named("after_thinning") = table.stop->after_thinning,
                            Rcpp::Named("reason") = table.stop->reason, Rcpp::Named("text") = stop_text(*table.stop));
    return List::create(Rcpp::Named("columns") = rows.list(), Rcpp::Named("site") = table.site,
                        Rcpp::Named("stop") = stop, Rcpp::Named("notes") = table.notes);
}

// [[Rcpp::export(.project)]]
List project(List columns, IntegerVector position, R_xlen_t n, std::string model, double to_age, double years,
             double merch_limit, double max_sdi, std::string mode, int threads)
{
    const Frame f{columns, position};
    Defaults defaults;
    defaults.model = sylvo::parse_model(model);
    sylvo::ProjectSpec spec;
    spec.to_age = none_if_na(to_age);
    spec.years = none_if_na(years);
    spec.merch_limit = none_if_na(merch_limit);
    spec.max_sdi = max_sdi;
    spec.options = options_of(mode, threads);

    std::vector<std::string> status(n);
    std::vector<sylvo::InventoryStand> stands;
    std::vector<R_xlen_t> result_of(n, -1);
    sylvo::InventoryStand s;
    for (R_xlen_t i = 0; i < n; ++i) {
        status[i] = read_stand(f, i, defaults, s, nullptr);
        if (status[i].empty()) {
            result_of[i] = static_cast<R_xlen_t>(stands.size());
            stands.push_back(s);
        }
    }
    std::vector<sylvo::ProjectedStand> results(stands.size());
    try {
        sylvo::project_inventory(stands, spec, results);
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    }

    const char* keys[] = {"start_age_yr", "end_age_yr", "site_m", "height_m", "trees_per_ha", "ba_m2_per_ha",
                          "qmd_cm", "volume_m3_per_ha", "merch_volume_m3_per_ha", "sdi_per_ha"};
    std::vector<NumericVector> v;
    for (int k = 0; k < 10; ++k) v.emplace_back(n);
    CharacterVector st(n), note(n);
    for (R_xlen_t i = 0; i < n; ++i) {
        const sylvo::ProjectedStand* r = result_of[i] >= 0 ? &results[static_cast<std::size_t>(result_of[i])] : nullptr;
        const double x[10] = {r ? r->start_age : NA_REAL, r ? r->end_age : NA_REAL, r ? r->site : NA_REAL,
                              r ? r->height : NA_REAL,    r ? r->trees : NA_REAL,   r ? r->ba : NA_REAL,
                              r ? r->qmd : NA_REAL,       r ? r->volume : NA_REAL,  r ? r->merch_volume : NA_REAL,
                              r ? r->sdi : NA_REAL};
        for (int k = 0; k < 10; ++k) v[k][i] = x[k];
        st[i] = r ? r->status : status[i];
        note[i] = r ? sylvo::note_text(r->notes) : std::string();
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
            double merch_limit, double max_sdi, int threads)
{
    const Frame f{columns, position};
    Defaults defaults;
    defaults.model = sylvo::parse_model(model);
    defaults.end_age = none_if_na(end_age);
    defaults.interval = interval;
    defaults.merch_limit = none_if_na(merch_limit);
    sylvo::Options options;
    options.threads = threads;

    std::vector<std::string> status(n);
    std::vector<sylvo::TableStand> stands;
    std::vector<R_xlen_t> which(n, -1);
    sylvo::TableStand t;
    for (R_xlen_t i = 0; i < n; ++i) {
        status[i] = read_stand(f, i, defaults, t.stand, &t);
        if (status[i].empty()) {
            which[i] = static_cast<R_xlen_t>(stands.size());
            stands.push_back(t);
        }
    }
    std::vector<sylvo::StandTable> done;
    try {
        done = sylvo::inventory_tables(stands, max_sdi, options);
    } catch (const sylvo::InputError& e) {
        rethrow_as_argument(e);
    }

    RowColumns rows;
    std::vector<int> stand;
    std::vector<std::string> st;
    auto empty_row = [&](R_xlen_t i, const std::string& why) {
        rows.add_empty();
        stand.push_back(static_cast<int>(i + 1));
        st.push_back(why);
    };
    for (R_xlen_t i = 0; i < n; ++i) {
        if (which[i] < 0) {
            empty_row(i, status[i]);
            continue;
        }
        const sylvo::StandTable& s = done[static_cast<std::size_t>(which[i])];
        if (s.status != "ok") {
            empty_row(i, locate(s.status, i, f));
            continue;
        }
        const auto& stop = s.table.stop;
        const std::string why = stop ? stop_text(*stop) : std::string();
        if (s.table.rows.empty()) {
            empty_row(i, "no table: " + why);
            continue;
        }
        for (std::size_t k = 0; k < s.table.rows.size(); ++k) {
            rows.add(s.table.rows[k], k == 0, !std::isnan(stands[static_cast<std::size_t>(which[i])].merch_limit));
            stand.push_back(static_cast<int>(i + 1));
            st.push_back(stop && k + 1 == s.table.rows.size() ? why : std::string("ok"));
        }
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
