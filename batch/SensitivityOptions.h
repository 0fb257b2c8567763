// The command line's checks of --sample and --analyse, which write a sensitivity
// study's design or the indices of its table (core/analysis) and run no simulation.
#pragma once

#include "OptionTable.h"

namespace glebix::batch {

// Whether the invocation samples or analyses rather than runs.
bool AsksSensitivity(const BatchOptions &options);

// Whether it calibrates: --calibrate, or --analyse with a calibration's method.
bool AsksCalibration(const BatchOptions &options);

// Adds the problems of the sensitivity options to what the options gathered: the one
// or the other of --sample and --analyse, each with the options it needs (and --seed),
// none of the options of a run, and no sensitivity option without them.
void CheckSensitivity(Gathered &g);

}  // namespace glebix::batch
