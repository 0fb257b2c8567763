#include "OrderedPieces.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "Threads.h"

namespace glebix {

namespace {

// Pieces a thread may have made ahead of the one handed on next.
constexpr std::size_t PiecesAheadPerThread = 2;

// The pieces under way, shared by the threads under `mutex`. Piece k is made in slot
// k % slots.size(), which piece k - slots.size() has left once it was handed on.
struct Making {
    Making(const PieceMaker &maker, std::size_t pieces, std::size_t slotCount)
        : make(maker), count(pieces), slots(slotCount), made(slotCount, 0) {}

    const PieceMaker &make;
    std::size_t count;
    std::vector<std::string> slots;
    std::vector<char> made;  // by slot: holds its piece, made and not yet handed on
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t nextToMake = 0, nextToTake = 0;
    bool stopped = false;
    std::exception_ptr failure;

    bool MayMake() const { return nextToMake < count && nextToMake < nextToTake + slots.size(); }

    // Makes the next piece, the lock held on entry and on return.
    void MakeOne(std::unique_lock<std::mutex> &lock) {
        const std::size_t index = nextToMake++, slot = index % slots.size();
        std::string out = std::move(slots[slot]);
        lock.unlock();
        out.clear();
        try {
            make(index, out);
        } catch (...) {
            lock.lock();
            Stop(std::current_exception());
            return;
        }
        lock.lock();
        slots[slot] = std::move(out);
        made[slot] = 1;
        changed.notify_all();
    }

    void Stop(std::exception_ptr error) {
        if (!failure) failure = error;
        stopped = true;
        changed.notify_all();
    }

    // A thread other than the calling one: makes pieces until none is left.
    void Help() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopped || nextToMake >= count || MayMake(); });
            if (stopped || nextToMake >= count) return;
            MakeOne(lock);
        }
    }
};

}  // namespace

void MakePiecesInOrder(std::size_t count, int threads, const PieceMaker &make,
                       const std::function<void(std::string_view)> &take) {
    const std::size_t helpers = threads > 1 && count > 1 ? std::min<std::size_t>(threads - 1, count - 1) : 0;
    Making m(make, count, (helpers + 1) * PiecesAheadPerThread);
    std::vector<std::thread> helping = StartThreads(static_cast<int>(helpers), [&m](int) { m.Help(); });
    std::unique_lock lock(m.mutex);
    while (!m.stopped && m.nextToTake < count) {
        const std::size_t slot = m.nextToTake % m.slots.size();
        if (m.made[slot]) {
            std::string piece = std::move(m.slots[slot]);
            lock.unlock();
            try {
                take(piece);
            } catch (...) {
                lock.lock();
                m.Stop(std::current_exception());
                break;
            }
            lock.lock();
            m.slots[slot] = std::move(piece);  // its storage serves again
            m.made[slot] = 0;
            ++m.nextToTake;
            m.changed.notify_all();
        } else if (m.MayMake()) {
            m.MakeOne(lock);
        } else {
            m.changed.wait(lock);
        }
    }
    m.stopped = true;
    m.changed.notify_all();
    lock.unlock();
    for (std::thread &t : helping) t.join();
    if (m.failure) std::rethrow_exception(m.failure);
}

}  // namespace glebix
