// The AGWPE client against an in-process fake TNC: which frames each
// layer-2 call sends, and what the connect cycle and the answering service
// see of what the TNC reports. Time limits run on a fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "agw_fake_server.h"
#include "radio/agw_client.h"
#include "support/fake_port.h"
#include "support/wait_for.h"

namespace {

using Strings = std::vector<std::string>;

std::string LineText(const unsigned char* f) {
    return std::string(reinterpret_cast<const char*>(f) + 3, f[0] | f[1] << 8);
}
std::string Count(int n) {
    return std::string(1, static_cast<char>(n)) + std::string(3, '\0');
}  // a 'Y' reply
std::string Connect(const char* call) {
    return std::string("*** CONNECTED With Station ") + call + "\r";
}
std::string Disconnect(const char* call) {
    return std::string("*** DISCONNECTED From Station ") + call + "\r";
}
Strings operator+(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct AgwClientTest : ::testing::Test {
    FakeAgwClock clock;
    FakeAgwServer server;
    // The probe of a quiet TNC would show in every exchange; see TroubledTnc.
    AgwOptions options{.Host = "127.0.0.1", .TcpPort = server.Port, .ProbeIdleMs = 0};
    std::unique_ptr<AgwClient> client;

    void SetUp() override { Open(0), server.Take(); }
    void Open(int radioPort) {
        options.RadioPort = radioPort;
        client = std::make_unique<AgwClient>(options, clock);
        clock.Tnc = &server;
        ASSERT_EQ(1, client->ax_init());
        clock.Tnc = nullptr;
    }
    // Pumps both ends until pred holds; false after ten seconds, however
    // slowly a loaded machine gets there.
    bool Until(const std::function<bool()>& pred) {
        return WaitFor([&] { return server.Pump(), client->Poll(), pred(); }, 10000, [] { usleep(200); });
    }
    // The frames the TNC received since the last look, once the loopback
    // connection has carried what is in flight.
    Strings Exchange() {
        for (int i = 0; i < 5; ++i) server.Pump(), client->Poll();
        return server.Take();
    }
    void Advance(long long ms) { clock.Now += ms, client->Poll(); }
    int State(std::uint16_t h) { return client->l2_stat(0, h) & kL2StateMask; }
    // What the connect cycle sees of a link, then what the TNC received.
    Strings Observe(std::uint16_t h) {
        const int stat = client->l2_stat(0, h), grant = client->l2_ialloc(h, 9);
        return Strings{"stat " + std::to_string(stat), "grant " + std::to_string(grant)} + Exchange();
    }
    // An outgoing link to dest that the TNC has reported connected.
    std::uint16_t Connected(const char* dest = "Q1DIG") {
        const std::uint16_t h = client->l2_connect("Q1OWN", dest);
        Exchange();
        server.Send('C', dest, "Q1OWN", Connect(dest));
        EXPECT_TRUE(Until([&] { return State(h) == 5; }));
        return h;
    }
};

TEST(AgwUri, ParsesHostPortAndRadioPortOrSaysWhy) {
    const std::pair<const char*, const char*> cases[] = {
        {"agw://localhost:8000", "localhost 8000 0"},
        {"agw://[::1]:8000/2", "::1 8000 2"},
        {"agw://tnc", "tnc 8000 0"},
        {"agw://:8000", ""},
        {"agw://[::1", ""},
        {"agw://h:0", ""},
        {"agw://h:70000", ""},
        {"agw://h:8000/256", ""},
    };
    for (const auto& [uri, parsed] : cases) {
        AgwOptions o;
        char error[200] = "";
        const int ok = ParseAgwUri(uri, &o, error, sizeof error);
        EXPECT_EQ(parsed,
                  ok ? o.Host + " " + std::to_string(o.TcpPort) + " " + std::to_string(o.RadioPort) : "");
        EXPECT_EQ(ok, error[0] == '\0') << uri;
    }
}

TEST_F(AgwClientTest, ConnectGoesOutAsCOrVWithTheViaListAndBadPathsFailAtOnce) {
    const std::uint16_t direct = client->l2_connect("q1own", "q1dig-2");
    const std::uint16_t via = client->l2_connect("Q1OWN", "Q1DIG Q2VIA-1  q3via");
    EXPECT_EQ(2, State(direct));
    EXPECT_EQ(2, State(via));
    const std::string list("\x02Q2VIA-1\0\0\0Q3VIA\0\0\0\0\0", 21);
    EXPECT_EQ((Strings{"X Q1OWN>", "C Q1OWN>Q1DIG-2", "v Q1OWN>Q1DIG " + list}), Exchange());
    for (const char* p : {"", "   ", "Q1DIG Q2 Q3 Q4 Q5 Q6 Q7 Q8 Q9", "Q1DIGITALX", "Q1-0X", "Q1DIG -1"}) {
        const std::uint16_t h = client->l2_connect("Q1OWN", p);
        EXPECT_TRUE(h != 0 && State(h) == 0) << p;
    }
    EXPECT_EQ(0, State(client->l2_connect("Q1 OWN", "Q1DIG")));
    EXPECT_EQ(Strings{}, Exchange());
    // Failed links make room for new ones.
    for (int i = 0; i < kAgwMaxLinks * 3; ++i) ASSERT_NE(0, client->l2_connect("Q1OWN", ""));
    EXPECT_EQ(5, State(Connected("Q4DIG")));
}

TEST_F(AgwClientTest, ReportsOnAConnectAreMatchedByTheirCalls) {
    const std::pair<char, const char*> reports[] = {
        {'C', "*** connected with station q1dig\r"},
        {'C', "*** CONNECTED To Station Q1DIG\r"},  // both ends called at once: still ours
        {'d', "*** DISCONNECTED RETRYOUT With Q1DIG\r"},
    };
    for (const auto& [kind, text] : reports) {
        const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG");
        server.Send(kind, "Q1DIG", "Q1OWN", text);
        const int state = kind == 'C' ? 5 : 0;
        EXPECT_TRUE(Until([&] { return State(h) == state; })) << text;
        EXPECT_EQ(0, client->l2_get_sabm("Q1OWN")) << text;
        if (kind == 'C') server.Send('d', "Q1DIG", "Q1OWN", Disconnect("Q1DIG"));
        EXPECT_TRUE(Until([&] { return State(h) == 0; })) << text;
    }
    // Not this connect's: a report for another pair of calls (saying
    // "connected with", a connect of ours nobody waits for: ended) or on
    // another radio port than the chosen one, where every frame goes.
    server.Take();
    Open(1);
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG Q2VIA");
    server.Send('C', "Q9XYZ", "Q1OWN", Connect("Q9XYZ"), 1);
    server.Send('C', "Q1DIG", "Q1OWN", Connect("Q1DIG"));
    server.Send('D', "Q1DIG", "Q1OWN", "early\r", 1);
    ASSERT_TRUE(Until([&] { return client->l2_stat(0, h) == (2 | kL2DataWaiting); }));
    server.Send('C', "Q1DIG", "Q1OWN", Connect("Q1DIG"), 1);
    EXPECT_TRUE(Until([&] { return State(h) == 5; }));
    client->l2_puts(h, "p\n");
    EXPECT_EQ((Strings{"1:R >", "1:X Q1OWN>", "1:v Q1OWN>Q1DIG " + std::string("\x01Q2VIA\0\0\0\0\0", 11),
                       "1:d Q1OWN>Q9XYZ", "1:D Q1OWN>Q1DIG p\r"}),
              Exchange());
}

TEST_F(AgwClientTest, ReceivedDataIsCutIntoLineFrames) {
    const std::uint16_t h = Connected();
    server.Send('D', "Q1DIG", "Q1OWN", "Welcome\rto Q1DIG\r");  // two lines in one frame
    server.Send('D', "Q9XYZ", "Q1OWN", "stray\r");              // not from our link
    server.Send('D', "Q1DIG", "Q1OWN", "=>");                   // a prompt without CR
    server.Send('D', "Q1DIG", "Q1OWN", "Link to Q");            // a line split over two frames
    server.Send('D', "Q1DIG", "Q1OWN", "2XYZ up\r=>");
    Exchange();
    for (const char* e : {"Welcome\r", "to Q1DIG\r", "=>", "Link to Q", "2XYZ up\r", "=>"}) {
        EXPECT_EQ(5 | kL2DataWaiting, client->l2_stat(0, h)) << e;
        const unsigned char* f = client->l2_get_i(h);
        ASSERT_NE(nullptr, f) << e;
        client->l2_stat(0, static_cast<std::uint16_t>(h + 1));  // the frame stays while others are served
        Exchange();
        EXPECT_EQ(e, LineText(f));
        client->l2_bef(kL2FrameDone, h);
    }
    EXPECT_EQ(5, client->l2_stat(0, h));
    EXPECT_EQ(nullptr, client->l2_get_i(h));
    // Lines received before a disconnect stay readable.
    server.Send('D', "Q1DIG", "Q1OWN", "last words\r");
    server.Send('d', "Q1DIG", "Q1OWN", Disconnect("Q1DIG"));
    ASSERT_TRUE(Until([&] { return client->l2_stat(0, h) == kL2DataWaiting; }));
    EXPECT_EQ("last words\r", LineText(client->l2_get_i(h)));
}

TEST_F(AgwClientTest, TransmitSpaceFollowsLinkAndOutstandingFrames) {
    EXPECT_EQ(0, client->l2_ialloc(client->l2_connect("Q1OWN", "Q2DIG"), 256));  // pending
    const std::uint16_t h = Connected();
    EXPECT_EQ(1, client->l2_ialloc(h, 256));
    client->l2_puts(h, "p\n\n");
    EXPECT_EQ((Strings{"Y Q1OWN>Q1DIG", "D Q1OWN>Q1DIG p\r\r"}), Exchange());
    // Unanswered, the client counts its own sends: the window fills up.
    int granted = 0;
    for (; client->l2_ialloc(h, 100) && granted < 10; ++granted) client->l2_puts(h, "line\n");
    EXPECT_EQ(kAgwMaxOutstanding - 1, granted);
    // The TNC's count leaves out what was sent after the question: those
    // count on top, and the next grant asks again.
    server.Send('Y', "Q1OWN", "Q1DIG", std::string(2, '\0'));  // no count: ignored
    server.Send('Y', "Q1OWN", "Q1DIG", Count(0));
    Exchange();
    EXPECT_EQ((Strings{"stat 5", "grant 0", "Y Q1OWN>Q1DIG"}), Observe(h));
    server.Send('Y', "Q1OWN", "Q1DIG", Count(0));
    EXPECT_TRUE(Until([&] { return client->l2_ialloc(h, 100) == 1; }));
    server.Send('Y', "Q1OWN", "Q1DIG", Count(9));
    EXPECT_TRUE(Until([&] { return client->l2_ialloc(h, 100) == 0; }));
    // A long text goes out in pieces the TNC can take.
    EXPECT_EQ((Strings{"Y Q1OWN>Q1DIG", "Y Q1OWN>Q1DIG"}), Exchange());
    client->l2_puts(h, std::string(1000, 'x').c_str());
    const std::string piece = "D Q1OWN>Q1DIG " + std::string(kAgwSendChunk, 'x');
    EXPECT_EQ((Strings{piece, piece, piece, "D Q1OWN>Q1DIG " + std::string(1000 - 3 * kAgwSendChunk, 'x')}),
              Exchange());
}

TEST_F(AgwClientTest, IncomingConnectsToMycallAreHandedOutOnce) {
    EXPECT_EQ(0, client->l2_get_sabm("q1own"));
    EXPECT_EQ(Strings{"X Q1OWN>"}, Exchange());
    server.Send('C', "Q6CALL", "Q9OTHR", "*** CONNECTED To Station Q6CALL\r");
    server.Send('C', "Q5CALL", "Q1OWN", "*** CONNECTED To Station Q5CALL\r");
    std::uint16_t h = 0;
    ASSERT_TRUE(Until([&] { return (h = client->l2_get_sabm("Q1OWN")) != 0; }));
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));  // taken
    EXPECT_EQ(5, State(h));
    Advance(options.DrainAskIntervalMs);
    EXPECT_EQ(Strings{"d Q9OTHR>Q6CALL"}, Exchange());  // a caller of a call not ours is sent away, once
    // A caller that floods is held to a bound and ended.
    for (int i = 0; i < 40; ++i) server.Send('D', "Q5CALL", "Q1OWN", std::string(60000, 'x'));
    Strings sent;
    for (int i = 0; i < 50; ++i) sent = sent + Exchange();
    std::size_t held = 0;
    while (const unsigned char* f = client->l2_get_i(h)) held += LineText(f).size();
    EXPECT_EQ(held, 60000u);
    EXPECT_EQ(sent, Strings{"d Q1OWN>Q5CALL"});
    // A new Mycall replaces the registration, once; none leaves none.
    EXPECT_EQ(0, client->l2_get_sabm("Q7NEW") + client->l2_get_sabm("Q7NEW"));
    EXPECT_EQ((Strings{"x Q1OWN>", "X Q7NEW>"}), Exchange());
    EXPECT_EQ(0, client->l2_get_sabm(""));
    EXPECT_EQ(Strings{"x Q7NEW>"}, Exchange());
}

TEST_F(AgwClientTest, GarbageFromTheTncIsSurvived) {
    const std::uint16_t h = Connected();
    server.Send('Z', "Q1DIG", "Q1OWN", "what");  // unknown kinds
    server.Send('\x01', "Q1DIG", "Q1OWN", std::string("\0\xff", 2));
    server.Send('D', "Q1\x01\x02", "Q1OWN", "bad\r");                 // calls that are not text
    server.Send('X', "Q1OWN", "", std::string(1, '\0'));              // a refused registration
    server.Send('D', "Q1DIG", "Q1OWN", std::string("a\0\xe4\r", 4));  // 8-bit and NUL: text
    ASSERT_TRUE(Until([&] { return (client->l2_stat(0, h) & kL2DataWaiting) != 0; }));
    EXPECT_EQ(std::string("a\0\xe4\r", 4), LineText(client->l2_get_i(h)));
    server.Send('D', "Q1DIG", "Q1OWN",
                std::string(kAgwMaxQueuedFrames + 5, '\r'));  // more than a handle keeps
    // A length no TNC sends: the stream is out of step; the client starts over.
    std::vector<unsigned char> bad;
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", nullptr, 0, &bad);
    bad[31] = 0x7F;
    server.SendBytes(bad);
    ASSERT_TRUE(Until([&] { return State(h) == 0; }));
    Advance(options.ReconnectIntervalMs);
    ASSERT_TRUE(Until([&] { return server.Accepted == 2 && client->IsConnected(); }));
    EXPECT_EQ(5, State(Connected()));
    int lines = 0;
    while (client->l2_get_i(h) != nullptr) ++lines;
    EXPECT_EQ(kAgwMaxQueuedFrames, lines);
}

// Each time limit, read from the clock: nothing at a millisecond before it,
// its effect when it is reached. Each case sets up a link to Q1DIG by steps:
// c connect, C the TNC reports it, t one line sent (after asking for space,
// then command 7 as the connect cycle gives it), 4 command 4, y the TNC
// answers 'Y' with 1, + the drain's interval passes, z the TNC answers 'Y'
// with 0 (and 'd' goes out), D the TNC confirms a 'd', v the TNC goes away
// and listens again.
struct TimeLimit {
    const char* steps;
    int AgwOptions::*limit;
    Strings before, after;  // l2_stat, l2_ialloc, then the frames the TNC received
};

const Strings kClosed = {"stat 0", "grant 0"}, kSetUp = {"X Q1OWN>", "C Q1OWN>Q1DIG"};
const Strings kPending = Strings{"stat 2", "grant 0"} + kSetUp, kUp = Strings{"stat 5", "grant 0"} + kSetUp;
const std::string kY = "Y Q1OWN>Q1DIG", kD = "D Q1OWN>Q1DIG x\r", kd = "d Q1OWN>Q1DIG";

const TimeLimit kTimeLimits[] = {
    // A 'd' never confirmed; also one sent at once on a pending connect.
    {"cC4", &AgwOptions::DisconnectTimeoutMs, kUp + Strings{kd}, kClosed},
    {"c4", &AgwOptions::DisconnectTimeoutMs, kPending + Strings{kd}, kClosed},
    // One the TNC confirms is over: nothing is left to end.
    {"cC4D", &AgwOptions::DisconnectTimeoutMs, kClosed + kSetUp + Strings{kd}, kClosed},
    // A TNC drops frames still queued when told to disconnect, so after text
    // 'd' waits until the TNC reports nothing outstanding: it asks again, and
    // ends with 'd' however many frames stay outstanding.
    {"cCt4y", &AgwOptions::DrainAskIntervalMs, kUp + Strings{kY, kD}, {"stat 5", "grant 0", kY}},
    {"cCt4y+z", &AgwOptions::DisconnectTimeoutMs, kUp + Strings{kY, kD, kY, kd}, kClosed},
    {"cCt4y", &AgwOptions::DisconnectTimeoutMs, kUp + Strings{kY, kD, kY}, {"stat 5", "grant 0", kd}},
    // A TNC that never answers 'Y' is not asked again: space follows the link.
    {"cCtttt",
     &AgwOptions::OutstandingReplyTimeoutMs,
     kUp + Strings{kY, kD, kD, kD, kD},
     {"stat 5", "grant 1"}},
    // A TNC that went away is looked for again at a limited rate.
    {"cCv", &AgwOptions::ReconnectIntervalMs, kClosed + kSetUp, kClosed + Strings{"R >", "X Q1OWN>"}},
    // So is one with a connect still pending, that the TNC had not read.
    {"cCcv", &AgwOptions::ReconnectIntervalMs, kClosed + kSetUp, kClosed + Strings{"R >", "X Q1OWN>"}},
};

struct AgwTimeLimitTest : AgwClientTest, ::testing::WithParamInterface<TimeLimit> {};

TEST_P(AgwTimeLimitTest, NothingBeforeTheLimitAndItsEffectAtIt) {
    const TimeLimit& c = GetParam();
    std::uint16_t h = 0;
    for (const char* step = c.steps; *step != '\0'; ++step) {
        if (*step == 'c') h = client->l2_connect("Q1OWN", "Q1DIG");
        if (*step == 'C') server.Send('C', "Q1DIG", "Q1OWN", Connect("Q1DIG"));
        if (*step == 'C' && !Until([&] { return State(h) == 5; })) ADD_FAILURE() << "not connected";
        if (*step == 't' && client->l2_ialloc(h, 9))
            client->l2_puts(h, "x\n"), client->l2_bef(kL2AfterSend, h);
        if (*step == '4') client->l2_bef(kL2Disconnect, h);
        if (*step == 'y' || *step == 'z') server.Send('Y', "Q1OWN", "Q1DIG", Count(*step == 'y'));
        if (*step == '+') Advance(options.DrainAskIntervalMs);
        if (*step == 'D') server.Send('d', "Q1DIG", "Q1OWN", Disconnect("Q1DIG"));
        if (*step == 'D' && !Until([&] { return State(h) == 0; })) ADD_FAILURE() << "not closed";
        if (*step == 'z' && !Until([&] { return !server.Frames.empty() && server.Frames.back() == kd; }))
            ADD_FAILURE() << "no 'd'";
        if (*step == 'v') server.Vanish(), server.StopListening();
        if (*step == 'v' && !Until([&] { return !client->IsConnected(); }))
            ADD_FAILURE() << "still connected";
        if (*step == 'v') server.Listen(server.Port);
    }
    Advance(options.*c.limit - 1);
    EXPECT_EQ(c.before, Observe(h)) << c.steps;
    Advance(1);
    EXPECT_EQ(c.after, Observe(h)) << c.steps;
}

INSTANTIATE_TEST_SUITE_P(Agw, AgwTimeLimitTest, ::testing::ValuesIn(kTimeLimits));

}  // namespace

// A TNC in trouble: answering nothing, or garbage on every connection.
// The clock moves in steps of 100 ms; what was logged meanwhile is counted
// in lines.
struct TroubledTnc : AgwClientTest {
    std::string Log, Said;
    void SetUp() override {
        options.ProbeIdleMs = AgwOptions{}.ProbeIdleMs, options.Log = CollectLog(Log);
        AgwClientTest::SetUp();
    }
    void Run(
        long long ms, const std::function<void()>& step = [] {}) {
        Log.clear();
        for (long long t = 0; t < ms; t += 100) server.Pump(), step(), Advance(100);
        Said = Log;
    }
    long Lines() const { return std::count(Said.begin(), Said.end(), '\n'); }
};

TEST_F(TroubledTnc, ASilentTncIsDroppedAndSaidOnceSoThatCallsFail) {
    const std::uint16_t up = Connected(), pending = client->l2_connect("Q1OWN", "Q2DIG");
    server.AnswerVersion = 0;
    long long closed = 0;
    Run(600000, [&] { closed += State(up) + State(pending) != 0; });
    EXPECT_EQ(closed, (options.ProbeIdleMs + options.ProbeReplyMs) / 100);
    EXPECT_EQ(0, State(client->l2_connect("Q1OWN", "Q1DIG")));
    EXPECT_EQ(Lines(), 1) << Said;
    EXPECT_NE(Said.find("(silent for 25 s); reconnecting"), std::string::npos) << Said;
    // Reconnects that meet the same silence come at ever longer intervals.
    EXPECT_LE(server.Accepted, 14);
}

TEST_F(TroubledTnc, GarbageIsSaidAtARateAndTheReconnectsBackOff) {
    std::vector<unsigned char> bad;
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", nullptr, 0, &bad);
    bad[31] = 0x7F;
    server.AnswerVersion = 0;
    int served = 0;
    Run(600000, [&] {
        if (server.Accepted > served) served = server.Accepted, server.SendBytes(bad);
    });
    EXPECT_LE(Lines(), 3) << Said;
    EXPECT_LE(server.Accepted, 16);
    // Healthy again: found within the longest wait, and said so (after the
    // ten minutes' count).
    server.AnswerVersion = 1;
    Run(options.ReconnectMaxMs + 2 * options.InitTimeoutMs);
    EXPECT_TRUE(client->IsConnected());
    EXPECT_EQ(Lines(), 2) << Said;
    EXPECT_NE(Said.find(" again\n"), std::string::npos) << Said;
}
