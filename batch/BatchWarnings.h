// The warnings of one invocation of the batch tool, gathered from its options.
#pragma once

#include "Warnings.h"

namespace glebix::batch {

struct BatchOptions;

// Every warning of an invocation: those of the settings, the initial files and the
// species file, for the common settings and then for each point whose row changes
// them; and a study that keeps nothing. Reads the inputs into options.Files.
StudyWarnings CollectWarnings(const BatchOptions &options);

}  // namespace glebix::batch
