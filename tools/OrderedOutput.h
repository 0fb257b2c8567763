// Pieces of text numbered from 0, produced by several threads in any order, handed to
// one writer in number order. A producer about to make piece k waits while k is a
// window or more ahead of the next piece to write, so at most a window of pieces ever
// wait in memory, however long one of them takes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace glebix::batch {

class OrderedOutput {
public:
    // `write` is called with the pieces in order, one call at a time; when it throws,
    // the message is kept, nothing more is written and later pieces are dropped.
    OrderedOutput(std::function<void(const std::string &)> write, std::size_t window);

    // Blocks until piece `index` may be made. Pieces are taken in increasing order, so
    // the next piece to write is always being made or waiting: this never deadlocks.
    void WaitForTurn(std::size_t index);
    // Hands in piece `index`; every index must be handed in once, empty or not.
    void Submit(std::size_t index, std::string text);

    std::size_t Written() const;  // pieces handed to the writer so far
    std::size_t Held() const;     // pieces waiting for an earlier one
    std::string Error() const;    // the writer's first error; empty when none

private:
    std::function<void(const std::string &)> write_;
    std::size_t window_;
    mutable std::mutex mutex_;
    std::condition_variable turn_;
    std::map<std::size_t, std::string> held_;
    std::size_t next_ = 0;
    std::string error_;
};

}  // namespace glebix::batch
