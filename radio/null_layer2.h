// A layer-2 stack with no network behind it: it never comes up, never
// connects and never has a frame. The shell answers with it until a real
// stack has passed ax_init, so that ticks running in the nested loop of a
// start-up box see no connections at all; tests use it where no network
// matters.
//
// Threading: any; it holds no state.
#pragma once

#include <cstdint>

#include "radio/layer2.h"

struct NullLayer2 final : Layer2 {
    Layer2Health health() const override { return Layer2Health{0, 0}; }
    int ax_init() override { return 0; }
    std::uint16_t l2_connect(const char*, const char*) override { return 0; }
    std::uint16_t l2_get_sabm(const char*) override { return 0; }
    int l2_stat(int, std::uint16_t) override { return 0; }
    const unsigned char* l2_get_i(std::uint16_t) override { return nullptr; }
    int l2_ialloc(std::uint16_t, int) override { return 0; }
    void l2_puts(std::uint16_t, const char*) override {}
    void l2_bef(int, std::uint16_t) override {}
};
