#include "StudyOptions.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace glebix::core {

AnimationLook AnimationLookOf(const BatchOptions &options) {
    return {options.AnimateStyle, options.AnimateCellSize, options.FramesPerSecond};
}

std::string VersionNumber() { return GLEBIX_VERSION; }

std::string VersionText() { return "glebix-batch " + VersionNumber(); }

}  // namespace glebix::core
