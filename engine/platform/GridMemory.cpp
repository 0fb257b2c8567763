#include "GridMemory.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace glebix {
namespace {

std::size_t WholeHugePages(std::size_t bytes) { return (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes; }

}  // namespace

void *AllocateGridBytes(std::size_t bytes) {
    if (bytes < HugePageBytes) return ::operator new(bytes);
    const std::size_t whole = WholeHugePages(bytes);
    if (whole < bytes) throw std::bad_alloc();
    void *at = std::aligned_alloc(HugePageBytes, whole);
    if (at == nullptr) throw std::bad_alloc();
#if defined(MADV_HUGEPAGE)
    // Advice only: where huge pages are off or none is free, the grid keeps small ones.
    madvise(at, whole, MADV_HUGEPAGE);
#endif
    return at;
}

void FreeGridBytes(void *at, std::size_t bytes) noexcept {
    if (bytes < HugePageBytes)
        ::operator delete(at);
    else
        std::free(at);
}

}  // namespace glebix
