// A factor of a study: a name and the range it is sampled in, on a linear or a
// logarithmic scale. The sensitivity analysis (core/analysis) reads and checks them from
// a factors file; the calibration takes the same ones as its prior. Standard library
// only, so that the calibration stays free of Qt and GDAL.
#pragma once

#include <string>

namespace glebix {

struct SettingRow;

enum class FactorScale { Linear, Log };

struct Factor {
    std::string Name;
    double Low = 0;
    double High = 1;
    FactorScale Scale = FactorScale::Linear;
    // The setting of that name; nullptr for a factor that is no setting.
    const SettingRow *Setting = nullptr;
    // Takes whole values only (a whole, mode or flag setting): sampled values are
    // rounded and a design records the rounded value.
    bool Whole = false;
};

}  // namespace glebix
