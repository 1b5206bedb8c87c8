// Reserve once, commit on demand, give back on reset: the address range is
// taken with PROT_NONE and never moves; committing makes a prefix readable
// and writable (the kernel supplies zero pages on first touch); decommitting
// drops the pages with MADV_DONTNEED and protects them again, so resident
// memory follows what is stored, not what is reserved.
#include "history/reserved_area.h"

#include <sys/mman.h>
#include <unistd.h>

namespace {

std::size_t PageSize() {
    static const std::size_t size = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return size;
}

std::size_t RoundUpToPage(std::size_t bytes) {
    const std::size_t page = PageSize();
    return (bytes + page - 1) / page * page;
}

}  // namespace

int ReserveArea(ReservedArea& area, std::size_t bytes) {
    area = ReservedArea{};
    const std::size_t size = RoundUpToPage(bytes);
    void* base = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED) {
        return 0;
    }
    area.Base = static_cast<unsigned char*>(base);
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
    // Commit in steps of at least 64 KiB so that a record-by-record series
    // does not cost one system call per record.
    std::size_t target = RoundUpToPage(bytes);
    const std::size_t step = RoundUpToPage(64 * 1024);
    if (target - area.Committed < step) {
        target = area.Committed + step;
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
