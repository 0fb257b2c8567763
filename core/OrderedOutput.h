// Pieces of text numbered from 0, produced by several threads in any order, handed to
// one consumer in number order. A producer about to make piece k waits while k is a
// window or more ahead of the next piece to hand on, so at most a window of pieces
// ever wait in memory, however long one of them takes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace glebix::batch {

class OrderedOutput {
public:
    // `consume` is called with every piece in order, one call at a time. When it
    // throws, the first message is kept and the later pieces are still handed on: the
    // consumer decides what a failure stops.
    using Consumer = std::function<void(std::size_t index, std::string &piece)>;
    OrderedOutput(Consumer consume, std::size_t window);

    // Blocks until piece `index` may be made. Pieces are taken in increasing order, so
    // the next piece to hand on is always being made or waiting: this never deadlocks.
    void WaitForTurn(std::size_t index);
    // Hands in piece `index`, once for every index, empty or not, after WaitForTurn
    // said it may be made. Allocates nothing, so that a piece is never lost for lack
    // of memory and the order never stalls.
    void Submit(std::size_t index, std::string piece);

    std::size_t Consumed() const;  // pieces handed on so far
    std::size_t Held() const;      // pieces waiting for an earlier one
    std::string Error() const;     // the consumer's first error; empty when none

private:
    Consumer consume_;
    std::size_t window_;
    mutable std::mutex mutex_;
    std::condition_variable turn_;
    std::vector<std::optional<std::string>> slots_;  // piece k waits in slot k % window
    std::size_t held_ = 0;
    std::size_t next_ = 0;
    std::string error_;
};

}  // namespace glebix::batch
