// The thinning response: what is left of a stand after a thinning.
//
// thinned_ba solves  B2^-m = B1^-m + cb * p^-e * (N2^-k - N1^-k)  for B2,
// thinned_tph solves N2^-k = N1^-k + cn * p^e  * (B2^-m - B1^-m)  for N2,
// written as r^(1/m) * B1 and r^(1/k) * N1 with r = Q / (Q + X).
#pragma once

#include "types.h"

namespace sylvo {

// Basal area after thinning from n1 trees and b1 basal area to n2 trees;
// 0.0 when any argument is <= 0.
double thinned_ba(const ThinningCoefficients& c, double p, double n1, double b1, double n2);

// Trees per hectare after thinning from n1 trees and b1 basal area to b2
// basal area; 0.0 when any argument is <= 0.
double thinned_tph(const ThinningCoefficients& c, double p, double n1, double b1, double b2);

}  // namespace sylvo
