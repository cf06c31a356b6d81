// What the yield tables share between the plain table and the regimes: the
// request's checks, the site index, the rule where a stand ends, and the
// one walk that makes every table.
#pragma once

#include <string>

#include "sylvo/regime.hpp"
#include "sylvo/yield_table.hpp"

namespace sylvo::engine {

// Throws InputError naming the field of the first value the table cannot take.
void check_request(const TableRequest& request);
// The site index of the request (given, or found from a height at its age).
double resolve_site(const TableRequest& request);
// Appends why ROW's stand is no longer a stand; false (nothing appended) for a stand.
bool append_no_stand(const YieldRow& row, double max_sdi, std::string& why);

// The table of REQUEST (its own thinnings ignored) under REGIME. STRICT:
// the regime comes from --thin (or a thinnings column), whose thinning
// to as many trees or as much basal area as the stand has is refused
// (InputError naming REQUEST.thinning_field) rather than skipped.
YieldTable run_table(const TableRequest& request, const Regime& regime, bool strict);

}  // namespace sylvo::engine
