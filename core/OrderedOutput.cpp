#include "OrderedOutput.h"

#include <exception>

namespace glebix::batch {

OrderedOutput::OrderedOutput(Consumer consume, std::size_t window)
    : consume_(std::move(consume)), window_(window < 1 ? 1 : window), slots_(window_) {}

void OrderedOutput::WaitForTurn(std::size_t index) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return index < next_ + window_; });
}

void OrderedOutput::Submit(std::size_t index, std::string piece) {
    std::lock_guard lock(mutex_);
    slots_[index % window_] = std::move(piece);
    ++held_;
    // The consumer runs under the lock: pieces go out in order and one at a time.
    for (std::optional<std::string> *slot; (slot = &slots_[next_ % window_])->has_value(); ++next_) {
        try {
            consume_(next_, **slot);
        } catch (const std::exception &e) {
            try {
                if (error_.empty()) error_ = e.what();
            } catch (const std::exception &) {
                // Without memory for the message the failure is still known.
                error_ = "?";
            }
        }
        slot->reset();
        --held_;
    }
    turn_.notify_all();
}

std::size_t OrderedOutput::Consumed() const {
    std::lock_guard lock(mutex_);
    return next_;
}

std::size_t OrderedOutput::Held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

std::string OrderedOutput::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace glebix::batch
