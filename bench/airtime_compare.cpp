// Airtime per call, side by side on the same kind of channel: the program
// calls the digipeater stand-in over and over, once through its own layer 2
// on TNC A's KISS port and twice through Direwolf's layer 2 on TNC A's AGW
// port (forced to version 2.0 with Direwolf's V20 key for the stand-in's
// call, and at Direwolf's default, version 2.2), each on a clean channel
// and on one where about one transmission in seven is spoiled. All six run
// at once, each on its own pair of Direwolf TNCs (tests/integration/
// direwolf_pair.h), for the same wall time.
//
// What went on the air is measured where it left: each TNC's log lists
// every frame it sent with its length (-d p), and each audio forwarder logs
// every transmission with its length of audio (TXDELAY and tail included).
// Both sides count, the stand-in's TNC B too: its acknowledgements are part
// of what a call costs. A call is completed when the program recorded the
// report (a record without the failure code 6).
//
//   airtime_compare [SECONDS [TIME_SCALE [SEED [KEEP_DIR [KISS_QUERY]]]]]
//   (defaults 600, 6, 1, none, none; KISS_QUERY e.g. "?t1=5" tries our
//   layer 2 with other parameters)
//
// With KEEP_DIR, each channel's TNC logs, transmission logs and history
// file are kept there (N-a.log, N-b.log, N-a.tx, N-b.tx, N.hpw; N from 1
// in the order of the table).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "integration/on_air_run.h"

namespace {

struct Contender {
    const char* Name = "";
    int Kiss = 0;              // our layer 2 on the KISS port, else Direwolf's on the AGW port
    const char* ConfigA = "";  // further lines of TNC A's configuration
    int SpoilOneIn = 0;
    DirewolfPair Pair;
    std::unique_ptr<DigipeaterStandIn> Digi;
    ProgramRun Run;
    std::string LogA, LogB, TxA, TxB, History;  // taken when the time is up
};

struct Airtime {
    long long Frames = 0, Bytes = 0, Transmissions = 0, Spoiled = 0;
    double Seconds = 0;
    std::map<std::string, int> Kinds;
};

void AddFrames(Airtime& air, const std::string& log) {
    for (const SentFrame& f : FramesSent(log)) {
        ++air.Frames;
        air.Bytes += f.Bytes;
        ++air.Kinds[f.Kind];
    }
}

void AddTransmissions(Airtime& air, const std::string& txLog) {
    std::istringstream lines(txLog);
    double at = 0, seconds = 0;
    int spoiled = 0;
    while (lines >> at >> seconds >> spoiled) {
        ++air.Transmissions;
        air.Seconds += seconds;
        air.Spoiled += spoiled;
    }
}

// Records of the history file: completed ones and failed ones (code 6 in
// the first link's group).
void CountRecords(const std::string& history, int& completed, int& failed) {
    completed = failed = 0;
    for (std::size_t at = history.find("\r\n"); at != std::string::npos; at = history.find("\r\n", at + 2)) {
        std::istringstream fields(history.substr(at + 2, history.find("\r\n", at + 2) - at - 2));
        std::string token;
        for (int i = 0; i < 9 && fields >> token; ++i) {}  // date, time and the first link's seven numbers
        if (token == "6") {
            ++failed;
        } else if (!token.empty()) {
            ++completed;
        }
    }
}

std::string KindsText(const std::map<std::string, int>& kinds, int calls) {
    std::string text;
    for (const auto& [kind, n] : kinds) {
        char item[64];
        std::snprintf(item, sizeof item, "%s%s %.1f", text.empty() ? "" : ", ", kind.c_str(),
                      calls > 0 ? static_cast<double>(n) / calls : 0.0);
        text += item;
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    const int timeScale = argc > 2 ? std::atoi(argv[2]) : 6;
    const int seed = argc > 3 ? std::atoi(argv[3]) : 1;
    const std::string keep = argc > 4 ? argv[4] : "";
    const std::string query = argc > 5 ? argv[5] : "";
    if (!DirewolfPair::Installed()) {
        std::printf("direwolf is not installed; nothing measured\n");
        return 0;
    }
    signal(SIGPIPE, SIG_IGN);
    std::vector<std::unique_ptr<Contender>> all;
    for (int spoil : {0, 7}) {
        for (const auto& [name, kiss, config] :
             {std::tuple{"ours, KISS (v2.0)", 1, ""}, std::tuple{"Direwolf AGW, V20", 0, "V20 Q2DIG\n"},
              std::tuple{"Direwolf AGW, v2.2", 0, ""}}) {
            auto c = std::make_unique<Contender>();
            c->Name = name;
            c->Kiss = kiss;
            c->ConfigA = config;
            c->SpoilOneIn = spoil;
            all.push_back(std::move(c));
        }
    }
    for (auto& c : all) {
        DirewolfSetup setup;
        setup.ConfigA = c->ConfigA;
        setup.DumpFrames = 1;
        setup.SpoilOneIn = c->SpoilOneIn;
        setup.Seed = seed;  // the same spoiling draws on every channel
        if (!c->Pair.Start(HOPWATCH_AUDIO_FORWARD, setup)) {
            std::printf("%s: the TNCs did not start\n%s", c->Name, c->Pair.Logs().c_str());
            return 1;
        }
        c->Digi = std::make_unique<DigipeaterStandIn>(c->Pair.B.AgwPort);
        if (!c->Digi->Tnc.ax_init()) {
            std::printf("%s: TNC B's AGW port does not answer\n", c->Name);
            return 1;
        }
    }
    // The stand-ins' call registered before the first call comes.
    for (int i = 0; i < 100; ++i, usleep(10000)) {
        for (auto& c : all) c->Digi->Serve();
    }
    for (auto& c : all) {
        c->Run.Start(c->Kiss ? "kiss://127.0.0.1:" + std::to_string(c->Pair.A.KissPort) + query
                             : "agw://127.0.0.1:" + std::to_string(c->Pair.A.AgwPort),
                     timeScale);
    }
    std::printf("six channels, %d s each, a minute of the program every %d s\n", seconds, 60 / timeScale);
    std::fflush(stdout);
    for (const std::time_t end = std::time(nullptr) + seconds; std::time(nullptr) < end; usleep(5000)) {
        for (auto& c : all) c->Digi->Serve();
    }
    for (auto& c : all) {
        c->LogA = c->Pair.A.Log();
        c->LogB = c->Pair.B.Log();
        c->TxA = c->Pair.A.Transmissions();
        c->TxB = c->Pair.B.Transmissions();
        c->History = ReadAll(c->Run.Data + "/Q2DIG.hpw");
    }
    for (std::size_t i = 0; !keep.empty() && i < all.size(); ++i) {
        const std::string at = keep + "/" + std::to_string(i + 1);
        WriteAll(at + "-a.log", all[i]->LogA);
        WriteAll(at + "-b.log", all[i]->LogB);
        WriteAll(at + "-a.tx", all[i]->TxA);
        WriteAll(at + "-b.tx", all[i]->TxB);
        WriteAll(at + ".hpw", all[i]->History);
    }

    std::printf("\n%-20s %-6s %5s %5s | %7s %8s %7s %8s | %7s %8s %7s %8s\n", "layer 2", "loss", "calls",
                "fail", "frames", "bytes", "tx", "air s", "frames", "bytes", "tx", "air s");
    std::printf("%-33s |   totals on the channel (A + B)     |    per completed call\n", "");
    std::vector<double> airPerCall(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Contender& c = *all[i];
        Airtime air;
        AddFrames(air, c.LogA);
        AddFrames(air, c.LogB);
        AddTransmissions(air, c.TxA);
        AddTransmissions(air, c.TxB);
        int completed = 0, failed = 0;
        CountRecords(c.History, completed, failed);
        const double n = completed > 0 ? completed : 1;
        airPerCall[i] = air.Seconds / n;
        std::printf("%-20s %-6s %5d %5d | %7lld %8lld %7lld %8.1f | %7.1f %8.1f %7.1f %8.2f\n", c.Name,
                    c.SpoilOneIn ? "1 in 7" : "none", completed, failed, air.Frames, air.Bytes,
                    air.Transmissions, air.Seconds, static_cast<double>(air.Frames) / n,
                    static_cast<double>(air.Bytes) / n, static_cast<double>(air.Transmissions) / n,
                    air.Seconds / n);
    }
    std::printf("\nframes per completed call by kind (A + B), transmissions spoiled:\n");
    for (const auto& c : all) {
        Airtime a, b;
        AddFrames(a, c->LogA);
        AddFrames(b, c->LogB);
        AddTransmissions(a, c->TxA);
        AddTransmissions(b, c->TxB);
        int completed = 0, failed = 0;
        CountRecords(c->History, completed, failed);
        std::printf("%-20s %-6s A: %s\n%27s B: %s\n%27s spoiled A %lld of %lld, B %lld of %lld\n", c->Name,
                    c->SpoilOneIn ? "1 in 7" : "none", KindsText(a.Kinds, completed).c_str(), "",
                    KindsText(b.Kinds, completed).c_str(), "", a.Spoiled, a.Transmissions, b.Spoiled,
                    b.Transmissions);
    }
    std::printf(
        "\nairtime per call, ours / Direwolf v2.0: no loss %.2f, with loss %.2f (goal: <= 1.00 and <= "
        "1.10)\n",
        airPerCall[0] / airPerCall[1], airPerCall[3] / airPerCall[4]);
    return 0;
}
