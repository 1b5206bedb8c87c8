// The simulated packet-radio network: a layer-2 stack with a digipeater
// behind every destination call. A digipeater answers the link report
// command "p\n\n" the way a FlexNet node does: its banner text and a "=>"
// prompt on connect, then a heading line, one fixed-column line per link and
// a closing prompt, one frame per line, spread over a few seconds. Its links
// (1 to 17, names and identifiers fixed per call) change their values from
// call to call: QTY wanders, the router times drift and change form, the
// kilobyte counters grow. Now and then a connect fails, is given up, stays
// silent after the command, loses the link mid-reply or brings an over-long
// report, transmit space is refused for a second, and a station connects to
// Mycall for a few seconds.
//
// Everything is deterministic from the seed: the same sequence of calls on
// the stack gives the same frames. Time inside the network is counted per
// connection: one unit passes each time l2_stat finds nothing to read on it
// (the connect cycle and the answering service ask once per second, or once
// at the end of their reading), so a connection lives in the ticks of
// whoever polls it. Incoming stations arrive by l2_get_sabm calls (one per
// second while the answering service is idle).
//
// URI options (comma-separated after "sim:"):
//   seed=N      seed of the network (default 1)
//   faults=P    percent of calls that go wrong in one of the ways above
//               (default 12; 0 = every call succeeds)
//   callers=S   a station connects to Mycall about once in S seconds
//               (default 900; 0 = never)
//   fail        the stack is not active (ax_init fails)
//
// Threading: GUI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "radio/layer2.h"

constexpr int kSimDefaultFaultPercent = 12;
constexpr int kSimDefaultCallerSeconds = 900;
constexpr int kSimMaxLinks = 17;          // links of a digipeater's normal report
constexpr int kSimMaxConnections = 1024;  // live handles before old ones are swept

struct SimOptions {
    std::uint32_t Seed;
    int FailInit;       // ax_init reports the stack as not active
    int FaultPercent;   // 0..100
    int CallerSeconds;  // 0 = no incoming stations
};

SimOptions DefaultSimOptions();
// Reads "sim" or "sim:opt,opt,...". Returns 0 with a one-line reason in
// `error` when an option is not understood.
int ParseSimUri(const char* uri, SimOptions& options, char* error, int errorSize);

std::unique_ptr<Layer2> CreateSimNetwork(const SimOptions& options);
