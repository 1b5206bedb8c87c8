// Chooses the layer-2 backend from its URI:
//   sim                 the built-in simulated network (seed 1)
//   sim:seed=N          the simulated network with seed N
//   sim:fail            a simulated stack that is not active (ax_init fails)
//   sim:OPT,OPT,...     seed=N, faults=PERCENT, callers=SECONDS, fail
//                       (see radio/sim_network.h)
//   agw://HOST:PORT[/RADIOPORT]   a TNC speaking the AGWPE TCP protocol
//   kiss://HOST:PORT[/N][?...]    a KISS TNC over TCP, the program's own AX.25
//   kiss:/dev/DEVICE[?baud=B&...] a KISS TNC on a serial line (kiss_client.h)
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "core/log_sink.h"
#include "radio/layer2.h"

constexpr const char* kDefaultBackend = "agw://localhost:8000";

// Null with a one-line reason in `error` when the URI is not understood.
// A TNC backend says its trouble to `log`.
std::unique_ptr<Layer2> CreateLayer2Backend(const char* uri, char* error, int errorSize,
                                            const LogSink& log = {});

// One line for the log when ax_init of the backend chosen by uri
// failed: what to do about it.
const char* BackendStartHint(const char* uri);
