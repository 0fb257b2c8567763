#include "OrderedOutput.h"

#include <exception>

namespace glebix::batch {

OrderedOutput::OrderedOutput(Consumer consume, std::size_t window)
    : consume_(std::move(consume)), window_(window < 1 ? 1 : window) {}

void OrderedOutput::WaitForTurn(std::size_t index) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return index < next_ + window_; });
}

void OrderedOutput::Submit(std::size_t index, std::string piece) {
    std::lock_guard lock(mutex_);
    held_.emplace(index, std::move(piece));
    // The consumer runs under the lock: pieces go out in order and one at a time.
    for (auto it = held_.begin(); it != held_.end() && it->first == next_; it = held_.erase(it), ++next_) {
        try {
            consume_(it->first, it->second);
        } catch (const std::exception &e) {
            if (error_.empty()) error_ = e.what();
        }
    }
    turn_.notify_all();
}

std::size_t OrderedOutput::Consumed() const {
    std::lock_guard lock(mutex_);
    return next_;
}

std::size_t OrderedOutput::Held() const {
    std::lock_guard lock(mutex_);
    return held_.size();
}

std::string OrderedOutput::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace glebix::batch
