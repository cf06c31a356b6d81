// sylvo: yield tables and one-off queries on the Sylvo growth-and-yield
// libraries, loaded at run time as host programs load them.
#include <malloc.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iostream>
#include <limits>

#include "commands.h"
#include "inventory_commands.h"
#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"
#include "errors.h"
#include "numbers.h"

using namespace sylvo_tool;

namespace {

// A number check for an option: the message names the value and what is
// accepted (CLI11 puts the option's name in front).
CLI::Validator number(const std::string& accepted, double low, bool low_open,
                      double high = std::numeric_limits<double>::max())
{
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            const auto value = parse_number(text);
            std::string problem;
            if (!value)
                problem = "is not a finite number";
            else if (low_open ? !(*value > low) : !(*value >= low))
                problem = low_open ? "is not above " + shortest(low) : "is below " + shortest(low);
            else if (*value > high)
                problem = "is above " + shortest(high);
            return problem.empty() ? std::string() : "'" + text + "' " + problem + "; accepted: " + accepted;
        },
        "", "");
}

CLI::Validator one_of(const std::vector<std::string>& names, const std::string& noun, const std::string& accepted)
{
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            for (const auto& name : names)
                if (text == name) return {};
            return "'" + text + "' is not " + noun + "; accepted: " + accepted;
        },
        "", "");
}

// A whole number from 0 to HIGHEST, in the form of the number checks.
CLI::Validator whole_number(const std::string& accepted, int highest)
{
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            int value = 0;
            const char* end = text.data() + text.size();
            const auto [at, ec] = std::from_chars(text.data(), end, value);
            std::string problem;
            if (ec != std::errc() || at != end)
                problem = "is not a whole number";
            else if (value < 0 || value > highest)
                problem = value < 0 ? "is below 0" : "is above " + std::to_string(highest);
            return problem.empty() ? std::string() : "'" + text + "' " + problem + "; accepted: " + accepted;
        },
        "", "");
}

const double kAny = std::numeric_limits<double>::lowest();

CLI::Validator age_check(const std::string& what)
{
    return number(what + " in years, above 0 and at most 1000", 0.0, true, kMaxAge);
}
CLI::Validator positive(const std::string& what) { return number(what + ", a number above 0", 0.0, true); }

// What the table does, for `sylvo --help` and `sylvo table --help`.
const char* const kTableFooter =
    "A stand is given by --site (or --height and --height-age), --start-age, --trees, --ba, --end-age and "
    "--merch-limit; with none of the stand options the built-in example stand is used (Model A unless "
    "--model says otherwise): site index 24 m, 1800 trees/ha and 6 m2/ha at age 10, "
    "thinned at age 20 to 800 trees/ha with p 20, to age 35 in 5-year rows, limit 12 cm.\n"
    "Rows: the start age, every --interval years, the end age, and each thinning age twice (before and "
    "after the thinning); each row is projected from the one before with SylvoGrow.\n"
    "Columns (csv/json key; unit): age (age_yr; years), height (height_m; m, SylvoHeight), trees "
    "(trees_per_ha; /ha), BA (ba_m2_per_ha; m2/ha), QMD (qmd_cm; cm, sqrt(12732.3954473516 * BA / trees)), "
    "volume (volume_m3_per_ha; m3/ha, SylvoVolume with the dominant height), merch "
    "(merch_volume_m3_per_ha; m3/ha, SylvoMerchVol), thin_trees, thin_BA, thin_vol (removed_trees_per_ha, "
    "removed_ba_m2_per_ha, removed_volume_m3_per_ha; what a thinning removes, on the row after it), MAI "
    "(mai_m3_per_ha_yr; m3/ha/yr, standing plus all removed volume, divided by age), PAI "
    "(pai_m3_per_ha_yr; m3/ha/yr, change of that total since the row before divided by the years between; "
    "empty on the first row and on the row after a thinning), "
    "SDI (sdi_per_ha; Reineke's stand density index, trees * (QMD / 25 cm)^1.605), note (csv/json: the "
    "row's volume anomalies in words; the aligned table marks such rows and explains each mark under it).\n"
    "Valid range: the table stops where the stand is no longer a stand - trees below 1 per hectare or not finite, "
    "basal area or dominant height not a positive finite number, or a stand density index above --max-sdi "
    "(default 1500, above what any stand reaches) - prints the rows before, says at which age and why on "
    "standard error and exits with status 3. A row whose volumes leave the volume equations' range is kept "
    "with the volumes as the model gives them and a note: total volume 0 with basal area, merchantable volume "
    "above the total or not a number, a thinning that leaves more volume than before (a negative removal, "
    "counted in MAI as computed), merchantable volume below 0 (shown as 0); one warning line per kind on "
    "standard error, exit status 0.\n"
    "Exit status 2, with one line on standard error and no table: an option's value is not accepted, "
    "including a site index outside the model's range (above 1.3 m in Models A and B, which store no lower "
    "one; above 1.372 m in Model C, whose curve is flat there and falls below it; at most 80.5 m), a "
    "--height no site index reaches, and a thinning to as many trees or as much basal area as the stand "
    "has at that age, or more.\n"
    "Regimes (--regime FILE): thinnings at ages, every so many years or when a condition holds, to trees, basal "
    "area, SDI, relative density or a share removed, and the final harvest; rows gain the event that happened "
    "(event) and each event skipped, with why (note). A file that is refused (unknown key, wrong type, value out "
    "of range, broken JSON) exits 2 naming the file, line, column and JSON pointer; `sylvo regime check FILE` "
    "validates one.";

const char* const kProjectFooter =
    "Input: CSV (RFC 4180) with a header; columns by name in any order: id, age_yr, trees_per_ha, ba_m2_per_ha, and "
    "site_m or height_m with height_age_yr (the site index SylvoSite finds); optional shift_yr (default 0) and model "
    "(a, b or c, over --model). Other columns are carried to the output.\n"
    "Output: one row per input row, in order: id, the carried columns, start_age_yr, end_age_yr, site_m, height_m, "
    "trees_per_ha, ba_m2_per_ha, qmd_cm, volume_m3_per_ha, merch_volume_m3_per_ha (with --merch-limit), "
    "sdi_per_ha, status (ok, or why the row has no numbers: the line and column at fault, no site index, or a "
    "stand that is no longer a stand at the end age), note (volume anomalies).\n"
    "Exit status 0 when every row was read (flagged rows included; a summary on standard error); 2 for a file that "
    "cannot be opened, is empty, has no header, lacks a required column or names a carried column like an output "
    "column. The columns end_age_yr, interval_yr, merch_limit_cm and thinnings are for tables: project neither "
    "reads nor carries them.";
const char* const kTablesFooter =
    "Input as for project, plus optional columns end_age_yr, interval_yr, merch_limit_cm and thinnings (the --thin "
    "syntax, several separated by ';': 20:tph=800:p=20;30:ba=25:p=20) and, with --regimes, regime (the name of the "
    "stand's regime in that file). Output: id, the carried columns, then the "
    "columns of `sylvo table --format csv` and status (ok; on a table's last row why it stopped early; or why the "
    "stand has no table). Exit status as for project.";

struct Cli {
    CLI::App app{"sylvo: yield tables and one-off queries on the Sylvo growth-and-yield model libraries.\n"
                 "Without a command, or with `table` and no stand, it prints the yield table of a built-in example "
                 "stand of Model A with one thinning.",
                 "sylvo"};
    CommonOptions common;
    Values values;
    // Each number option binds to a double; whether it was given is read back
    // from the option.
    std::vector<std::pair<CLI::Option*, std::optional<double>*>> numbers;
    std::vector<std::unique_ptr<double>> storage;
    std::vector<CLI::Option*> model_options;
    InventoryOptions inventory;
    // The table's options as `sylvo` itself takes them (without `table`).
    std::vector<CLI::Option*> top_level_numbers;
    std::string regime_check_file;

    CLI::Option* add_number(CLI::App* command, const std::string& name, std::optional<double>& slot,
                            const std::string& description, const std::string& unit, const CLI::Validator& check)
    {
        storage.push_back(std::make_unique<double>(0.0));
        CLI::Option* option = command->add_option(name, *storage.back(), description)->type_name(unit)->check(check);
        numbers.emplace_back(option, &slot);
        if (command == &app) top_level_numbers.push_back(option);
        return option;
    }

    void add_common(CLI::App* command)
    {
        model_options.push_back(command
                                    ->add_option("--model", common.model,
                                                 "Model: a, b or c (default a)")
                                    ->type_name("a|b|c")
                                    ->check(one_of({"a", "b", "c"}, "a model", "a, b or c (Model A, B or C)")));
        command->add_option("--format", common.format, "Output: table (aligned, for people; default), csv or json")
            ->type_name("table|csv|json")
            ->check(one_of({"table", "csv", "json"}, "a format", "table, csv or json"));
    }

    // The table's options, on the table command and on sylvo itself (the
    // table is the command sylvo runs without one).
    // The age shift of the site-curve queries.
    void add_shift(CLI::App* query)
    {
        add_number(query, "--shift", values.shift, "Age shift (years; default 0)", "YEARS",
                   number("a number of years", kAny, true));
    }

    void add_table_options(CLI::App* table)
    {
        add_number(table, "--site", values.site,
                   "Site index (m): the dominant height the stand reaches 50 years after breast height", "M",
                   number("a site index in m (its range depends on the model)", kAny, true));
        auto height = add_number(table, "--height", values.height,
                                 "Dominant height (m) measured at --height-age, turned into the site index "
                                 "(SylvoSite) instead of --site", "M", positive("a dominant height in m"));
        auto height_age = add_number(table, "--height-age", values.height_age,
                                     "Age (years) at which --height was measured", "YEARS",
                                     age_check("an age"));
        height->needs(height_age);
        height_age->needs(height);
        height->excludes("--site");
        add_number(table, "--shift", values.shift,
                   "Age shift (years): the site curve is read at age + 1 + shift (default 0)", "YEARS",
                   number("a number of years", kAny, true));
        add_number(table, "--start-age", values.start_age, "Age (years) of the first row, where --trees and "
                   "--ba are measured", "YEARS", age_check("an age"));
        add_number(table, "--trees", values.trees, "Trees per hectare at --start-age", "N",
                   positive("trees per hectare"));
        add_number(table, "--ba", values.ba, "Basal area (m2/ha) at --start-age", "M2/HA",
                   positive("basal area in m2/ha"));
        add_number(table, "--end-age", values.end_age, "Age (years) of the last row, after --start-age", "YEARS",
                   age_check("an age"));
        add_number(table, "--interval", values.interval, "Years between rows (default 5)", "YEARS",
                   positive("a number of years"));
        add_number(table, "--merch-limit", values.merch_limit,
                   "Merchantable diameter limit (cm) for the merchantable volume", "CM",
                   number("a diameter in cm, 0 or more", 0.0, false));
        add_number(table, "--max-sdi", values.max_sdi,
                   "Reineke's stand density index (trees/ha at 25 cm) above which the stand is no longer a stand "
                   "and the table stops (default 1500)", "SDI", positive("a stand density index"));
        table
            ->add_option("--thin", values.thinnings,
                         "A thinning, repeatable, in increasing order of age, each from --start-age to --end-age: "
                         "AGE:tph=N:p=P leaves N trees/ha (the basal area left comes from SylvoBaAfter), "
                         "AGE:ba=B:p=P leaves B m2/ha of basal area (the trees left come from SylvoTphAfter). "
                         "P is the thinning-response stand value the libraries take, a number above 0 with no "
                         "unit; there is no default (a larger P takes less basal area with the same trees)")
            ->type_name("AGE:tph=N:p=P|AGE:ba=B:p=P")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        auto regime = table->add_option("--regime", values.regime_file,
                                        "A regime file (JSON: thinnings by age, every so many years or when a "
                                        "condition holds, to trees, basal area, SDI, relative density or a share, "
                                        "and the final harvest); the table runs under it. Excludes --thin")
                          ->type_name("FILE");
        table
            ->add_option("--regime-name", values.regime_names,
                         "The regime of the file to run, for a file of several; given more than once, the "
                         "regimes are compared as `sylvo compare` does")
            ->type_name("NAME")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->needs(regime);
        table->add_option("--economics", values.economics_file,
                          "An economics file (JSON: discount_rate, assortments by lower diameter limit with their "
                          "prices, costs): the table is followed by the ledger of its removals (volume by "
                          "assortment, revenue, cost, net value) and, for a table that ends in a harvest, its NPV "
                          "at the start age, LEV, IRR and EAV")
            ->type_name("FILE");
        table->add_option("--plot", values.plot,
                          "Also draw the table to FILE.png or FILE.svg as small multiples over one age axis: "
                          "trees, basal area, dominant height, volumes with the removals, MAI and PAI with the "
                          "culmination of MAI (drawn by python/sylvo/plot_cli.py with Debian's Python, pandas and "
                          "matplotlib)")
            ->type_name("FILE.png|FILE.svg");
    }

    CLI::App* query(const std::string& name, const std::string& description)
    {
        CLI::App* command = app.add_subcommand(name, description);
        add_common(command);
        command->footer(
            "Values the library gives as none (no site index, no age, a result that is not a finite number) are "
            "printed as none (table), an empty field (csv) or null (json), with a message on standard error and "
            "exit status 3. Exit status 2: an option's value is not accepted.");
        return command;
    }

    std::vector<std::pair<CLI::Option*, std::optional<double>*>> inventory_numbers;

    CLI::Option* add_inventory_number(CLI::App* command, const std::string& name, std::optional<double>& slot,
                                      const std::string& description, const std::string& unit,
                                      const CLI::Validator& check)
    {
        storage.push_back(std::make_unique<double>(0.0));
        CLI::Option* option = command->add_option(name, *storage.back(), description)->type_name(unit)->check(check);
        inventory_numbers.emplace_back(option, &slot);
        return option;
    }

    // The options project and tables share.
    void add_inventory(CLI::App* command)
    {
        command->add_option("--input", inventory.input, "The inventory: a CSV file with a header, or - for standard "
                                                        "input")
            ->type_name("FILE|-")
            ->required();
        command->add_option("--output", inventory.output, "Where to write (default -, standard output)")
            ->type_name("FILE|-");
        command->add_option("--format", inventory.format, "Output: csv (default) or json (an array of objects)")
            ->type_name("csv|json")
            ->check(one_of({"csv", "json"}, "a format", "csv or json"));
        command
            ->add_option_function<std::string>(
                "--model", [this](const std::string& m) { inventory.model = m; },
                "Model of the rows without a model column or with an empty one: a, b or c (default a)")
            ->type_name("a|b|c")
            ->check(one_of({"a", "b", "c"}, "a model", "a, b or c (Model A, B or C)"));
        add_inventory_number(command, "--merch-limit", inventory.merch_limit,
                             "Merchantable diameter limit (cm); without it no merchantable volume", "CM",
                             number("a diameter in cm, 0 or more", 0.0, false));
        add_inventory_number(command, "--max-sdi", inventory.max_sdi,
                             "Reineke's stand density index above which a stand is no longer a stand (default 1500)",
                             "SDI", positive("a stand density index"));
        command->add_option("--threads", inventory.threads, "Threads (default 0: every core)")
            ->type_name("N")
            ->check(whole_number("a number of threads, 0 (every core) to 4096", 4096));
    }

    Cli()
    {
        app.set_help_all_flag("--help-all", "Print the help of every command");
        app.require_subcommand(0, 1);
        add_common(&app);
        app.footer(std::string("Commands: table (the default: sylvo takes the table's options without it), height, "
                               "age, site, volume, thin, grow, and for whole inventories in CSV files project and tables; "
                               "`sylvo COMMAND --help` tells each value and its unit. "
                               "Exit status: 0 done; 2 an option's value is not accepted (one line on standard "
                               "error, nothing printed); 3 the stand is no longer a stand before the end of its "
                               "table, or a query has no answer.\n\n"
                               "The table: ") +
                   kTableFooter);

        CLI::App* table = app.add_subcommand("table", "Yield table of a stand under a thinning regime (the default "
                                                      "command)");
        add_common(table);
        add_table_options(table);
        add_table_options(&app);
        table->footer(kTableFooter);

        CLI::App* project = app.add_subcommand(
            "project", "Every stand of an inventory brought to a common age (--to-age) or forward (--years)");
        add_inventory(project);
        auto to_age = add_inventory_number(project, "--to-age", inventory.to_age, "The age (years) to bring every "
                                           "stand to", "YEARS", age_check("an age"));
        auto years = add_inventory_number(project, "--years", inventory.years, "Years to bring every stand forward "
                                          "by", "YEARS", number("a number of years", kAny, true));
        to_age->excludes(years);
        project->add_option("--mode", inventory.mode, "exact (default: the libraries' bits) or fast (vectorised "
                                                      "projection)")
            ->type_name("exact|fast")
            ->check(one_of({"exact", "fast"}, "a mode", "exact or fast"));
        project->footer(kProjectFooter);

        CLI::App* tables = app.add_subcommand("tables", "Yield tables of every stand of an inventory, one long table");
        add_inventory(tables);
        add_inventory_number(tables, "--end-age", inventory.end_age, "End age (years) of the rows without "
                             "end_age_yr", "YEARS", age_check("an age"));
        add_inventory_number(tables, "--interval", inventory.interval, "Years between rows of the rows without "
                             "interval_yr (default 5)", "YEARS", positive("a number of years"));
        tables->add_option("--regimes", inventory.regimes,
                           "A regime file: each stand's table runs under the regime its `regime` column names "
                           "(with a file of one regime and no such column, every stand's)")
            ->type_name("FILE");
        tables->footer(kTablesFooter);

        CLI::App* regime = app.add_subcommand("regime", "Regime files: `sylvo regime check FILE` validates one and "
                                                        "prints each regime in plain words");
        regime->require_subcommand(1, 1);
        CLI::App* check = regime->add_subcommand("check", "Validate a regime file and print each regime in words");
        check->add_option("file", regime_check_file, "The regime file (JSON)")->type_name("FILE")->required();
        check->footer("Exit status 0: the file is valid; 2: it is refused, with one line naming the file, the line "
                      "and column, the JSON pointer, what is wrong and what is accepted.");

        CLI::App* optimize = app.add_subcommand(
            "optimize", "The values of a regime's search ranges ({\"search\": [LOW, HIGH]}) that maximise an "
                        "objective for one stand, with the best regime's table and ledger");
        add_common(optimize);
        add_table_options(optimize);
        optimize->add_option("--objective", values.objective, "lev (default), npv (both need --economics) or mai")
            ->type_name("lev|npv|mai")
            ->check(one_of({"lev", "npv", "mai"}, "an objective", "lev, npv or mai"));
        optimize->add_option("--threads", values.threads, "Threads (default 0: every core); the result is the same")
            ->type_name("N")
            ->check(whole_number("a number of threads, 0 (every core) to 4096", 4096));
        optimize->footer(
            "Each search range takes LOW, LOW + STEP, ... up to HIGH (STEP: whole years for an age unless \"step\" "
            "is given, else a 40th of the range). With at most 20,000 combinations every one is tabled (a grid); "
            "otherwise a coordinate search from the starting values (\"start\", else the middle) tries every "
            "value of one number at a time, keeping the best, until a round changes nothing. The objectives are not "
            "smooth in ages, which is why whole candidates are tried rather than derivatives followed. Candidates "
            "are tabled in exact mode on --threads threads; the result does not depend on them (ties go to the "
            "first candidate). A search range of ages must lie within the table's ages (--end-age). Output: the "
            "best regime with its numbers filled in (json: best, which --regime takes as it is), its objective, "
            "the objective at the starting values and the improvement, and its table and ledger.");

        CLI::App* rotation = app.add_subcommand(
            "rotation", "A regime's final harvest at each age from --from to --to: MAI and LEV over harvest age, the "
                        "biological (highest MAI) and the economic (highest LEV) rotation");
        add_common(rotation);
        add_table_options(rotation);
        add_number(rotation, "--from", values.rotation_from, "The first harvest age (years)", "YEARS",
                   age_check("an age"));
        add_number(rotation, "--to", values.rotation_to, "The last harvest age (years)", "YEARS", age_check("an age"));
        add_number(rotation, "--step", values.rotation_step, "Years between harvest ages (default 1)", "YEARS",
                   positive("a number of years"));
        rotation->add_option("--threads", values.threads, "Threads (default 0: every core)")
            ->type_name("N")
            ->check(whole_number("a number of threads, 0 (every core) to 4096", 4096));

        CLI::App* compare = app.add_subcommand(
            "compare", "One stand's tables under several regimes of a file (--regime, --regime-name repeatable; "
                       "default all): one long table with a regime column, and a summary per regime");
        add_common(compare);
        add_table_options(compare);
        compare->footer("The stand's options are those of `sylvo table`. The summary gives, per regime, the last "
                        "row's age, the total production (standing plus all removed volume), the volume removed, the "
                        "highest MAI and the age it is reached, and the volume standing at the end.");

        CLI::App* q = query("height", "Dominant height (m) at an age for a site index (SylvoHeight)");
        add_number(q, "--age", values.age, "Age (years)", "YEARS", age_check("an age"))->required();
        add_number(q, "--site", values.site, "Site index (m)", "M", number("a site index in m", kAny, true))
            ->required();
        add_shift(q);

        q = query("age", "Age (years) at which a site index's curve reaches a dominant height (SylvoAge)");
        add_number(q, "--height", values.height, "Dominant height (m)", "M", positive("a height in m"))->required();
        add_number(q, "--site", values.site, "Site index (m)", "M", number("a site index in m", kAny, true))
            ->required();
        add_shift(q);

        q = query("site", "Site index (m) whose curve passes a dominant height at an age (SylvoSite)");
        add_number(q, "--height", values.height, "Dominant height (m)", "M", positive("a height in m"))->required();
        add_number(q, "--age", values.age, "Age (years) at which the height is reached", "YEARS",
                   age_check("an age"))
            ->required();
        add_shift(q);

        q = query("volume", "Total (SylvoVolume) and merchantable (SylvoMerchVol) stand volume, m3/ha, as the "
                            "library gives them");
        add_number(q, "--height", values.height, "Stand (dominant) height (m)", "M", positive("a height in m"))
            ->required();
        add_number(q, "--trees", values.trees, "Trees per hectare", "N", positive("trees per hectare"))->required();
        add_number(q, "--ba", values.ba, "Basal area (m2/ha)", "M2/HA", positive("basal area in m2/ha"))
            ->required();
        add_number(q, "--merch-limit", values.merch_limit,
                   "Merchantable diameter limit (cm); without it no merchantable volume", "CM",
                   number("a diameter in cm, 0 or more", 0.0, false));

        q = query("thin", "What a thinning leaves: basal area from the trees left (SylvoBaAfter) or trees from the "
                          "basal area left (SylvoTphAfter)");
        add_number(q, "--trees", values.trees, "Trees per hectare before the thinning", "N",
                   positive("trees per hectare"))
            ->required();
        add_number(q, "--ba", values.ba, "Basal area (m2/ha) before the thinning", "M2/HA",
                   positive("basal area in m2/ha"))
            ->required();
        add_number(q, "--p", values.p, "The thinning-response stand value (no unit; no default)", "P",
                   positive("the stand value p"))
            ->required();
        auto to_trees = add_number(q, "--to-trees", values.to_trees, "Trees per hectare left", "N",
                                   positive("trees per hectare"));
        auto to_ba = add_number(q, "--to-ba", values.to_ba, "Basal area (m2/ha) left", "M2/HA",
                                positive("basal area in m2/ha"));
        to_trees->excludes(to_ba);

        q = query("grow", "Trees per hectare and basal area projected from one age to another (SylvoGrow)");
        add_number(q, "--start-age", values.start_age, "Age (years) the stand is measured at", "YEARS",
                   age_check("an age"))
            ->required();
        add_number(q, "--trees", values.trees, "Trees per hectare at --start-age", "N",
                   positive("trees per hectare"))
            ->required();
        add_number(q, "--ba", values.ba, "Basal area (m2/ha) at --start-age", "M2/HA",
                   positive("basal area in m2/ha"))
            ->required();
        add_number(q, "--end-age", values.end_age,
                   "Age (years) to project to (before --start-age projects backwards)", "YEARS",
                   age_check("an age"))
            ->required();
    }

    int run()
    {
        for (auto& [option, slot] : numbers)
            if (option->count()) *slot = parse_number(option->results().back());
        const std::string command = app.get_subcommands().empty() ? "table" : app.get_subcommands()[0]->get_name();
        // A command's values come after its name: the same option before it
        // would be taken for the table's and silently override or be ignored.
        if (!app.get_subcommands().empty())
            for (const CLI::Option* o : top_level_numbers)
                if (o->count())
                    throw InputError(o->get_name(), o->results().back(), "comes before the command " + command,
                                     "the options of `sylvo " + command + "` after the command's name");
        if (command == "height") return run_height(common, values);
        if (command == "age") return run_age(common, values);
        if (command == "site") return run_site(common, values);
        if (command == "volume") return run_volume(common, values);
        if (command == "thin") return run_thin(common, values);
        if (command == "grow") return run_grow(common, values);
        if (command == "regime") return run_regime_check(regime_check_file);
        if (command == "compare") return run_compare(common, values);
        if (command == "optimize") return run_optimize(common, values);
        if (command == "rotation") return run_rotation(common, values);
        if (command == "project" || command == "tables") {
            for (auto& [option, slot] : inventory_numbers)
                if (option->count()) *slot = parse_number(option->results().back());
            return command == "project" ? run_project(inventory) : run_tables(inventory);
        }
        return run_table(common, values);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    // The inventory commands allocate the same large blocks over and over:
    // keep them in the heap instead of returning them to the system and
    // faulting their pages in again for every block.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    Cli cli;
    try {
        cli.app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return cli.app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return cli.app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::string message = e.what();
        for (char& c : message)
            if (c == '\n') c = ' ';
        std::cerr << "sylvo: " << message << '\n';
        return kBadInput;
    }
    try {
        const int status = cli.run();
        // What the commands print on standard output goes through
        // std::cout: a full disk shows only here.
        if (!std::cout.flush()) throw IoError(std::string("cannot write the output (") + std::strerror(errno) + ")");
        return status;
    } catch (const IoError& e) {
        std::cerr << "sylvo: " << e.what() << '\n';
        return kIoError;
    } catch (const InputError& e) {
        std::cerr << "sylvo: " << e.what() << '\n';
        return kBadInput;
    } catch (const sylvo::InputError& e) {
        // The engine names the value by its column; the command line by its
        // option.
        static const std::pair<const char*, const char*> options[] = {
            {"site_m", "--site"},         {"height_m", "--height"},         {"height_age_yr", "--height-age"},
            {"shift_yr", "--shift"},      {"age_yr", "--start-age"},        {"trees_per_ha", "--trees"},
            {"ba_m2_per_ha", "--ba"},     {"end_age_yr", "--end-age"},      {"interval_yr", "--interval"},
            {"merch_limit_cm", "--merch-limit"}, {"max_sdi", "--max-sdi"}, {"thinnings", "--thin"}};
        std::string field = e.field();
        for (const auto& [column, option] : options)
            if (field == column) field = option;
        std::cerr << "sylvo: " << InputError(field, e.value(), e.problem(), e.accepted()).what() << '\n';
        return kBadInput;
    } catch (const sylvo::RegimeError& e) {
        std::cerr << "sylvo: " << e.what() << '\n';
        return kBadInput;
    } catch (const sylvo::EngineError& e) {
        std::cerr << "sylvo: " << e.what() << '\n';
        return kBadInput;
    } catch (const std::exception& e) {
        std::cerr << "sylvo: internal error: " << e.what() << '\n';
        return 1;
    }
}
