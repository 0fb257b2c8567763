#include "StepTrace.h"

#include <algorithm>

namespace glebix::core {

void StepTrace::Clear(std::size_t rows) {
    std::lock_guard lock(mutex_);
    rows_.clear();
    rows_.reserve(rows);
}

std::vector<TracedStep> StepTrace::Copy() const {
    std::lock_guard lock(mutex_);
    return rows_;
}

std::vector<TracedStep> StepTrace::Take() {
    std::vector<TracedStep> rows;
    std::lock_guard lock(mutex_);
    rows.swap(rows_);
    return rows;
}

void StepTrace::Add(const RunSession &session) {
    TracedStep row{session.StepIndex(), session.Record()};
    std::lock_guard lock(mutex_);
    rows_.push_back(row);
}

void StepTrace::SetUp(const RunSession &session) {
    Clear(static_cast<std::size_t>(std::max(session.StepCount(), 0)) + 1);
    Add(session);
}

void StepTrace::Stepped(const RunSession &session) { Add(session); }

}  // namespace glebix::core
