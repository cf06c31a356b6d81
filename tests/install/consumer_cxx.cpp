// A C++ program built against an installed Sylvo: the engine's C++ interface
// from the static library.
#include <cstdio>
#include <vector>

#include "sylvo/engine.hpp"

int main()
{
    const std::vector<double> age{20, 40}, site{24, 24}, shift{0, 0};
    std::vector<double> height(2);
    sylvo::height(sylvo::parse_model("b"), age, site, shift, height);
    std::printf("Model B heights at 20 and 40: %.17g %.17g\n", height[0], height[1]);
    return height[0] == sylvo::height_one(sylvo::Model::b, 20, 24, 0) && height[1] > height[0] ? 0 : 1;
}
