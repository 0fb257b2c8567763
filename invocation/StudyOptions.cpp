#include "StudyOptions.h"

#ifndef GLEBIX_VERSION
#define GLEBIX_VERSION "unknown"
#endif

namespace glebix::invocation {

const std::string &OutputAsked(const BatchOptions &options, std::string_view option) {
    static const std::string none;
    const auto at = options.Outputs.find(option);
    return at == options.Outputs.end() ? none : at->second;
}

AnimationLook AnimationLookOf(const BatchOptions &options) {
    return {options.AnimateStyle, options.AnimateCellSize, options.FramesPerSecond};
}

std::string VersionText() { return "glebix-batch " + VersionNumber(); }

}  // namespace glebix::invocation
