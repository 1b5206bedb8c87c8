// A block of address space reserved once and committed on demand: room for a
// fixed number of fixed-size slots that never move. Pages are committed as
// slots are used and given back (the memory returned to the system, the
// address range kept) on reset.
//
// Threading: GUI thread only.
#pragma once

#include <cstddef>

struct ReservedArea {
    unsigned char* Base;    // null while not reserved
    std::size_t Size;       // bytes reserved
    std::size_t Committed;  // bytes from Base that are committed (page multiple)
};

// Reserves `bytes` of address space; returns 0 on failure.
int ReserveArea(ReservedArea& area, std::size_t bytes);
// Makes [0, bytes) readable and writable; memory never written reads as
// zeros. Returns 0 when bytes exceeds the reservation or the commit fails.
int CommitArea(ReservedArea& area, std::size_t bytes);
// Is byte offset `offset` inside committed memory?
int IsCommitted(const ReservedArea& area, std::size_t offset);
// Gives every committed page back; the range stays reserved.
void DecommitArea(ReservedArea& area);
// Releases the reservation.
void ReleaseArea(ReservedArea& area);
