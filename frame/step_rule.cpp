#include "step_rule.h"

#include <cmath>

namespace sylvo {

std::int64_t step_count(StepRule rule, double d)
{
    constexpr double longest_step = 1.0;  // years
    constexpr double step_slack = 1e-06;  // years a difference may exceed a whole number
    switch (rule) {
    case StepRule::whole_years:
        // ceil(|d| - 1e-06) can reach 2^31 itself, hence 64 bits.
        return static_cast<std::int64_t>(std::ceil(std::fabs(d) / longest_step - step_slack));
    case StepRule::four_year_blocks:
        return static_cast<std::int32_t>(std::fabs(d)) / 4 + 1;
    }
    return 0;
}

}  // namespace sylvo
