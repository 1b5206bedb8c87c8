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

#include "acquisition/agw_connection.h"
#include "acquisition/layer2_backend.h"
#include "acquisition/sim_network.h"
#include "app/options.h"

namespace {
bool Fits(const char* field, std::size_t size) {
    return strnlen(field, size) < size;
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
    auto refused = [&] {  // the error says why, on one line
        if (error[0] == '\0' || !Fits(error.get(), static_cast<std::size_t>(errorSize)) ||
            (!lineBreaks && std::strpbrk(error.get(), "\r\n") != nullptr))
            std::abort();
        error[0] = '\0';
    };

    static ShellOptions& o = *new ShellOptions;
    const OptionsAction action =
        ParseShellOptions(static_cast<int>(argv.size()), argv.data(), o, error.get(), errorSize);
    if (action == OptionsAction::Error) refused();
    if (action == OptionsAction::Run &&
        (!Fits(o.ConfigPath, kPathSize) || !Fits(o.DataDir, kPathSize) || !Fits(o.Backend, kBackendUriMax) ||
         !Fits(o.Screenshot, kPathSize) || !Fits(o.ExportCsv, kPathSize) || !Fits(o.Metrics, kMetricsListenMax) ||
         o.TimeScale < 1 || o.TimeScale > kMaxTimeScale || o.Link < 0 || o.Link > kMaxExportLink ||
         (o.Link != 0 && o.ExportCsv[0] == '\0')))
        std::abort();
    if (action == OptionsAction::Run && o.Backend[0] != '\0' &&
        CreateLayer2Backend(o.Backend, error.get(), errorSize) == nullptr)
        refused();

    for (const std::string& w : words) {
        AgwOptions agw;
        if (!ParseAgwUri(w.c_str(), &agw, error.get(), errorSize)) refused();
        else if (agw.Host.empty() || agw.TcpPort < 1 || agw.TcpPort > 65535 || agw.RadioPort < 0 || agw.RadioPort > 255)
            std::abort();
        SimOptions sim;
        if (!ParseSimUri(w.c_str(), sim, error.get(), errorSize)) refused();
        else if (sim.FaultPercent < 0 || sim.FaultPercent > 100 || sim.CallerSeconds < 0 || sim.CallerSeconds > 1000000)
            std::abort();
        const int addressSize = std::min(errorSize, kMetricsListenMax);
        const auto address = std::make_unique<char[]>(static_cast<std::size_t>(addressSize));
        int port = 0;
        if (ParseMetricsListen(w.c_str(), address.get(), addressSize, &port) &&
            (port < 1 || port > 65535 || address[0] == '\0' || !Fits(address.get(), static_cast<std::size_t>(addressSize))))
            std::abort();
    }
    return 0;
}
