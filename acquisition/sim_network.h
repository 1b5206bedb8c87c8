// The simulated packet-radio network: digipeaters that answer the link
// report command, deterministic from a seed.
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "acquisition/layer2.h"

struct SimOptions {
    std::uint32_t Seed;
    int FailInit;  // ax_init reports the stack as not active
};

std::unique_ptr<Layer2> CreateSimNetwork(const SimOptions& options);
