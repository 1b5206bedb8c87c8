// Any command line (the input after its first byte, cut at NUL bytes into
// words) through the option parser, and every word through the backend and
// metrics address parsers: what is accepted lies in its range and fits its
// field, a refusal says why on one line (unless the words themselves hold a
// line break, which the message quotes), and an error buffer of any size
// (the first byte) is never overrun.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/options.h"
#include "radio/agw_connection.h"
#include "radio/layer2_backend.h"
#include "radio/sim_network.h"

namespace {
bool Fits(const char* field, int size) {
    return strnlen(field, static_cast<std::size_t>(size)) < static_cast<std::size_t>(size);
}
bool In(int value, int low, int high) {
    return value >= low && value <= high;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int errorSize = 2 + data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    std::vector<std::string> words{"hopwatch"};
    for (std::size_t at = 0, nul; at <= text.size() && words.size() < 64; at = nul + 1)
        words.push_back(text.substr(at, (nul = std::min(text.find('\0', at), text.size())) - at));
    std::vector<const char*> argv;
    for (const std::string& w : words) argv.push_back(w.c_str());
    const bool lineBreaks = text.find_first_of("\r\n") != std::string::npos;
    const auto error = std::make_unique<char[]>(static_cast<std::size_t>(errorSize));
    auto accepted = [&](bool ok) {  // else the error says why, on one line
        if (!ok && (error[0] == '\0' || !Fits(error.get(), errorSize) ||
                    (!lineBreaks && std::strpbrk(error.get(), "\r\n") != nullptr)))
            std::abort();
        error[0] = '\0';
        return ok;
    };

    static ShellOptions& o = *new ShellOptions;
    const OptionsAction action =
        ParseShellOptions(static_cast<int>(argv.size()), argv.data(), o, error.get(), errorSize);
    if (accepted(action != OptionsAction::Error) && action == OptionsAction::Run &&
        (!Fits(o.ConfigPath, kPathSize) || !Fits(o.DataDir, kPathSize) || !Fits(o.Backend, kBackendUriSize) ||
         !Fits(o.Screenshot, kPathSize) || !Fits(o.ExportCsv, kPathSize) ||
         !Fits(o.Metrics, kMetricsListenSize) || !In(o.TimeScale, 1, kMaxTimeScale) ||
         !In(o.Link, 0, kMaxExportLink) || (o.Link != 0 && o.ExportCsv[0] == '\0')))
        std::abort();
    if (action == OptionsAction::Run && o.Backend[0] != '\0')
        accepted(CreateLayer2Backend(o.Backend, error.get(), errorSize) != nullptr);

    for (const std::string& w : words) {
        AgwOptions agw;
        SimOptions sim;
        const int addressSize = std::min(errorSize, kMetricsListenSize);
        const auto address = std::make_unique<char[]>(static_cast<std::size_t>(addressSize));
        int port = 0;
        if ((accepted(ParseAgwUri(w.c_str(), &agw, error.get(), errorSize)) &&
             (agw.Host.empty() || !In(agw.TcpPort, 1, 65535) || !In(agw.RadioPort, 0, 255))) ||
            (accepted(ParseSimUri(w.c_str(), sim, error.get(), errorSize)) &&
             (!In(sim.FaultPercent, 0, 100) || !In(sim.CallerSeconds, 0, 1000000))) ||
            (ParseMetricsListen(w.c_str(), address.get(), addressSize, &port) &&
             (!In(port, 1, 65535) || !address[0] || !Fits(address.get(), addressSize))))
            std::abort();
    }
    return 0;
}
