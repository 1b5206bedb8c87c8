// The program's own AX.25 layer 2 over KISS: the KISS and AX.25 codecs
// against bytes worked out by hand, the data link against a scripted
// station and against a second link over a channel that loses, duplicates
// and delays frames (a clock of its own), and the KISS client end to end
// against a fake serial TNC on a pseudo-terminal.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "radio/ax25_frame.h"
#include "radio/ax25_link.h"
#include "radio/kiss_client.h"
#include "radio/kiss_frame.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Strings = std::vector<std::string>;

Bytes Hex(const char* text) {
    Bytes out;
    unsigned v = 0;
    for (int n = 0; std::sscanf(text, " %2x%n", &v, &n) == 1; text += n)
        out.push_back(static_cast<unsigned char>(v));
    return out;
}
std::string ToHex(const Bytes& bytes) {
    std::string s;
    char b[4];
    for (const unsigned char c : bytes) std::snprintf(b, sizeof b, " %02X", c), s += b;
    return s.empty() ? s : s.substr(1);
}
Ax25Address Call(const char* text) {
    Ax25Address a{};
    EXPECT_EQ(1, ParseAx25Address(text, &a)) << text;
    return a;
}

// ---- KISS framing -------------------------------------------------------

struct KissCase {
    const char* in;
    int port;
    const char* frames;          // hex of each frame passed on, '|' between frames
    long long dropped, ignored;  // -1: not looked at
};
const KissCase kKissCases[] = {
    {"C0 00 41 42 C0", 0, "41 42", 0, 0},
    {"C0 00 DB DC DB DD 41 C0", 0, "C0 DB 41", 0, 0},      // both escapes
    {"41 DB DC C0 00 43 C0", 0, "43", 0, 0},               // garbage before a frame
    {"C0 00 41 C0 00 42 C0", 0, "41|42", 0, 0},            // one FEND between frames
    {"C0 C0 C0 00 41 C0 C0 C0", 0, "41", 0, -1},           // empty frames
    {"C0 10 41 C0 C0 01 05 C0 C0 06 01 C0", 0, "", 0, 3},  // another port, other commands
    {"C0 10 41 C0 C0 00 42 C0", 1, "41", 0, 1},
    {"C0 00 41 DB 41 C0 C0 00 43 C0", 0, "43", 1, 0},  // a broken escape drops its frame
    {"C0 00 41 DB C0 00 43 C0", 0, "43", 1, 0},        // FEND ends a frame even after FESC
};

TEST(KissFrame, DecodesWholeOrBytewiseAndSkipsWhatIsNotData) {
    for (const KissCase& c : kKissCases) {
        const Bytes in = Hex(c.in);
        for (const int bytewise : {0, 1}) {
            KissDecoder d;
            d.Port = c.port;
            std::vector<Bytes> frames;
            if (bytewise) {
                for (const unsigned char b : in) DecodeKiss(d, &b, 1, &frames);
            } else {
                DecodeKiss(d, in.data(), in.size(), &frames);
            }
            std::string got;
            for (const Bytes& f : frames) got += (got.empty() ? "" : "|") + ToHex(f);
            EXPECT_EQ(c.frames, got) << c.in;
            EXPECT_TRUE(c.dropped < 0 || c.dropped == d.Dropped) << c.in << " dropped " << d.Dropped;
            EXPECT_TRUE(c.ignored < 0 || c.ignored == d.Ignored) << c.in << " ignored " << d.Ignored;
        }
    }
}

TEST(KissFrame, EscapesEveryByteAndDropsOverlongFrames) {
    Bytes out;
    EncodeKissFrame(3, Hex("01 C0 DB 02").data(), 4, &out);
    EXPECT_EQ("C0 30 01 DB DC DB DD 02 C0", ToHex(out));
    // A frame that is all escapes: its length is what it decodes to, not
    // what it takes on the wire.
    Bytes fends(kKissMaxFrame - 1, kKissFend), longer(kKissMaxFrame + 1, 'x');
    out.clear();
    for (const Bytes* b : {&longer, &fends}) EncodeKissFrame(0, b->data(), b->size(), &out);
    KissDecoder d;
    std::vector<Bytes> frames;
    DecodeKiss(d, out.data(), out.size(), &frames);
    EXPECT_EQ(std::vector<Bytes>{fends}, frames);
    EXPECT_EQ(1, d.Dropped);
}

// ---- AX.25 frames -------------------------------------------------------

const std::pair<const char*, unsigned char> kTypes[] = {
    {"RR", kAx25RR},     {"RNR", kAx25RNR}, {"REJ", kAx25REJ}, {"SABME", kAx25SABME}, {"SABM", kAx25SABM},
    {"DISC", kAx25DISC}, {"DM", kAx25DM},   {"UA", kAx25UA},   {"FRMR", kAx25FRMR},   {"UI", kAx25UI},
};

// "I1,2 C P text", "RR3 R F", "SABM C P": the kind with N(S),N(R) or N(R),
// C for a command or R for a response, P or F when the bit is set, then the
// text of an I or UI frame.
std::string Describe(const Ax25Frame& f) {
    const unsigned char c = f.Control;
    std::string s;
    if (Ax25KindOf(c) == Ax25Kind::I) {
        s = "I" + std::to_string(Ax25NS(c)) + "," + std::to_string(Ax25NR(c));
    } else {
        s = "?";
        for (const auto& [name, type] : kTypes) {
            if (Ax25Type(c) == type) s = name;
        }
        if (Ax25KindOf(c) == Ax25Kind::S) s += std::to_string(Ax25NR(c));
    }
    s += f.Command ? " C" : " R";
    if (Ax25PF(c)) s += f.Command ? " P" : " F";
    if (f.Pid >= 0 && f.InfoSize) s += " " + std::string(f.Info, f.Info + f.InfoSize);
    return s;
}
// "Q1DIG>Q1OWN,Q2VIA* I0,0 C text": the calls, the digipeaters with their H
// bits, then the frame as above.
Ax25Frame Frame(const std::string& wire) {
    Ax25Frame f{};
    const std::size_t gt = wire.find('>'), space = wire.find(' ');
    std::size_t q = std::min(wire.find(',', gt), space);
    f.Source = Call(wire.substr(0, gt).c_str()),
    f.Destination = Call(wire.substr(gt + 1, q - gt - 1).c_str());
    while (q < space) {
        const std::size_t p = q + 1;
        q = std::min(wire.find(',', p), space);
        const bool repeated = wire[q - 1] == '*';
        f.Digis[f.DigiCount] = Call(wire.substr(p, q - p - repeated).c_str());
        f.Digis[f.DigiCount++].Bit = repeated;
    }
    const std::string rest = wire.substr(space + 1);
    f.Command = rest[rest.find(' ') + 1] == 'C', f.Destination.Bit = f.Command, f.Source.Bit = !f.Command;
    // The control whose description is the longest one the rest begins with.
    std::size_t described = 0;
    for (int c = 0; c < 256; ++c) {
        Ax25Frame g = f;
        g.Control = static_cast<unsigned char>(c), g.Pid = -1;
        const std::string d = Describe(g);
        if (d.size() > described && rest.rfind(d + " ", 0) == 0) described = d.size(), f.Control = g.Control;
        if (d.size() > described && rest == d) described = d.size(), f.Control = g.Control;
    }
    const bool text = Ax25KindOf(f.Control) == Ax25Kind::I || Ax25Type(f.Control) == kAx25UI;
    f.Pid = text ? kAx25PidText : -1;
    f.InfoSize = rest.size() > described ? rest.size() - described - 1 : 0;
    std::copy(rest.end() - static_cast<std::ptrdiff_t>(f.InfoSize), rest.end(), f.Info);
    return f;
}

// The other way round.
std::string Wire(const Ax25Frame& f) {
    char call[10];
    FormatAx25Address(f.Source, call);
    std::string s = std::string(call) + ">";
    FormatAx25Address(f.Destination, call);
    s += call;
    for (int i = 0; i < f.DigiCount; ++i) {
        FormatAx25Address(f.Digis[i], call);
        s += std::string(",") + call + (f.Digis[i].Bit ? "*" : "");
    }
    return s + " " + Describe(f);
}

TEST(Ax25Frame, AddressFieldsAreExactAndRoundTripWithUpToEightDigipeaters) {
    // A SABM to Q1DIG-2 via Q2VIA-1 (repeated), and an I frame answering it.
    Bytes out;
    EncodeAx25Frame(Frame("Q1OWN>Q1DIG-2,Q2VIA-1* SABM C P"), &out);
    EXPECT_EQ("A2 62 88 92 8E 40 E4 A2 62 9E AE 9C 40 60 A2 64 AC 92 82 40 E3 3F", ToHex(out));
    out.clear();
    EncodeAx25Frame(Frame("Q1DIG-2>Q1OWN I1,2 R F hi"), &out);
    EXPECT_EQ("A2 62 9E AE 9C 40 60 A2 62 88 92 8E 40 E5 52 F0 68 69", ToHex(out));

    // Eight digipeaters, the first half repeated, and the longest text.
    const Ax25Frame a = Frame("Q9ZZZZ-14>A,A*,B2-15*,CC3-1*,DDD4-7*,EEEE5-9,Q9ZZZZ-14,Z9-2,Y8Y-11 UI C " +
                              std::string(kAx25MaxInfo, '\xC0'));
    Bytes bytes, again;
    EncodeAx25Frame(a, &bytes);
    Ax25Frame b{};
    ASSERT_EQ(1, DecodeAx25Frame(bytes.data(), bytes.size(), &b));
    EncodeAx25Frame(b, &again);
    EXPECT_EQ(16u + 7 * kAx25MaxDigis + kAx25MaxInfo, bytes.size());
    EXPECT_EQ(bytes, again);
}

TEST(Ax25Frame, MalformedFramesAreRejected) {
    const std::string to = "A2 62 88 92 8E 40 E4 ", from = "A2 62 9E AE 9C 40 61 ",
                      mid = "A2 62 9E AE 9C 40 60 ", digi = "A2 64 AC 92 82 40 62 ";
    std::string tenDigis, nineDigis;
    for (int i = 0; i < 10; ++i) tenDigis += digi;
    for (int i = 0; i < 8; ++i) nineDigis += digi;
    const std::pair<const char*, std::string> bad[] = {
        {"empty", ""},
        {"one address", to},
        {"no control", to + from},
        {"no end of address", to + mid + tenDigis + "3F"},
        {"nine digipeaters", to + mid + nineDigis + "A2 64 AC 92 82 40 63 3F"},
        {"bad character", "A2 42 88 92 8E 40 E4 " + from + "3F"},
        {"lower case", "A2 62 C8 92 8E 40 E4 " + from + "3F"},
        {"bit 0 in a call", "A3 62 88 92 8E 40 E4 " + from + "3F"},
        {"blank call", "40 40 40 40 40 40 E4 " + from + "3F"},
        {"blank inside a call", "A2 62 40 88 92 8E E4 " + from + "3F"},
        {"I without PID", to + from + "00"},
        {"UI without PID", to + from + "03"},
        {"information too long", to + from + "00 F0 " + std::string(kAx25MaxInfo + 1, 'x')},
    };
    for (const auto& [why, hex] : bad) {
        Bytes b = Hex(hex.c_str());
        if (!hex.empty() && hex.back() == 'x')
            b.resize(16 + kAx25MaxInfo + 1, 'x');  // hex stops at the first x
        Ax25Frame f{};
        EXPECT_EQ(0, DecodeAx25Frame(b.data(), b.size(), &f)) << why;
    }
    // The longest information field still decodes; so does a UI without text.
    Bytes longest = Hex((to + from + "00 F0").c_str()), ui = Hex((to + from + "13 F0").c_str());
    longest.resize(16 + kAx25MaxInfo, 'x');
    Ax25Frame f{};
    EXPECT_EQ(1, DecodeAx25Frame(longest.data(), longest.size(), &f));
    EXPECT_EQ(1, DecodeAx25Frame(ui.data(), ui.size(), &f));
    EXPECT_EQ(0u, f.InfoSize);
}

TEST(Ax25Frame, CallsParseAndFormat) {
    // "TEXT=FORMATTED", nothing after '=' when TEXT is not a call.
    for (const std::string c : {"q1dig-15=Q1DIG-15", "Q1DIG-0=Q1DIG", "A=A", "Q1DIG-16=", "Q1DIGIT=", "=",
                                "Q1-=", "Q1 DIG=", "Q1DIG-1X=", "-1=", "Q1/D="}) {
        const std::string text = c.substr(0, c.find('=')), formatted = c.substr(c.find('=') + 1);
        Ax25Address a{};
        char out[10] = "";
        if (ParseAx25Address(text.c_str(), &a)) FormatAx25Address(a, out);
        EXPECT_EQ(formatted, out) << text;
    }
}

// ---- URIs ---------------------------------------------------------------

TEST(KissUri, ParsesEndpointAndLinkParametersOrNamesTheBadPart) {
    const std::pair<const char*, const char*> cases[] = {
        {"kiss://localhost:8001", "localhost:8001/0 0 180000 10 4 128"},
        {"kiss:/dev/ttyUSB0", "/dev/ttyUSB0@9600/0 0 180000 10 4 128"},
        {"kiss:/dev/ttyACM0?baud=57600&k=7", "/dev/ttyACM0@57600/0 0 180000 10 7 128"},
        {"kiss://tnc:8001?k=2&paclen=64", "tnc:8001/0 0 180000 10 2 64"},
        {"kiss://tnc:8001/1?t1=5&t3=300&n2=3&paclen=256", "tnc:8001/1 5000 300000 3 4 256"},
        // Bad: the expected text is the part the one-line reason must name.
        {"kiss://", "no host"},
        {"kiss://tnc:0", "TCP port"},
        {"kiss://tnc:70000", "TCP port"},
        {"kiss://tnc:8001/16", "KISS port"},
        {"kiss://tnc:8001?k=0", "k must"},
        {"kiss://tnc:8001?paclen=257", "paclen"},
        {"kiss://tnc:8001?n2=0", "n2"},
        {"kiss://tnc:8001?t1=soon", "t1"},
        {"kiss://tnc:8001?window=4", "\"window\""},
        {"kiss:/dev/ttyUSB0?baud=", "baud"},
        {"kiss:/dev/ttyUSB0?baud=12345", "baud"},
        {"kiss://tnc:8001?baud=9600", "baud"},
        {"kiss:ttyUSB0", "kiss:/dev/"}};
    for (const auto& [uri, expected] : cases) {
        KissOptions o;
        char error[300] = "";
        std::string got;
        if (ParseKissUri(uri, &o, error, sizeof error)) {
            const KissEndpoint& e = o.Endpoint;
            got = (e.Host.empty() ? e.Device + "@" + std::to_string(e.Baud)
                                  : e.Host + ":" + std::to_string(e.TcpPort)) +
                  "/" + std::to_string(o.KissPort);
            // then t1 t3 n2 k paclen (t1 0: worked out from the path)
            for (const int v : {o.Params.T1Ms, o.Params.T3Ms, o.Params.N2, o.Params.K, o.Params.Paclen})
                got += " " + std::to_string(v);
            EXPECT_EQ(expected, got) << uri;
            EXPECT_STREQ("", error) << uri;
        } else {
            std::string why = error;  // without the URI it quotes
            if (const std::size_t at = why.find(uri); at != std::string::npos)
                why.erase(at, std::strlen(uri));
            EXPECT_THAT(why, ::testing::HasSubstr(expected)) << error;
            EXPECT_EQ(nullptr, std::strchr(error, '\n')) << uri;
        }
    }
}

// ---- The data link against a scripted station ----------------------------

Strings TakeOut(Ax25Link& link) {
    Strings out;
    for (const Bytes& b : link.Out) {
        Ax25Frame f{};
        out.push_back(DecodeAx25Frame(b.data(), b.size(), &f) ? Describe(f) : "undecodable " + ToHex(b));
    }
    link.Out.clear();
    return out;
}
std::string TakeReceived(Ax25Link& link) {
    std::string s;
    for (const Bytes& b : link.Received) s.append(b.begin(), b.end());
    link.Received.clear();
    return s;
}
// Moves the link's clock to `to`, running each timer when it falls due.
void Advance(Ax25Link& link, long long& now, long long to) {
    for (long long due; (due = Ax25NextDue(link)) != 0 && due <= to;)
        Ax25Tick(link, now = std::max(now, due));
    Ax25Tick(link, now = to);
}

const char* const kStates[] = {"Disconnected", "AwaitingConnection", "AwaitingRelease", "Connected",
                               "TimerRecovery"};
const char* const kEnds[] = {"None", "Refused", "RetriedOut", "ClosedByPeer", "Released", "Reset"};

// Runs a script against Q1OWN's link with Q1DIG: "> FRAME" arrives from
// Q1DIG, "+MS" lets time pass, "put TEXT", "got TEXT" takes what was
// received in order, "state S E" shows the link's state and end; "< FRAME"
// is what the link put on the air after the step before. The transcript
// must be the script.
Strings RunScript(const Strings& script, Ax25Params params = {}) {
    Ax25Link link;
    link.Params = params, link.Own = Call("Q1OWN"), link.Remote = Call("Q1DIG");
    long long now = 1000000;
    Strings t;
    for (const std::string& step : script) {
        if (step[0] == '<') continue;
        t.push_back(step);
        const std::string arg = step.substr(step.find(' ') + 1);
        if (step[0] == '>') Ax25Receive(link, Frame("Q1DIG>Q1OWN " + arg), now);
        if (step[0] == '+') Advance(link, now, now + std::stoll(arg));
        if (step.rfind("put ", 0) == 0)
            Ax25Send(link, reinterpret_cast<const unsigned char*>(arg.data()), arg.size(), now);
        if (step.rfind("got ", 0) == 0) t.back() = "got " + TakeReceived(link);
        if (step.rfind("state ", 0) == 0) {
            t.back() = std::string("state ") + kStates[static_cast<int>(link.State)] + " " +
                       kEnds[static_cast<int>(link.End)];
        }
        for (const std::string& s : TakeOut(link)) t.push_back("< " + s);
    }
    return t;
}

struct Script {
    const char* name;
    Strings steps;
};
const Script kScripts[] = {
    {"an out-of-sequence I frame gets one REJ; the gap filled, all is delivered once (an old frame gets a\n"
     "REJ for the next, which is also the acknowledgement)",
     {"> SABM C P", "< UA R F", "> I0,0 C a", "> I2,0 C c", "< REJ1 R", "> I3,0 C d", "> I1,0 C b",
      "> I2,0 C c", "> I0,0 C a", "< REJ3 R", "+1000", "got abc", "state Connected None"}},
    {"a REJ makes the sender go back to its N(R)",
     {"> SABM C P", "< UA R F", "put abc", "< I0,0 C a", "< I1,0 C b", "< I2,0 C c", "> REJ1 R", "< I1,0 C b",
      "< I2,0 C c", "> RR3 R", "+100000"}},
    {"a poll answered short of V(S): the rest goes again at once",
     {"> SABM C P", "< UA R F", "put abc", "< I0,0 C a", "< I1,0 C b", "< I2,0 C c", "+3000", "< I0,0 C P a",
      "> RR1 R F", "< I1,0 C b", "< I2,0 C c", "> RR3 R", "+100000"}},
    {"a station that sets the link up again gets UA, and text it may hold already is not sent twice",
     {"> SABM C P", "< UA R F", "put abc", "< I0,0 C a", "< I1,0 C b", "< I2,0 C c", "> RR1 R", "> SABM C P",
      "< UA R F", "state Connected None", "put d", "< I0,0 C d"}},
    {"a station that missed our UA calls again and gets what it dropped once more",
     {"> SABM C P", "< UA R F", "put abc", "< I0,0 C a", "< I1,0 C b", "< I2,0 C c", "> SABM C P", "< UA R F",
      "< I0,0 C a", "< I1,0 C b", "< I2,0 C c", "> RR3 R", "state Connected None"}},
    {"a busy station gets no I frames, only polls, as long as it stays busy (more than N2 times)",
     {"> SABM C P", "< UA R F",  "put ab",     "< I0,0 C a", "< I1,0 C b",
      "> RNR2 R",   "put cd",    "+4000",      "< RR0 C P",  "> RNR2 R F",
      "+4000",      "< RR0 C P", "> RNR2 R F", "+4000",      "< RR0 C P",
      "> RNR2 R F", "> RR2 R",   "< I2,0 C c", "< I3,0 C d", "state Connected None"}},
    {"a DISC is answered and the link stays down",
     {"> SABM C P", "< UA R F", "> DISC C P", "< UA R F", "> RR0 C P", "< DM R F", "put x", "+1000000",
      "state Disconnected ClosedByPeer"}},
};

TEST(Ax25Link, ScriptedExchanges) {
    Ax25Params quick;
    quick.Paclen = 1, quick.N2 = 2;
    for (const Script& s : kScripts) EXPECT_EQ(s.steps, RunScript(s.steps, quick)) << s.name;
}

// ---- Two links over a simulated channel ----------------------------------

// A channel between link 0 (Q1AAA, the caller) and link 1 (Q2BBB) that
// loses, duplicates and delays frames but keeps their order, as one radio
// channel does. Every frame put on the air is logged ("A SABM C P", with
// " lost").
struct Channel {
    Ax25Link End[2];
    struct Flight {
        long long At;
        Ax25Frame Frame;
    };
    std::deque<Flight> Way[2];  // towards End[i]
    long long Now = 1000000;
    Strings Log;
    std::function<bool(int from, const std::string& frame)> Lose = [](int, const std::string&) {
        return false;
    };
    std::mt19937 Rng{1};
    int DupPercent = 0, MaxDelayMs = 0;
    int Disconnected = 0;  // A has been told to disconnect, or is down

    explicit Channel(const Ax25Params& p) {
        for (int i = 0; i < 2; ++i) {
            End[i].Params = p, End[i].Own = Call(i ? "Q2BBB" : "Q1AAA"),
            End[i].Remote = Call(i ? "Q1AAA" : "Q2BBB");
        }
    }
    void Collect(int i) {
        for (const Bytes& b : End[i].Out) {
            Ax25Frame f{};
            ASSERT_EQ(1, DecodeAx25Frame(b.data(), b.size(), &f)) << ToHex(b);
            const std::string name = std::string(i ? "B " : "A ") + Describe(f);
            const bool lost = Lose(i, name);
            Log.push_back(name + (lost ? " lost" : ""));
            if (lost) continue;
            std::deque<Flight>& way = Way[1 - i];
            const long long delay = MaxDelayMs ? static_cast<long long>(Rng() % MaxDelayMs) : 0;
            const long long at = std::max(Now + delay, way.empty() ? 0 : way.back().At);
            way.push_back({at, f});
            if (static_cast<int>(Rng() % 100) < DupPercent) way.push_back({at, f});
        }
        End[i].Out.clear();
    }
    // Moves to the next delivery or timer, but not past `wake`.
    void Step(long long wake) {
        for (int i = 0; i < 2; ++i) {
            if (!Way[i].empty()) wake = std::min(wake, Way[i].front().At);
            if (Ax25NextDue(End[i])) wake = std::min(wake, Ax25NextDue(End[i]));
        }
        Now = std::max(Now, wake);
        for (int i = 0; i < 2; ++i) {
            while (!Way[i].empty() && Way[i].front().At <= Now) {
                const Ax25Frame f = Way[i].front().Frame;
                Way[i].pop_front();
                Ax25Receive(End[i], f, Now);
                Collect(i);
            }
            Ax25Tick(End[i], Now);
            Collect(i);
        }
    }
    bool Quiet() const {
        return End[0].State == Ax25State::Disconnected && End[1].State == Ax25State::Disconnected &&
               Way[0].empty() && Way[1].empty() && !Ax25NextDue(End[0]) && !Ax25NextDue(End[1]);
    }
    int Count(const std::string& frame) const {
        return static_cast<int>(std::count(Log.begin(), Log.end(), frame));
    }
};

// A connects, each end puts Pieces random texts while up (B once A's text
// flows: a reset by a late SABM could not take B's text with it then), and A
// disconnects once all is acknowledged; until both ends are down and nothing
// is on the air, or six hours.
struct Talk {
    int Pieces[2];
    std::string Sent[2], Got[2];
};
void RunTalk(Channel& c, Talk& t) {
    long long nextPut[2] = {0, 0};
    Ax25Connect(c.End[0], c.Now);
    c.Collect(0);
    const long long end = c.Now + 6 * 3600 * 1000LL;
    while (!(c.Disconnected && c.Quiet()) && c.Now < end && !::testing::Test::HasFatalFailure()) {
        long long wake = end;
        for (int i = 0; i < 2; ++i) {
            if (!t.Pieces[i] || !Ax25IsUp(c.End[i]) || (i == 1 && t.Got[1].empty())) continue;
            if (c.Now < nextPut[i]) {
                wake = std::min(wake, nextPut[i]);
                continue;
            }
            std::string text(1 + c.Rng() % 300, '\0');
            for (char& ch : text) ch = static_cast<char>(c.Rng());
            Ax25Send(c.End[i], reinterpret_cast<const unsigned char*>(text.data()), text.size(), c.Now);
            c.Collect(i);
            t.Sent[i] += text, --t.Pieces[i], nextPut[i] = c.Now + c.Rng() % 4000;
        }
        if (!c.Disconnected && !t.Pieces[0] && !t.Pieces[1] && Ax25AllAcked(c.End[0]) &&
            t.Got[0] == t.Sent[1]) {
            c.Disconnected = 1, Ax25Disconnect(c.End[0], c.Now), c.Collect(0);
        }
        if (!c.Disconnected && c.End[0].State == Ax25State::Disconnected) c.Disconnected = 1;
        c.Step(wake);
        for (int i = 0; i < 2; ++i) t.Got[i] += TakeReceived(c.End[i]);
    }
}

TEST(Ax25Link, OverALossyChannelEveryByteArrivesOnceInOrderOrTheLinkRetriesOut) {
    const int seeds = 600;
    int completed = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        Ax25Params p;
        p.K = 1 + seed % 7, p.Paclen = 8 + seed * 37 % 250, p.T3Ms = 60000;
        Channel c(p);
        c.Rng.seed(seed);
        const int lossPercent = seed % 6 * 10;
        c.Lose = [&](int, const std::string&) { return static_cast<int>(c.Rng() % 100) < lossPercent; };
        c.DupPercent = seed % 3 * 5, c.MaxDelayMs = 100 + seed % 5 * 500;
        Talk t{{4 + seed % 5, 3}, {}, {}};
        RunTalk(c, t);
        const std::string tag = "seed " + std::to_string(seed);
        ASSERT_TRUE(c.Quiet()) << tag << ": both ends down, nothing on the air";
        EXPECT_EQ(t.Sent[0].substr(0, t.Got[1].size()), t.Got[1]) << tag;
        EXPECT_EQ(t.Sent[1].substr(0, t.Got[0].size()), t.Got[0]) << tag;
        const bool all = !t.Pieces[0] && !t.Pieces[1] && t.Got[1] == t.Sent[0] && t.Got[0] == t.Sent[1];
        const bool retried = c.End[0].End == Ax25End::RetriedOut || c.End[1].End == Ax25End::RetriedOut;
        EXPECT_TRUE(all || retried) << tag;
        EXPECT_TRUE(all || lossPercent > 20) << tag << ": gave up at " << lossPercent << "% loss";
        completed += all;
    }
    EXPECT_GE(completed, seeds * 8 / 10);
}

// Hand-picked losses at connect and disconnect, A putting one text: `prefix`
// names the frames lost (the first `count` of them), before the disconnect
// or from it on. A disconnect that goes unanswered N2 times more is
// released all the same; a quiet link polled N2 times more is retried out.
struct LossCase {
    const char* prefix;
    int count, fromDisconnect;
    Ax25End a, b;
    int sabms, discs, polls, delivered;  // polls: B's of a quiet link
};
const LossCase kLossCases[] = {
    {"B UA", 1, 0, Ax25End::Released, Ax25End::ClosedByPeer, 2, 1, 0, 1},  // lost UA on connect
    {"A SABM", 99, 0, Ax25End::RetriedOut, Ax25End::None, 11, 0, 0, 0},    // nobody hears
    {"B UA", 1, 1, Ax25End::Released, Ax25End::ClosedByPeer, 1, 2, 0, 1},  // lost final UA
    {"B ", 99, 1, Ax25End::Released, Ax25End::ClosedByPeer, 1, 11, 0, 1},  // B goes deaf
    {"A ", 99, 1, Ax25End::Released, Ax25End::RetriedOut, 1, 11, 11, 1},   // A goes deaf
};

TEST(Ax25Link, LostFramesAtConnectAndDisconnect) {
    for (const LossCase& l : kLossCases) {
        Ax25Params p;
        p.T3Ms = 30000;
        Channel c(p);
        int lost = 0;
        c.Lose = [&](int, const std::string& f) {
            return c.Disconnected == l.fromDisconnect && f.rfind(l.prefix, 0) == 0 && lost < l.count &&
                   ++lost;
        };
        Talk t{{1, 0}, {}, {}};
        RunTalk(c, t);
        const std::string tag = std::string(l.prefix) + " " + std::to_string(l.fromDisconnect);
        EXPECT_TRUE(c.Quiet()) << tag;
        EXPECT_EQ(l.a, c.End[0].End) << tag;
        EXPECT_EQ(l.b, c.End[1].End) << tag;
        EXPECT_EQ(l.sabms, c.Count("A SABM C P") + c.Count("A SABM C P lost")) << tag;
        EXPECT_EQ(l.discs, c.Count("A DISC C P") + c.Count("A DISC C P lost")) << tag;
        EXPECT_EQ(l.delivered ? t.Sent[0] : "", t.Got[1]) << tag;
        EXPECT_EQ(l.polls, c.Count("B RR1 C P")) << tag;
    }
}

// ---- The KISS client end to end -----------------------------------------

// A serial KISS TNC behind a pseudo-terminal that the test pumps: it keeps
// every frame it receives as "FROM>TO[,DIGI[*]...] FRAME" and sends frames
// written the same way. (The on-air runs use a TCP port.)
struct FakeKissTnc {
    int Master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    KissDecoder Decoder;
    Strings Frames;

    FakeKissTnc() { grantpt(Master), unlockpt(Master); }
    ~FakeKissTnc() { close(Master); }
    void Pump() {
        unsigned char buf[4096];
        std::vector<Bytes> frames;
        for (ssize_t n; (n = read(Master, buf, sizeof buf)) > 0;) DecodeKiss(Decoder, buf, n, &frames);
        for (const Bytes& b : frames) {
            Ax25Frame f{};
            Frames.push_back(DecodeAx25Frame(b.data(), b.size(), &f) ? Wire(f) : "undecodable " + ToHex(b));
        }
    }
    void Send(const std::string& wire) {
        Bytes ax, kiss;
        EncodeAx25Frame(Frame(wire), &ax);
        EncodeKissFrame(0, ax.data(), ax.size(), &kiss);
        (void)!write(Master, kiss.data(), kiss.size());
    }
};

struct TestKissClock final : KissClock {
    long long Now = 1000000000;
    FakeKissTnc* Tnc = nullptr;
    long long NowMs() override { return Tnc != nullptr ? (Tnc->Pump(), Now) : Now; }
};

struct KissClientTest : ::testing::Test {
    FakeKissTnc tnc;
    TestKissClock clock;
    std::unique_ptr<KissClient> client;
    void SetUp() override {
        KissOptions o;
        char error[200];
        ASSERT_EQ(
            1, ParseKissUri((std::string("kiss:") + ptsname(tnc.Master)).c_str(), &o, error, sizeof error));
        client = std::make_unique<KissClient>(o, clock);
        clock.Tnc = &tnc;
        ASSERT_EQ(1, client->ax_init());
        clock.Tnc = nullptr;
    }
    // What the TNC received once `frames` frames are in (waiting at most ten
    // seconds, however loaded the machine) and both ends have had a few turns.
    Strings Exchange(std::size_t frames = 0) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (int turn = 0; turn < 3 || (tnc.Frames.size() < frames && std::chrono::steady_clock::now() < end);
             ++turn) {
            if (turn >= 3) usleep(200);
            tnc.Pump(), client->Poll();
        }
        return std::exchange(tnc.Frames, {});
    }
    Strings Hear(const std::string& frame, std::size_t frames = 0) {
        return tnc.Send(frame), Exchange(frames);
    }
    int Stat(std::uint16_t h) { return client->l2_stat(0, h); }
    // The next line frame's text, or "none".
    std::string Line(std::uint16_t h) {
        const unsigned char* f = client->l2_get_i(h);
        return f ? std::string(reinterpret_cast<const char*>(f) + 3, f[0] | f[1] << 8) : "none";
    }
};

TEST_F(KissClientTest, ConnectTalkAndDisconnectAfterTheTextIsAcknowledged) {
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG Q2VIA");
    EXPECT_EQ(2, Stat(h));
    EXPECT_EQ(Strings{"Q1OWN>Q1DIG,Q2VIA SABM C P"}, Exchange(1));
    clock.Now += 11999;  // T1 starts at 4 s, times 3 through one digipeater
    EXPECT_EQ(Strings{}, Exchange());
    clock.Now += 1;
    EXPECT_EQ(Strings{"Q1OWN>Q1DIG,Q2VIA SABM C P"}, Exchange(1));
    EXPECT_EQ(Strings{}, Hear("Q1DIG>Q1OWN,Q2VIA* UA R F"));
    EXPECT_EQ(5, Stat(h));
    EXPECT_EQ(Strings{}, Hear("Q1DIG>Q1OWN,Q2VIA* I0,0 C line one\rtwo\rtail"));
    EXPECT_EQ(Strings{}, Hear("Q9XYZ>Q1OWN-1 I0,0 C not ours\r"));
    EXPECT_EQ(Strings{}, Hear("Q1DIG>Q1OWN,Q2VIA* I1,0 C more\r"));
    for (const char* line : {"line one\r", "two\r", "tail", "more\r"}) {
        EXPECT_EQ(5 | kL2DataWaiting, Stat(h)) << line;
        EXPECT_EQ(line, Line(h));
    }
    EXPECT_EQ(5, Stat(h));
    ASSERT_EQ(1, client->l2_ialloc(h, 100));
    client->l2_puts(h, "p\n\n");
    client->l2_bef(kL2Disconnect, h);
    EXPECT_EQ(Strings{}, Exchange());  // held while the acknowledgement of the lines waits (T2)
    clock.Now += 1000;
    EXPECT_EQ(Strings{"Q1OWN>Q1DIG,Q2VIA I0,2 C p\r\r"}, Exchange(1));
    EXPECT_EQ(5, Stat(h));  // no DISC before the text is acknowledged
    EXPECT_EQ(Strings{"Q1OWN>Q1DIG,Q2VIA DISC C P"}, Hear("Q1DIG>Q1OWN,Q2VIA* RR1 R", 1));
    EXPECT_EQ(Strings{}, Hear("Q1DIG>Q1OWN,Q2VIA* UA R F"));
    EXPECT_EQ(0, Stat(h));
}

TEST_F(KissClientTest, ACallerOfMycallIsAnsweredOnItsPathBesideOtherLinks) {
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));
    EXPECT_EQ(Strings{}, Hear("Q5CAL>Q9OTH SABM C P"));               // not for us
    EXPECT_EQ(Strings{}, Hear("Q5CAL>Q1OWN,Q3DIG*,Q4DIG SABM C P"));  // not through Q4DIG yet
    EXPECT_EQ(Strings{"Q1OWN>Q5CAL,Q4DIG,Q3DIG UA R F"}, Hear("Q5CAL>Q1OWN,Q3DIG*,Q4DIG* SABM C P", 1));
    const std::uint16_t h = client->l2_get_sabm("Q1OWN");
    EXPECT_NE(0, h);
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));
    EXPECT_EQ(5, Stat(h));
    // Links at once, told apart by both calls: two to Q1DIG (SSIDs 0 and 1)
    // beside the caller's.
    const std::uint16_t a = client->l2_connect("Q1OWN", "Q1DIG"), b = client->l2_connect("Q1OWN", "Q1DIG-1");
    EXPECT_EQ((Strings{"Q1OWN>Q1DIG SABM C P", "Q1OWN>Q1DIG-1 SABM C P"}), Exchange(2));
    for (const char* f : {"Q1DIG-1>Q1OWN UA R F", "Q1DIG>Q1OWN UA R F", "Q1DIG-1>Q1OWN I0,0 C to b\r",
                          "Q5CAL>Q1OWN,Q3DIG*,Q4DIG* I0,0 C to h\r", "Q1DIG>Q1OWN I0,0 C to a\r"}) {
        EXPECT_EQ(Strings{}, Hear(f)) << f;
    }
    std::string lines;
    for (const std::uint16_t k : {a, b, h, h}) lines += Line(k) + "|";
    EXPECT_EQ("to a\r|to b\r|to h\r|none|", lines);
    EXPECT_EQ(Strings{"Q1OWN>Q5CAL,Q4DIG,Q3DIG UA R F"}, Hear("Q5CAL>Q1OWN,Q3DIG*,Q4DIG* DISC C P", 1));
    EXPECT_EQ(0, Stat(h));
    // A TNC that goes away drops every link.
    close(tnc.Master), tnc.Master = -1;
    Exchange();
    EXPECT_EQ(0, Stat(a) + Stat(b));
}

}  // namespace
