// What a table's removals are worth: the ledger of every removal (each
// thinning and the final harvest) with its volume by assortment, revenue,
// cost and net value, and the table's values (NPV, LEV, IRR, EAV), from an
// economics file (schemas/economics.schema.json) read with the same refusal
// rules as a regime file (RegimeError: file, line, column, JSON pointer).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace sylvo {

// A diameter class of the removals: the merchantable volume from its lower
// limit up to the next higher class's limit.
struct Assortment {
    std::string name;
    double min_diameter_cm = kNone;
    double price_per_m3 = kNone;
};

struct Economics {
    std::string file;
    double discount_rate = kNone;     // real, per year
    std::vector<Assortment> assortments;  // as written
    double thinning_per_ha = 0.0;     // for each thinning done
    double harvest_per_ha = 0.0;      // for the final harvest
    double felling_per_m3 = 0.0;      // for every m3 of assortment volume removed
    double establishment_per_ha = 0.0;  // at age 0
    double annual_per_ha = 0.0;       // at the end of every year
    std::string document;             // as read, compact JSON
};

Economics parse_economics(std::string_view text, std::string_view file_name);
Economics read_economics(const std::string& path);

// One removal.
struct LedgerRecord {
    std::size_t row;       // the table's row after the removal
    double age;            // yr
    bool harvest;          // the final harvest, else a thinning
    double trees, ba, volume;  // removed: per ha, m2/ha, m3/ha of total volume
    double merch_volume;   // m3/ha removed at the table's merchantable limit (kNone without one)
    std::vector<double> assortments;  // m3/ha, in the order of Economics::assortments
    double revenue, cost, net;        // per ha
    std::string note;      // classes that came out negative and count 0
};

// The ledger of TABLE (made from REQUEST) under ECONOMICS. With M(d) the
// merchantable volume removed at limit d (SylvoMerchVol before minus after
// the removal, with the height of that age; after the harvest nothing
// stands), the highest class is M(its limit) and each other class M(its
// limit) - M(the next higher limit); a class below 0 counts 0.
std::vector<LedgerRecord> removal_ledger(const TableRequest& request, const YieldTable& table,
                                         const Economics& economics);

// A table's values. Without a harvest there are none, and WHY says why.
struct TableValues {
    bool valued = false;
    std::string why;      // when not valued
    double rotation = kNone;  // R, the harvest age
    double npv = kNone;   // at the table's start age, of the cash flows from then to R
    double lev = kNone;   // bare land under an endless series of identical rotations
    double irr = kNone;   // the lowest rate above -0.99 at which one rotation's cash flows sum to 0
    std::string irr_why;  // when there is no IRR
    double eav = kNone;   // r * LEV
};

TableValues table_values(const TableRequest& request, const YieldTable& table,
                         const std::vector<LedgerRecord>& ledger, const Economics& economics);

}  // namespace sylvo
