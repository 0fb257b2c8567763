// The records of a run session's steps since its set-up (or since it was put back):
// what the language bindings show as the run's trace, step 0 being the state right
// after set-up. Read while another thread steps.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "RunSession.h"
#include "StudyTable.h"

namespace glebix::core {

struct TracedStep {
    std::int32_t Step = 0;
    StepRecord Record;
};

class StepTrace : public RunObserver {
public:
    // Forgets the rows, room kept for `rows` to come.
    void Clear(std::size_t rows = 0);
    std::vector<TracedStep> Copy() const;
    // Hands the rows over, the trace left empty.
    std::vector<TracedStep> Take();

    void SetUp(const RunSession &session) override;
    void Stepped(const RunSession &session) override;

private:
    void Add(const RunSession &session);

    mutable std::mutex mutex_;  // held only while a row is added or the rows copied
    std::vector<TracedStep> rows_;
};

}  // namespace glebix::core
