// Which states of a run an output over time records: the one it starts from, every
// `every` steps, and the last step (the step count, or the step a stopping rule ended
// the run at). Every output over time follows it: the recorders of a batch run and the
// recordings the bindings ask for.
#pragma once

#include <cstdint>

namespace glebix::core {

inline bool IsRecordedStep(std::int32_t step, int every, std::int32_t last) {
    return step % every == 0 || step == last;
}

}  // namespace glebix::core
