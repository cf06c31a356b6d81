// The site-index search: which site index makes the site curve pass a given
// height at a given age.
#pragma once

#include "model.h"

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
double site_from_height(SiteCurve& curve, double h, double t, double u);

}  // namespace sylvo
