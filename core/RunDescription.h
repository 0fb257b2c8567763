// What a run is, as every record of it tells: the plot's size and edges, where its
// grids lie (the initial grid's placement and CRS), its seeds and its steps, and the
// input files it read with their digests. A run session makes it once the run is set up
// or put back (RunSession::Description); the manifest and the bindings' rasters read it
// there. Before set-up, the same facts but the generator's and the inputs' come from the
// settings and the initial files (DescribePlannedRun).
#pragma once

#include <cstdint>

#include <vector>

#include "Georeference.h"
#include "InputFile.h"
#include "InputRecords.h"
#include "Settings.h"

namespace glebix {
class Simul;
}

namespace glebix::core {

struct RunDescription {
    gis::Georeference Georeference;  // with the plot's width (Columns) and height (Lines)
    bool Bounded = false;            // the plot's edges: bounded, or a torus
    std::uint32_t Seed = 0;          // the run's
    std::uint32_t MasterSeed = 0;    // the study's that Seed came from
    std::int32_t StartStep = 0;      // the step it was set up or put back at
    std::int32_t StepCount = 0;      // the step it goes to
    // The files it read, as recorded when they were read (RecordRunInput); empty when
    // its owner recorded none (RunSession::RecordInputs).
    std::vector<InputFileRecord> Inputs = {};

    bool operator==(const RunDescription &) const = default;
};

// The run `engine` holds, set up or put back.
RunDescription DescribeRun(const Simul &engine, std::uint32_t seed, std::uint32_t masterSeed, std::int32_t startStep,
                           std::int32_t stepCount);

// The run that `settings` will set up, from its initial files (each read once into
// `store`, as the runs read them), the CRS the initial grid's file gives. Raises
// GlebixError when an initial file cannot be read.
RunDescription DescribePlannedRun(const TSettings &settings, InputBytes &store, std::uint32_t seed,
                                  std::uint32_t masterSeed, std::int32_t stepCount);

}  // namespace glebix::core
