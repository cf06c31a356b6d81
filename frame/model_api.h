// What the frame asks of a model. Each model lives in a namespace of its own
// (sylvo::a, sylvo::b, sylvo::c) and describes itself to the frame with a
// `struct Model` holding its types, its constant coefficients and, as static
// members, its equations (model_functions.inc). The frame's projection and
// site search are templates over such a type, so one process can hold every
// model while the frame's source stays single.
#pragma once

#include <concepts>

#include "types.h"

namespace sylvo {

template <class M>
concept FrameModel = requires(typename M::SiteCurve& curve, const typename M::AgeTerms& terms, const double* x,
                              double* dx, double v) {
    { M::coefficients.frame } -> std::convertible_to<const FrameConstants&>;
    { M::load_time_site } -> std::convertible_to<const typename M::SiteCurve&>;
    { M::age_terms(v) } -> std::same_as<typename M::AgeTerms>;
    M::stand_derivatives(v, terms, x, dx);
    { M::set_site(curve, v, v) } -> std::same_as<bool>;
    { M::dominant_height(curve, v) } -> std::same_as<double>;
    { M::age_at_height(curve, v) } -> std::same_as<double>;
    { M::stand_volume(v, v, v) } -> std::same_as<double>;
    { M::merch_volume(v, v, v, v) } -> std::same_as<double>;
};

}  // namespace sylvo
