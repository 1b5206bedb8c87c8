// Reserve once, commit on demand, give back on reset: the address range is
// taken with PROT_NONE and never moves; committing makes a prefix readable
// and writable (the kernel supplies zero pages on first touch); decommitting
// drops the pages with MADV_DONTNEED and protects them again, so resident
// memory follows what is stored, not what is reserved.
//
// Areas of 2 MiB or more are aligned to 2 MiB, asked for transparent huge
// pages and committed in whole 2 MiB steps: a full history area (7 to 11 MB)
// then costs a handful of page faults instead of thousands, which would
// otherwise be most of the time a load of 24000 records takes. Resident memory
// still follows the records stored, in steps of 2 MiB.
#include "core/reserved_area.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace {

constexpr std::size_t kHugeStep = 2u << 20;    // one transparent huge page
constexpr std::size_t kSmallStep = 64u << 10;  // commit step of small areas

std::size_t PageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundUp(std::size_t bytes, std::size_t unit) {
    return (bytes + unit - 1) / unit * unit;
}

std::size_t RoundUpToPage(std::size_t bytes) {
    return RoundUp(bytes, PageSize());
}

bool IsLarge(const ReservedArea& area) {
    return area.Size >= kHugeStep && area.Size % kHugeStep == 0 &&
           reinterpret_cast<std::uintptr_t>(area.Base) % kHugeStep == 0;
}

// `size` bytes of PROT_NONE address space aligned to `align`; null on failure.
unsigned char* MapAligned(std::size_t size, std::size_t align) {
    const std::size_t span = size + align;
    void* raw = mmap(nullptr, span, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    unsigned char* start = static_cast<unsigned char*>(raw);
    unsigned char* base =
        reinterpret_cast<unsigned char*>(RoundUp(reinterpret_cast<std::uintptr_t>(start), align));
    if (base > start) {
        munmap(start, static_cast<std::size_t>(base - start));
    }
    unsigned char* end = start + span;
    if (end > base + size) {
        munmap(base + size, static_cast<std::size_t>(end - (base + size)));
    }
    return base;
}

}  // namespace

int ReserveArea(ReservedArea& area, std::size_t bytes) {
    area = ReservedArea{};
    const bool large = bytes >= kHugeStep;
    const std::size_t size = large ? RoundUp(bytes, kHugeStep) : RoundUpToPage(bytes);
    unsigned char* base = MapAligned(size, large ? kHugeStep : PageSize());
    if (base == nullptr) {
        return 0;
    }
    if (large) {
        madvise(base, size, MADV_HUGEPAGE);  // a hint; without it 4 KiB pages serve
    }
    area.Base = base;
    area.Size = size;
    return 1;
}

int CommitArea(ReservedArea& area, std::size_t bytes) {
    if (area.Base == nullptr || bytes > area.Size) {
        return 0;
    }
    if (bytes <= area.Committed) {
        return 1;
    }
    // Commit in steps so that a record-by-record series does not cost one
    // system call per record; large areas in whole huge pages, since a
    // protection boundary inside one would split it into small pages.
    std::size_t target;
    if (IsLarge(area)) {
        target = RoundUp(bytes, kHugeStep);
    } else {
        target = RoundUpToPage(bytes);
        const std::size_t step = RoundUpToPage(kSmallStep);
        if (target - area.Committed < step) {
            target = area.Committed + step;
        }
    }
    if (target > area.Size) {
        target = area.Size;
    }
    if (mprotect(area.Base + area.Committed, target - area.Committed, PROT_READ | PROT_WRITE) != 0) {
        return 0;
    }
    area.Committed = target;
    return 1;
}

int IsCommitted(const ReservedArea& area, std::size_t offset) {
    return area.Base != nullptr && offset < area.Committed;
}

void DecommitArea(ReservedArea& area) {
    if (area.Base == nullptr || area.Committed == 0) {
        return;
    }
    madvise(area.Base, area.Committed, MADV_DONTNEED);
    mprotect(area.Base, area.Committed, PROT_NONE);
    area.Committed = 0;
}

void ReleaseArea(ReservedArea& area) {
    if (area.Base != nullptr) {
        munmap(area.Base, area.Size);
    }
    area = ReservedArea{};
}
