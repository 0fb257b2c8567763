// Memory for the plot-sized grids. A grid of a large plot is swept every step, so
// each of its 4 KiB pages costs an address translation every few hundred cells;
// on such a grid the memory is asked for in huge pages (2 MiB on x86-64 Linux),
// where the system grants them, and a sweep then meets a translation miss rarely.
// Grids under a huge page take ordinary memory. Only where memory comes from
// changes: nothing a grid holds, nor when it is freed.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

namespace glebix {

// Grids of at least this many bytes are placed on huge-page boundaries and
// advised for huge pages.
inline constexpr std::size_t HugePageBytes = std::size_t{2} << 20;

// `bytes` of memory aligned for any value, on a huge-page boundary from
// HugePageBytes on; raises std::bad_alloc. Freed by FreeGridBytes with the same size.
void *AllocateGridBytes(std::size_t bytes);
void FreeGridBytes(void *at, std::size_t bytes) noexcept;

// The allocator of the grids' vectors.
template <typename T>
struct GridAllocator {
    using value_type = T;
    GridAllocator() = default;
    template <typename U>
    GridAllocator(const GridAllocator<U> &) {}
    T *allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T *>(AllocateGridBytes(n * sizeof(T)));
    }
    void deallocate(T *at, std::size_t n) noexcept { FreeGridBytes(at, n * sizeof(T)); }
    template <typename U>
    bool operator==(const GridAllocator<U> &) const {
        return true;
    }
};

// Values of a grid left as the memory holds them, for grids written before they
// are read: memory that is never touched is never taken.
struct GridArrayDeleter {
    std::size_t Bytes = 0;
    void operator()(void *at) const noexcept { FreeGridBytes(at, Bytes); }
};
template <typename T>
using GridArray = std::unique_ptr<T[], GridArrayDeleter>;

template <typename T>
GridArray<T> MakeGridArray(std::size_t n) {
    static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
    GridAllocator<T> allocator;
    return GridArray<T>(allocator.allocate(n), GridArrayDeleter{n * sizeof(T)});
}

}  // namespace glebix
