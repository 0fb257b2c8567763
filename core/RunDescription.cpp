#include "RunDescription.h"

#include "PlotShape.h"
#include "Simul.h"

namespace glebix::core {

RunDescription DescribeRun(const Simul &engine, std::uint32_t seed, std::uint32_t masterSeed, std::int32_t startStep,
                           std::int32_t stepCount) {
    return {gis::RunGeoreference(engine), engine.Plot.Bounded, seed, masterSeed, startStep, stepCount};
}

RunDescription DescribePlannedRun(const TSettings &settings, InputBytes &store, std::uint32_t seed,
                                  std::uint32_t masterSeed, std::int32_t stepCount) {
    gis::Georeference where = gis::InitialGeoreference(settings, store);
    if (!where.Source.empty()) where.CrsWkt = gis::FileCrs(where.Source);
    return {std::move(where), HasBoundedEdges(settings.Plot), seed, masterSeed, 0, stepCount};
}

}  // namespace glebix::core
