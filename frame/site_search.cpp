#include "site_search.h"

#include "find_root.h"

namespace sylvo {

double site_from_height(SiteCurve& curve, double h, double t, double u)
{
    const SiteSearch search{h, t, u};
    const SearchInterval& interval = coefficients.frame.site_search;

    // Residual: target height minus the curve's height at the target age,
    // for a trial site index stored in the curve.
    auto site_residual = [&curve, &search](double site_index) {
        set_site(curve, site_index, search.age_shift);
        return search.height - dominant_height(curve, search.age);
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
