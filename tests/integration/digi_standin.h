// A digipeater stand-in for the end-to-end test, attached to a TNC over AGW
// with the digipeater's call registered: it greets every caller with a
// banner and the "=>" prompt, and answers the command "p" with a fixed-column
// link report and the prompt, until it is told to fall silent.
//
// Threading: test thread only; Poll() drives it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/layer2.h"

// One link line of a report, its fields at the text columns the program
// cuts them from.
struct StandInLink {
    const char* Qty;      // column 37
    const char* Time;     // column 66
    const char* Name;     // column 54
    const char* Tkby;     // column 27
    const char* Number;   // column 9
    const char* Second;   // column 61
    const char* Rkby;     // column 32
};

inline std::string ReportLine(const StandInLink& l) {
    std::string s(80, ' ');
    auto put = [&](std::size_t column, const char* text) { s.replace(column, std::string(text).size(), text); };
    put(0, "L");
    put(9, l.Number);
    put(27, l.Tkby);
    put(32, l.Rkby);
    put(37, l.Qty);
    put(54, l.Name);
    put(61, l.Second);
    put(66, l.Time);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

class DigiStandIn {
public:
    DigiStandIn(Layer2& l2, const char* call, std::vector<StandInLink> links)
        : l2_(l2), call_(call), links_(std::move(links)) {}

    // Answer "p" (1) or stay mute after the connect (0).
    int Answering = 1;
    int Callers = 0;   // connects taken
    int Reports = 0;   // reports sent

    void Poll() {
        if (link_ == 0) {
            link_ = l2_.l2_get_sabm(call_.c_str());
            if (link_ == 0) return;
            ++Callers;
            input_.clear();
            if (Answering) l2_.l2_puts(link_, (call_ + " FlexNet digipeater stand-in\n=>").c_str());
        }
        while (l2_.l2_stat(0, link_) & kL2DataWaiting) {
            const unsigned char* f = l2_.l2_get_i(link_);
            if (f == nullptr) continue;
            input_.append(reinterpret_cast<const char*>(f + 3), static_cast<std::size_t>(f[0] | (f[1] << 8)));
            l2_.l2_bef(kL2FrameDone, link_);
        }
        for (std::size_t cr; (cr = input_.find('\r')) != std::string::npos;) {
            const std::string command = input_.substr(0, cr);
            input_.erase(0, cr + 1);
            if (command == "p" && Answering) {
                std::string report = "Link    Port  Tkby  Rkby  Qty  Name   Time\n";
                for (const auto& l : links_) report += ReportLine(l) + "\n";
                l2_.l2_puts(link_, (report + "=>").c_str());
                ++Reports;
            }
        }
        if ((l2_.l2_stat(0, link_) & kL2StateMask) < kL2Connected) link_ = 0;
    }

private:
    Layer2& l2_;
    std::string call_;
    std::vector<StandInLink> links_;
    std::uint16_t link_ = 0;
    std::string input_;
};
