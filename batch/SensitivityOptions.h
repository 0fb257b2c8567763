// The command line's checks of --sample and --analyse, which write a sensitivity
// study's design or the indices of its table (core/analysis) and run no simulation.
#pragma once

#include "OptionTable.h"
#include "Sampling.h"

namespace glebix::batch {

// The core's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

// Whether the invocation samples or analyses rather than runs (a sample run at once,
// given a run's outputs, is a study).
bool AsksSensitivity(const BatchOptions &options);

// The sample --sample asks for, with its seed.
analysis::SampleRequest SampleRequestOf(const BatchOptions &options);

// Whether it calibrates: --calibrate, or --analyse with a calibration's method.
bool AsksCalibration(const BatchOptions &options);

// Adds the problems of the sensitivity options to what the options gathered: the one
// or the other of --sample and --analyse, each with the options it needs (and --seed),
// none of the options of a run (unless --sample is given a run's outputs: then a
// study's options, but --design, --resume and --repeat), and no sensitivity option
// without them.
void CheckSensitivity(Gathered &g);

}  // namespace glebix::batch
