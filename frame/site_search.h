// The site-index search: which site index makes the site curve pass a given
// height at a given age.
#pragma once

#include "find_root.h"
#include "types.h"

namespace sylvo {

// The question a search answers, handed to its residual.
struct SiteSearch {
    double height;
    double age;
    double age_shift;
};

// Searches the model's site-index interval for the site index whose curve,
// with age shift u, reaches height h at age t. Returns it when it lies
// strictly inside the interval and the search's final bracket holds a sign
// change of the residual; otherwise 0.0. Each trial stores its site index
// and u in `curve` through set_site, so `curve` is left holding the last
// trial.
template <class M>
double site_from_height(typename M::SiteCurve& curve, double h, double t, double u)
{
    const SiteSearch search{h, t, u};
    const SearchInterval& interval = M::coefficients.frame.site_search;

    // Residual: target height minus the curve's height at the target age,
    // for a trial site index stored in the curve.
    auto site_residual = [&curve, &search](double site_index) {
        M::set_site(curve, site_index, search.age_shift);
        return search.height - M::dominant_height(curve, search.age);
    };

    const RootBracket found = find_root(interval.lo, interval.hi, site_residual, interval.tol);
    const double r = found.best;

    // Only a site index strictly inside the interval counts (not a NaN).
    if (!(interval.lo < r && r < interval.hi)) return 0.0;
    // A search with no sign change in its final bracket ends at a point that
    // is no root: the height is not reached by any site index it tried.
    if (!found.holds_sign_change()) return 0.0;
    return r;
}

}  // namespace sylvo
