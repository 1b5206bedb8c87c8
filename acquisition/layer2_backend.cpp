#include "acquisition/layer2_backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "acquisition/sim_network.h"

std::unique_ptr<Layer2> CreateLayer2Backend(const char* uri, char* error, int errorSize) {
    if (std::strcmp(uri, "sim") == 0) {
        return CreateSimNetwork(SimOptions{1, 0});
    }
    if (std::strcmp(uri, "sim:fail") == 0) {
        return CreateSimNetwork(SimOptions{1, 1});
    }
    if (std::strncmp(uri, "sim:seed=", 9) == 0) {
        char* end = nullptr;
        const unsigned long seed = std::strtoul(uri + 9, &end, 10);
        if (end != uri + 9 && *end == '\0') {
            return CreateSimNetwork(SimOptions{static_cast<std::uint32_t>(seed), 0});
        }
    }
    std::snprintf(error, static_cast<std::size_t>(errorSize),
                  "unknown layer-2 backend \"%s\" (use sim, sim:seed=N or agw://HOST:PORT[/RADIOPORT])", uri);
    return nullptr;
}
