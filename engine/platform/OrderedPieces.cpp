#include "OrderedPieces.h"

#include <atomic>
#include <thread>

#include "Threads.h"

namespace glebix {

namespace {

// Pieces a thread may have made ahead of the one handed on next.
constexpr std::size_t PiecesAheadPerThread = 2;

}  // namespace

OrderedPieces::OrderedPieces(Consumer consume, std::size_t window)
    : consume_(std::move(consume)), slots_(window < 1 ? 1 : window) {}

void OrderedPieces::WaitForTurn(std::size_t index) {
    std::unique_lock lock(mutex_);
    turn_.wait(lock, [&] { return index < next_ + slots_.size(); });
}

void OrderedPieces::Submit(std::size_t index, std::string &piece) {
    std::unique_lock lock(mutex_);
    Slot &slot = slots_[index % slots_.size()];
    slot.text.swap(piece);
    slot.ready = true;
    ++held_;
    if (!consuming_) HandOnReady(lock);
}

// Hands on the pieces ready in order, the lock released during each call: no other
// thread touches a ready slot before it is handed on, and pieces handed in meanwhile
// are taken up by this loop.
void OrderedPieces::HandOnReady(std::unique_lock<std::mutex> &lock) {
    consuming_ = true;
    for (Slot *slot; (slot = &slots_[next_ % slots_.size()])->ready;) {
        lock.unlock();
        try {
            consume_(next_, slot->text);
        } catch (...) {
            lock.lock();
            if (!failure_) failure_ = std::current_exception();
            lock.unlock();
        }
        slot->text.clear();
        lock.lock();
        slot->ready = false;
        --held_;
        ++next_;
        turn_.notify_all();
    }
    consuming_ = false;
}

void OrderedPieces::Fail(std::exception_ptr error) {
    std::lock_guard lock(mutex_);
    if (!failure_) failure_ = std::move(error);
}

bool OrderedPieces::Failed() const {
    std::lock_guard lock(mutex_);
    return failure_ != nullptr;
}

std::exception_ptr OrderedPieces::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

std::string OrderedPieces::Error() const {
    const std::exception_ptr failure = Failure();
    if (!failure) return {};
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception &e) { return e.what(); } catch (...) {
    }
    return "?";  // not a standard exception: the failure is still known
}

std::size_t OrderedPieces::Consumed() const {
    std::lock_guard lock(mutex_);
    return next_;
}

std::size_t OrderedPieces::Held() const {
    std::lock_guard lock(mutex_);
    return held_;
}

void MakePiecesInOrder(std::size_t count, int threads, const PieceMaker &make,
                       const std::function<void(std::string_view)> &take) {
    const std::size_t helpers = threads > 1 && count > 1 ? std::min<std::size_t>(threads - 1, count - 1) : 0;
    // Once a piece has failed, the others are handed on empty and not taken.
    const OrderedPieces *made = nullptr;
    OrderedPieces order(
        [&](std::size_t, std::string &piece) {
            if (!made->Failed()) take(piece);
        },
        (helpers + 1) * PiecesAheadPerThread);
    made = &order;
    std::atomic<std::size_t> nextToMake{0};
    auto work = [&] {
        std::string piece;
        for (std::size_t k; (k = nextToMake.fetch_add(1)) < count;) {
            order.WaitForTurn(k);
            if (!order.Failed()) {
                try {
                    make(k, piece);
                } catch (...) { order.Fail(std::current_exception()); }
            }
            order.Submit(k, piece);
        }
    };
    std::vector<std::thread> helping = StartThreads(static_cast<int>(helpers), [&work](int) { work(); });
    work();
    for (std::thread &t : helping) t.join();
    if (const std::exception_ptr failure = order.Failure()) std::rethrow_exception(failure);
}

}  // namespace glebix
