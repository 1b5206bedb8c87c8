#include "acquisition/layer2_backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "acquisition/sim_network.h"

std::unique_ptr<Layer2> CreateLayer2Backend(const char* uri, char* error, int errorSize) {
    if (std::strcmp(uri, "sim") == 0 || std::strncmp(uri, "sim:", 4) == 0) {
        SimOptions options;
        if (!ParseSimUri(uri, options, error, errorSize)) return nullptr;
        return CreateSimNetwork(options);
    }
    std::snprintf(error, static_cast<std::size_t>(errorSize),
                  "unknown layer-2 backend \"%s\" (use sim, sim:seed=N or agw://HOST:PORT[/RADIOPORT])", uri);
    return nullptr;
}
