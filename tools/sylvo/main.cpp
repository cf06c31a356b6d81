// sylvo: yield tables and one-off queries on the Sylvo growth-and-yield
// libraries, loaded at run time as host programs load them.
#include <CLI/CLI.hpp>
#include <iostream>
#include <limits>

#include "commands.h"
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
    "--model or --library says otherwise): site index 24 m, 1800 trees/ha and 6 m2/ha at age 10, "
    "thinned at age 20 to 800 trees/ha with p 20, to age 35 in 5-year rows, limit 12 cm.\n"
    "Rows: the start age, every --interval years, the end age, and each thinning age twice (before and "
    "after the thinning); each row is projected from the one before with SylvoGrow.\n"
    "Columns (csv/json key; unit): age (age_yr; years), height (height_m; m, SylvoHeight), trees "
    "(trees_per_ha; /ha), BA (ba_m2_per_ha; m2/ha), QMD (qmd_cm; cm, sqrt(40000/pi * BA / trees)), "
    "volume (volume_m3_per_ha; m3/ha, SylvoVolume with the dominant height), merch "
    "(merch_volume_m3_per_ha; m3/ha, SylvoMerchVol), thin_trees, thin_BA, thin_vol (removed_trees_per_ha, "
    "removed_ba_m2_per_ha, removed_volume_m3_per_ha; what a thinning removes, on the row after it), MAI "
    "(mai_m3_per_ha_yr; m3/ha/yr, standing plus all removed volume, divided by age), PAI "
    "(pai_m3_per_ha_yr; m3/ha/yr, change of that total since the row before divided by the years between; "
    "empty on the first row and on the row after a thinning).\n"
    "Valid range: the table stops before the first row on which the model gives a result no stand can "
    "have, prints the rows before it, says at which age and why on standard error and exits with status 3: "
    "trees, basal area or dominant height not a positive finite number; a total volume of 0 with positive "
    "basal area (the volume equation gives zero or less); a merchantable volume that is not a number "
    "or above the total volume; a thinning that leaves more total volume than stood before it. A negative "
    "merchantable volume (Models A and B deduct 0.4 m3 per m2 of basal area, more than a young stand's volume) "
    "is shown as 0.\n"
    "Exit status 2, with one line on standard error and no table: an option's value is not accepted, "
    "including a site index outside the model's range (above 1.3 m in Models A and B, which store no lower "
    "one; above 1.372 m in Model C, whose curve is flat there and falls below it; at most 80.5 m), a "
    "--height no site index reaches, and a thinning to as many trees or as much basal area as the stand "
    "has at that age, or more.";

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
    std::vector<CLI::Option*> model_options, library_options;
    // The table's options as `sylvo` itself takes them (without `table`).
    std::vector<CLI::Option*> top_level_numbers;

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
                                                 "Model whose library to load from the directory the libraries are "
                                                 "built in (../lib beside this program): a, b or c (default a)")
                                    ->type_name("a|b|c")
                                    ->check(one_of({"a", "b", "c"}, "a model", "a, b or c (Model A, B or C)")));
        library_options.push_back(command
                                      ->add_option("--library", common.library,
                                                   "Path of any library with the thirteen Sylvo exports, instead of "
                                                   "--model; its model is told by its version")
                                      ->type_name("PATH"));
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

    Cli()
    {
        app.set_help_all_flag("--help-all", "Print the help of every command");
        app.require_subcommand(0, 1);
        add_common(&app);
        app.footer(std::string("Commands: table (the default: sylvo takes the table's options without it), height, "
                               "age, site, volume, thin, grow; `sylvo COMMAND --help` tells each value and its unit. "
                               "Exit status: 0 done; 2 an option's value is not accepted (one line on standard "
                               "error, nothing printed); 3 the model leaves its valid range or has no answer.\n\n"
                               "The table: ") +
                   kTableFooter);

        CLI::App* table = app.add_subcommand("table", "Yield table of a stand under a thinning regime (the default "
                                                      "command)");
        add_common(table);
        add_table_options(table);
        add_table_options(&app);
        table->footer(kTableFooter);

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
        int models = 0, libraries = 0;
        for (auto* o : model_options) models += static_cast<int>(o->count());
        for (auto* o : library_options) libraries += static_cast<int>(o->count());
        if (models && libraries)
            throw InputError("--library", common.library, "cannot be combined with --model",
                             "either --model or --library");
        if (libraries && common.library.empty())
            throw InputError("--library", "", "is empty", "the path of a shared library");
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
        return run_table(common, values);
    }
};

}  // namespace

int main(int argc, char** argv)
{
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
        return cli.run();
    } catch (const InputError& e) {
        std::cerr << "sylvo: " << e.what() << '\n';
        return kBadInput;
    } catch (const std::exception& e) {
        std::cerr << "sylvo: internal error: " << e.what() << '\n';
        return 1;
    }
}
