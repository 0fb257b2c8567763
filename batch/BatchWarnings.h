// The warnings of one invocation of the batch tool, gathered from its options.
#pragma once

#include "Warnings.h"

namespace glebix::invocation {
struct BatchOptions;
}

namespace glebix::batch {

// The core's and the invocation's names are this layer's words.
using namespace glebix::core;
using namespace glebix::invocation;

// An animation asked for at more frames per second than viewers show as written.
std::string FramesPerSecondWarning(int framesPerSecond);

// Replicates or a design, and no output place to keep anything in.
std::string NothingKeptWarning();

// Every warning of an invocation: those of the settings, the initial files and the
// species file, for the common settings and then for each point whose row changes
// them; and a study that keeps nothing. Reads the inputs into options.Files.
StudyWarnings CollectWarnings(const BatchOptions &options);

}  // namespace glebix::batch
