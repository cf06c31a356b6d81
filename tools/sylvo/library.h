// The model a command runs, through the engine's exact single-stand
// functions (the same bits as the model's thirteen exports).
#pragma once

#include <string>

#include "sylvo/engine.hpp"

namespace sylvo_tool {

// What the tool says about a model in messages.
struct ModelInfo {
    std::string id;          // "A", "B" or "C"
    std::string name;        // "Model A", ...
    double site_floor;       // site indices must lie above this (m)
    std::string site_reason; // why, for error messages
    std::string search;      // the interval SylvoSite searches, for error messages
};

class Library {
public:
    explicit Library(sylvo::Model model);

    sylvo::Model id() const { return model_; }
    double version() const { return sylvo::model_version(model_); }
    const ModelInfo& model() const { return info_; }

    double height(double age, double site, double shift) const { return sylvo::height_one(model_, age, site, shift); }
    double age(double height, double site, double shift) const { return sylvo::age_one(model_, height, site, shift); }
    double site(double height, double age, double shift) const { return sylvo::site_one(model_, height, age, shift); }
    double volume(double h, double n, double b) const { return sylvo::volume_one(model_, h, n, b); }
    double merch_volume(double h, double n, double b, double d) const
    {
        return sylvo::merch_volume_one(model_, h, n, b, d);
    }
    double ba_after(double p, double n1, double b1, double n2) const
    {
        return sylvo::ba_after_one(model_, p, n1, b1, n2);
    }
    double tph_after(double p, double n1, double b1, double b2) const
    {
        return sylvo::tph_after_one(model_, p, n1, b1, b2);
    }
    // Projects (n, b) from age t1 to age t2 in place.
    void grow(double t1, double t2, double& n, double& b) const
    {
        const sylvo::Stand s = sylvo::grow_one(model_, t1, t2, n, b);
        n = s.trees;
        b = s.ba;
    }

private:
    sylvo::Model model_;
    ModelInfo info_;
};

}  // namespace sylvo_tool
