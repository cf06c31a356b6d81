// What the exports do around the model's routines, generic over a model M:
// the site-index check of the height and age exports, and the local stand of
// the growth exports. The exports apply it to the module's stored site; the
// engine applies it to a site of its own, fresh for every stand.
#pragma once

#include <limits>

#include "projection.h"
#include "site_search.h"
#include "types.h"

namespace sylvo {

// The exports' own range check of the site index, 1e-06 <= s <= 80.5; a
// site index that is not a number fails it.
inline constexpr double kSmallestSiteIndex = 1e-06;
inline constexpr double kLargestSiteIndex = 80.5;

inline bool site_index_in_range(double s)
{
    if (kSmallestSiteIndex > s) return false;
    return kLargestSiteIndex >= s;
}

// What a height or age call does when the model's set_site declines a site
// index that the exports' check let through (1e-06 <= s <= 1.3 in Models A
// and B): compute with the site stored before, as the exports do, or give
// NaN, as a caller without stored state must.
enum class DeclinedSite { use_stored, not_a_number };

template <class M>
StandState projected(double t1, double n1, double b1, double t2)
{
    StandState state{n1, b1};
    project_stand<M>(state, t1, t2);
    return state;
}

// SylvoHeight: 0.0 for a site index out of range.
template <class M>
double height_for(typename M::SiteCurve& curve, double t, double s, double u, DeclinedSite declined)
{
    if (!site_index_in_range(s)) return 0.0;
    if (!M::set_site(curve, s, u) && declined == DeclinedSite::not_a_number)
        return std::numeric_limits<double>::quiet_NaN();
    return M::dominant_height(curve, t);
}

// SylvoAge and SylvoGain: MISSING_VALUE for a site index out of range.
template <class M>
double age_for(typename M::SiteCurve& curve, double h, double s, double u, DeclinedSite declined)
{
    if (!site_index_in_range(s)) return MISSING_VALUE;
    if (!M::set_site(curve, s, u) && declined == DeclinedSite::not_a_number)
        return std::numeric_limits<double>::quiet_NaN();
    return M::age_at_height(curve, h);
}

}  // namespace sylvo
