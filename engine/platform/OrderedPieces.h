// Pieces of text numbered from 0, made on several threads in any order and handed to
// one consumer in number order: so a large file is formatted on every processor while
// it is checksummed and written, and a study's table keeps the order of its runs
// whichever run ends first. At most a window of pieces ever waits in memory, however
// long one of them takes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace glebix {

class OrderedPieces {
public:
    // Called with every piece in order, one call at a time, on the thread that handed
    // in the piece it waited for. When it throws, the first error is kept and the later
    // pieces are still handed on: the caller decides what a failure stops.
    using Consumer = std::function<void(std::size_t index, std::string &piece)>;
    OrderedPieces(Consumer consume, std::size_t window);

    // Blocks until piece `index` may be made: while it is a window or more ahead of
    // the next piece to hand on. Pieces are taken in increasing order, so the next
    // piece to hand on is always being made or waiting: this never deadlocks.
    void WaitForTurn(std::size_t index);
    // Hands in piece `index`, once for every index, empty or not, after WaitForTurn
    // said it may be made. `piece` is exchanged for the storage of a piece already
    // handed on, empty, for the caller's next piece: nothing is allocated, so a piece
    // is never lost for lack of memory and the order never stalls.
    void Submit(std::size_t index, std::string &piece);
    void Submit(std::size_t index, std::string &&piece) { Submit(index, piece); }

    // Keeps `error` as the failure when none is kept yet.
    void Fail(std::exception_ptr error);
    bool Failed() const;
    std::exception_ptr Failure() const;
    std::string Error() const;     // the first failure's message; empty when none
    std::size_t Consumed() const;  // pieces handed on so far
    std::size_t Held() const;      // pieces waiting for an earlier one

private:
    struct Slot {
        std::string text;
        bool ready = false;
    };
    void HandOnReady(std::unique_lock<std::mutex> &lock);

    Consumer consume_;
    mutable std::mutex mutex_;
    std::condition_variable turn_;
    std::vector<Slot> slots_;  // piece k waits in slot k % window
    std::size_t held_ = 0;
    std::size_t next_ = 0;
    bool consuming_ = false;  // a thread is handing pieces on, outside the lock
    std::exception_ptr failure_;
};

// Appends piece `index` to `out`, which it finds empty. Called on any of the threads,
// for each index once; a piece depends on its index only.
using PieceMaker = std::function<void(std::size_t index, std::string &out)>;

// Makes pieces 0 to `count` - 1 with `make` on `threads` threads, the calling thread
// one of them (fewer when the system refuses threads; one makes them in order), and
// hands each to `take` in order, one call at a time. At most a few pieces a thread
// wait at once; their storage is reused. An exception from `make` or `take` stops
// the making: it is raised on the calling thread once the other threads have ended.
void MakePiecesInOrder(std::size_t count, int threads, const PieceMaker &make,
                       const std::function<void(std::string_view)> &take);

}  // namespace glebix
