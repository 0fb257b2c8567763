// The environment-response curve of the species.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string>

#include "Errors.h"
#include "FloatChecks.h"
#include "Response.h"
#include "Simul.h"

namespace glebix {

void CheckResponseShape(std::int32_t shape, ShapeSource source) {
    if (IsKnownResponseShape(shape)) return;
    // The allowed shapes "0, 1" and the last one, "2".
    std::string leading;
    for (std::int32_t k = 0; k + 1 < ResponseShapeCount; ++k) leading += (k > 0 ? ", " : "") + std::to_string(k);
    const MessageKey key = source == ShapeSource::SpeciesFile ? MessageKey("engine.shape_in_file") : "engine.shape";
    throw GlebixError(EngineMessage(key, {std::to_string(shape), leading, std::to_string(ResponseShapeCount - 1)}));
}

double Simul::EnvResponse(double optimum, double tolerance, double x) const {
    const long double m = optimum, w = tolerance, c = x;
    switch (Species.ResponseShape) {
    case ResponseNormal:  // normal density; 6.28318 stands for 2 pi as the model defines it
        return StoreDouble(Exp(-Divide((m - c) * (m - c), 2 * w * w)) * Divide(1, std::sqrt(6.28318L * w * w)));
    case ResponseBell:  // bell with its peak 1 at the optimum
        return StoreDouble(Exp(-Divide((m - c) * (m - c), 2 * w * w)));
    default:  // ResponseLogistic; never divides by the tolerance
        return StoreDouble(1 / (1 + Exp(-m - c * w)));
    }
}

// Shapes 0 and 1 with finite values and |W| >= 1e-150: the quotient is finite and
// 1 / sqrt(6.28318 W^2) stays far below the largest double. The logistic with
// |M| + |X W| <= 11000: its exponential stays far below the largest long double.
double Simul::EnvResponseSureLimit(double optimum, double tolerance) const {
    constexpr double never = -1;
    if (!std::isfinite(optimum) || !std::isfinite(tolerance)) return never;
    if (Species.ResponseShape == ResponseNormal || Species.ResponseShape == ResponseBell)
        return std::fabs(tolerance) >= 1e-150 ? DBL_MAX : never;
    if (std::fabs(optimum) > 10000) return never;
    if (tolerance == 0) return DBL_MAX;
    return std::min(DBL_MAX, (11000 - std::fabs(optimum)) / std::fabs(tolerance));
}

}  // namespace glebix
