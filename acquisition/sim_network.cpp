// A first simulated stack: it is active, and no station ever answers.
#include "acquisition/sim_network.h"

namespace {

struct SimNetwork final : Layer2 {
    explicit SimNetwork(const SimOptions& o) : options(o) {}
    int ax_init() override { return options.FailInit ? 0 : 1; }
    std::uint16_t l2_connect(const char*, const char*) override { return ++lastHandle; }
    std::uint16_t l2_get_sabm(const char*) override { return 0; }
    int l2_stat(int, std::uint16_t) override { return 0; }
    const unsigned char* l2_get_i(std::uint16_t) override { return nullptr; }
    int l2_ialloc(std::uint16_t, int) override { return 0; }
    void l2_puts(std::uint16_t, const char*) override {}
    void l2_bef(int, std::uint16_t) override {}

    SimOptions options;
    std::uint16_t lastHandle = 0;
};

}  // namespace

std::unique_ptr<Layer2> CreateSimNetwork(const SimOptions& options) {
    return std::make_unique<SimNetwork>(options);
}
