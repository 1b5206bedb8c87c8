#include "radio/layer2_backend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "radio/agw_client.h"
#include "radio/kiss_client.h"
#include "radio/sim_network.h"

std::unique_ptr<Layer2> CreateLayer2Backend(const char* uri, char* error, int errorSize, const LogSink& log) {
    if (std::strcmp(uri, "sim") == 0 || std::strncmp(uri, "sim:", 4) == 0) {
        SimOptions options;
        if (!ParseSimUri(uri, options, error, errorSize)) return nullptr;
        return CreateSimNetwork(options);
    }
    if (std::strncmp(uri, "agw://", 6) == 0) {
        AgwOptions options;
        if (!ParseAgwUri(uri, &options, error, errorSize)) return nullptr;
        options.Log = log;
        return CreateAgwClient(options);
    }
    if (std::strncmp(uri, "kiss:", 5) == 0) {
        KissOptions options;
        if (!ParseKissUri(uri, &options, error, errorSize)) return nullptr;
        options.Endpoint.Log = log;
        return CreateKissClient(options);
    }
    std::snprintf(error, static_cast<std::size_t>(errorSize),
                  "unknown layer-2 backend \"%.200s\" (use sim, sim:seed=N, agw://HOST:PORT[/RADIOPORT], "
                  "kiss://HOST:PORT[/N] or kiss:/dev/DEVICE)",
                  uri);
    return nullptr;
}

const char* BackendStartHint(const char* uri) {
    static char hint[400];
    if (uri != nullptr && std::strncmp(uri, "agw://", 6) == 0) {
        std::snprintf(
            hint, sizeof hint,
            "hopwatch: no AGWPE TNC answers at %.200s; start a TNC such as direwolf (AGW port 8000) "
            "and choose it with --l2 agw://HOST:PORT[/RADIOPORT], or see the program at work with --demo",
            uri);
        return hint;
    }
    if (uri != nullptr && std::strncmp(uri, "kiss:", 5) == 0) {
        std::snprintf(hint, sizeof hint,
                      "hopwatch: no KISS TNC at %.200s; check the device or start a TNC with a KISS port "
                      "(direwolf: KISSPORT 8001), or see the program at work with --demo",
                      uri);
        return hint;
    }
    return "hopwatch: the packet-radio stack is not active; choose one with --l2, or see the program at work "
           "with --demo";
}
