// Mortality probabilities of crowded cells, kept by their exact inputs. The value of a
// crowded cell depends only on its exposed count a, its excess E (> 0) and the run's
// exponent and survival; a run meets a few thousand (a, E) pairs again and again.
// Entries are made only from computations that raised no fault.
#pragma once

#include <bit>
#include <cstdint>
#include <memory>

namespace glebix {

class MortalityCache {
public:
    MortalityCache() : entries_(new Entry[Size]()) {}

    // Forgets every entry unless they were made with these species values (bit for bit).
    void Use(double alpha, double survival) {
        const std::uint64_t a = std::bit_cast<std::uint64_t>(alpha), s = std::bit_cast<std::uint64_t>(survival);
        if (a == alpha_ && s == survival_) return;
        for (int k = 0; k < Size; ++k) entries_[k] = Entry{};
        alpha_ = a;
        survival_ = s;
    }

    // The probability kept for (a, e), or null.
    const double *Find(std::int32_t a, std::int32_t e) const {
        const Entry &entry = entries_[Slot(a, e)];
        return entry.E == e && entry.A == a ? &entry.P : nullptr;
    }

    // Keeps p for (a, e), in place of whatever shared its slot.
    void Keep(std::int32_t a, std::int32_t e, double p) { entries_[Slot(a, e)] = Entry{a, e, p}; }

private:
    static constexpr int SlotBits = 13;
    static constexpr int Size = 1 << SlotBits;

    struct Entry {
        std::int32_t A = 0;
        std::int32_t E = 0;  // 0: empty (kept excesses are positive)
        double P = 0;
    };

    static std::uint32_t Slot(std::int32_t a, std::int32_t e) {
        const std::uint32_t h =
            static_cast<std::uint32_t>(a) * 0x9E3779B1u ^ static_cast<std::uint32_t>(e) * 0x85EBCA77u;
        return (h ^ (h >> 15)) * 0xC2B2AE3Du >> (32 - SlotBits);
    }

    std::unique_ptr<Entry[]> entries_;
    std::uint64_t alpha_ = 0;
    std::uint64_t survival_ = 0;
};

}  // namespace glebix
