// A Sylvo model library loaded at run time with dlopen, as host programs load
// it, with the thirteen exports resolved and wrapped.
#pragma once

#include <string>

#include "sylvo.h"

namespace sylvo_tool {

// What the tool knows of the model behind a library, from its version.
struct ModelInfo {
    std::string id;          // "A", "B", "C", or empty for a version the tool does not know
    std::string name;        // "Model A", ..., or "the library's model"
    double site_floor;       // site indices must lie above this (m)
    std::string site_reason; // why, for error messages
    std::string search;      // the interval SylvoSite searches, for error messages
};

class Library {
public:
    // Loads PATH; throws InputError naming OPTION, VALUE and what is
    // ACCEPTED when the file cannot be loaded or lacks one of the thirteen
    // exports.
    Library(const std::string& path, const std::string& option, const std::string& value,
            const std::string& accepted);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    const std::string& path() const { return path_; }
    double version() const { return version_; }
    const ModelInfo& model() const { return model_; }

    double height(double age, double site, double shift) const { return height_(age, site, shift); }
    double age(double height, double site, double shift) const { return age_(height, site, shift); }
    double site(double height, double age, double shift) const { return site_(height, age, shift); }
    double volume(double h, double n, double b) const { return volume_(h, n, b); }
    double merch_volume(double h, double n, double b, double d) const { return merch_(h, n, b, d); }
    double ba_after(double p, double n1, double b1, double n2) const { return ba_after_(p, n1, b1, n2); }
    double tph_after(double p, double n1, double b1, double b2) const { return tph_after_(p, n1, b1, b2); }
    // Projects (n, b) from age t1 to age t2 in place.
    void grow(double t1, double t2, double& n, double& b) const { grow_(t1, t2, &n, &b); }

private:
    std::string path_;
    void* handle_ = nullptr;
    double version_ = 0.0;
    ModelInfo model_;
    SylvoFn3 height_ = nullptr, age_ = nullptr, site_ = nullptr, volume_ = nullptr;
    SylvoFn4 merch_ = nullptr, ba_after_ = nullptr, tph_after_ = nullptr;
    SylvoGrowFn grow_ = nullptr;
    SylvoVersionFn version_fn_ = nullptr;
};

// The library of a built-in model ("a", "b" or "c"): libsylvo<m>.so in the
// directory the libraries are built in (../lib beside the executable).
std::string model_library_path(const std::string& model);

}  // namespace sylvo_tool
