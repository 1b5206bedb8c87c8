// The AGWPE client against an in-process fake TNC: what each layer-2 call
// sends, and what the connect cycle and the answering service see of what
// the TNC reports.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/agw_client.h"
#include "acquisition/layer2_backend.h"
#include "agw_fake_server.h"

namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

std::string LineText(const unsigned char* frame) {
    const int n = frame[0] | (frame[1] << 8);
    return std::string(reinterpret_cast<const char*>(frame + 3), static_cast<std::size_t>(n));
}

// Options for a TNC on this host; the timeouts are short to keep tests quick.
AgwOptions LocalOptions(int tcpPort, int radioPort = 0) {
    AgwOptions o;
    o.Host = "127.0.0.1";
    o.TcpPort = tcpPort;
    o.RadioPort = radioPort;
    o.InitTimeoutMs = 200;
    return o;
}

class AgwClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        options = LocalOptions(server.Port(), RadioPort());
        options.InitTimeoutMs = 1000;
        options.ReconnectIntervalMs = 20;
        options.OutstandingReplyTimeoutMs = 300;
        options.DisconnectTimeoutMs = 300;
        options.ConnectTimeoutMs = 1000;
        client = std::make_unique<AgwClient>(options);
        ASSERT_EQ(1, WithServerPumping(server, [&] { return client->ax_init(); }));
    }

    // Pumps both ends until pred holds; false after the timeout.
    bool Until(const std::function<bool()>& pred, int ms = 2000) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            server.Pump();
            client->Poll();
            if (pred()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    // Lets frames in flight arrive at both ends.
    void Settle(int ms = 50) {
        Until([] { return false; }, ms);
    }
    // An outgoing link to dest that the TNC has reported connected.
    std::uint16_t Connected(const char* dest = "Q1DIG") {
        const std::uint16_t h = client->l2_connect("Q1OWN", dest);
        Settle();
        server.Send('C', dest, "Q1OWN", std::string("*** CONNECTED With Station ") + dest + "\r");
        EXPECT_TRUE(Until([&] { return (client->l2_stat(0, h) & 7) == 5; }));
        return h;
    }
    int State(std::uint16_t h) { return client->l2_stat(0, h) & kL2StateMask; }
    virtual int RadioPort() const { return 0; }

    FakeAgwServer server;
    AgwOptions options;
    std::unique_ptr<AgwClient> client;
};

TEST(AgwInit, FailsWithoutATncAndWithASilentListener) {
    FakeAgwServer silent;
    silent.AnswerVersion = 0;
    AgwOptions o = LocalOptions(silent.Port());
    AgwClient quiet(o);
    EXPECT_EQ(0, WithServerPumping(silent, [&] { return quiet.ax_init(); }));

    const int unused = silent.Port();
    silent.StopListening();
    o.TcpPort = unused;
    AgwClient nobody(o);
    const auto start = Clock::now();
    EXPECT_EQ(0, nobody.ax_init());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(150));
    // A client that never came up stays inert.
    const std::uint16_t h = nobody.l2_connect("Q1OWN", "Q1DIG");
    EXPECT_EQ(0, nobody.l2_stat(0, h));
}

TEST(AgwUri, ParsesHostPortAndRadioPort) {
    struct Case {
        const char* uri;
        int ok;
        const char* host;
        int port;
        int radio;
    } cases[] = {
        {"agw://localhost:8000", 1, "localhost", 8000, 0},
        {"agw://10.0.0.2:8001/1", 1, "10.0.0.2", 8001, 1},
        {"agw://[::1]:8000/2", 1, "::1", 8000, 2},
        {"agw://tnc", 1, "tnc", 8000, 0},
        {"agw://:8000", 0, "", 0, 0},
        {"agw://h:0", 0, "", 0, 0},
        {"agw://h:70000", 0, "", 0, 0},
        {"agw://h:8000/256", 0, "", 0, 0},
        {"agw://h:8000x", 0, "", 0, 0},
        {"kiss://h:8001", 0, "", 0, 0},
    };
    for (const auto& c : cases) {
        AgwOptions o;
        char error[200] = "";
        EXPECT_EQ(c.ok, ParseAgwUri(c.uri, &o, error, sizeof error)) << c.uri;
        if (c.ok) {
            EXPECT_EQ(c.host, o.Host) << c.uri;
            EXPECT_EQ(c.port, o.TcpPort) << c.uri;
            EXPECT_EQ(c.radio, o.RadioPort) << c.uri;
        } else {
            EXPECT_NE('\0', error[0]) << c.uri;
        }
    }
}

TEST(AgwUri, TheBackendFactoryBuildsTheClientOrSaysWhy) {
    char error[200] = "";
    EXPECT_NE(nullptr, CreateLayer2Backend("agw://127.0.0.1:8000/1", error, sizeof error));
    EXPECT_EQ(nullptr, CreateLayer2Backend("agw://127.0.0.1:0", error, sizeof error));
    EXPECT_NE(nullptr, std::strstr(error, "agw://127.0.0.1:0")) << error;
    EXPECT_NE(nullptr, std::strstr(BackendStartHint("agw://tnc:8001"), "agw://tnc:8001"));
}

TEST_F(AgwClientTest, ConnectGoesOutAsCOrVWithTheViaList) {
    const std::uint16_t direct = client->l2_connect("q1own", "q1dig-2");
    const std::uint16_t via = client->l2_connect("Q1OWN", "Q1DIG Q2VIA-1  q3via");
    Settle();
    EXPECT_NE(0, direct);
    EXPECT_NE(direct, via);
    EXPECT_EQ(2, State(direct));
    EXPECT_EQ(2, State(via));

    ASSERT_EQ(Strings{"Q1OWN>"}, server.Pairs('X'));
    ASSERT_EQ(Strings{"Q1OWN>Q1DIG-2"}, server.Pairs('C'));
    ASSERT_EQ(1u, server.Of('v').size());
    const auto v = server.Of('v')[0];
    EXPECT_EQ("Q1DIG", v.To);
    std::string expected(1, '\x02');
    expected += std::string("Q2VIA-1\0\0\0", 10) + std::string("Q3VIA\0\0\0\0\0", 10);
    EXPECT_EQ(expected, v.Data);
}

TEST_F(AgwClientTest, ImpossiblePathsFailAtOnceWithoutAFrame) {
    const char* paths[] = {"", "   ", "Q1DIG Q2 Q3 Q4 Q5 Q6 Q7 Q8 Q9", "Q1DIGITALX", "Q1-0X", "Q1DIG -1"};
    for (const char* p : paths) {
        const std::uint16_t h = client->l2_connect("Q1OWN", p);
        EXPECT_NE(0, h) << p;
        EXPECT_EQ(0, State(h)) << p;
    }
    const std::uint16_t badOwn = client->l2_connect("Q1 OWN", "Q1DIG");
    EXPECT_EQ(0, State(badOwn));
    Settle();
    EXPECT_TRUE(server.Of('C').empty());
    EXPECT_TRUE(server.Of('v').empty());
}

TEST_F(AgwClientTest, ConnectOutcomesBecomeLinkStates) {
    struct Case {
        char kind;
        const char* text;
        int state;
    } cases[] = {
        {'C', "*** CONNECTED With Station Q1DIG\r", 5},
        {'C', "*** connected with station q1dig\r", 5},
        {'d', "*** DISCONNECTED RETRYOUT With Q1DIG\r", 0},
        {'d', "*** DISCONNECTED From Station Q1DIG\r", 0},
    };
    for (const auto& c : cases) {
        const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG");
        Settle();
        EXPECT_EQ(2, State(h)) << c.text;  // pending until the TNC reports
        server.Send(c.kind, "Q1DIG", "Q1OWN", c.text);
        EXPECT_TRUE(Until([&] { return State(h) == c.state; })) << c.text;
        if (c.state == 5) {
            client->l2_bef(kL2Disconnect, h);
            Settle();
            server.Send('d', "Q1DIG", "Q1OWN", "*** DISCONNECTED From Station Q1DIG\r");
            EXPECT_TRUE(Until([&] { return State(h) == 0; }));
        }
    }
    // A report for another pair of calls or another radio port changes nothing.
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG");
    server.Send('C', "Q9XYZ", "Q1OWN", "*** CONNECTED With Station Q9XYZ\r");
    server.Send('C', "Q1DIG", "Q1OWN", "*** CONNECTED With Station Q1DIG\r", 1);
    Settle();
    EXPECT_EQ(2, State(h));
}

TEST_F(AgwClientTest, ReportsAreMatchedByCallsBeforeText) {
    // Both ends called at once: the TNC's one link for the pair is ours,
    // though reported as incoming.
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG");
    Settle();
    server.Send('C', "Q1DIG", "Q1OWN", "*** CONNECTED To Station Q1DIG\r");
    EXPECT_TRUE(Until([&] { return State(h) == 5; }));
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));

    // A report of an own connect that nobody waits for is ended.
    server.Send('C', "Q2DIG", "Q1OWN", "*** CONNECTED With Station Q2DIG\r");
    ASSERT_TRUE(Until([&] { return server.Of('d').size() == 1; }));
    EXPECT_EQ("Q2DIG", server.Of('d')[0].To);
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));
}

TEST_F(AgwClientTest, AConnectTheTncNeverReportsOnFails) {
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG");
    Settle();
    EXPECT_EQ(2, State(h));
    EXPECT_TRUE(Until([&] { return State(h) == 0; }, 3000));
    ASSERT_TRUE(Until([&] { return server.Of('d').size() == 1; }));
    EXPECT_EQ("Q1DIG", server.Of('d')[0].To);
}

TEST_F(AgwClientTest, ReceivedDataIsCutIntoLineFrames) {
    const std::uint16_t h = Connected();
    EXPECT_EQ(0, client->l2_stat(0, h) & kL2DataWaiting);
    server.Send('D', "Q1DIG", "Q1OWN", "Welcome\rto Q1DIG\r");   // two lines in one frame
    server.Send('D', "Q1DIG", "Q1OWN", "=>");                    // a prompt without CR
    server.Send('D', "Q1DIG", "Q1OWN", "Link to Q");              // a line split over two frames
    server.Send('D', "Q1DIG", "Q1OWN", "2XYZ up\r=>");
    ASSERT_TRUE(Until([&] { return (client->l2_stat(0, h) & kL2DataWaiting) != 0; }));
    Settle();

    const char* expected[] = {"Welcome\r", "to Q1DIG\r", "=>", "Link to Q", "2XYZ up\r", "=>"};
    for (const char* e : expected) {
        EXPECT_NE(0, client->l2_stat(0, h) & kL2DataWaiting) << e;
        const unsigned char* f = client->l2_get_i(h);
        ASSERT_NE(nullptr, f) << e;
        EXPECT_EQ(e, LineText(f));
        EXPECT_EQ(0, f[2]);
        // The frame stays intact while other handles and the TNC are served.
        client->l2_stat(0, static_cast<std::uint16_t>(h + 1));
        Settle(2);
        EXPECT_EQ(e, LineText(f));
        client->l2_bef(kL2FrameDone, h);
    }
    EXPECT_EQ(5, client->l2_stat(0, h));  // nothing waiting any more
    EXPECT_EQ(nullptr, client->l2_get_i(h));

    // Data for a station we are not linked with is not ours.
    server.Send('D', "Q9XYZ", "Q1OWN", "stray\r");
    Settle();
    EXPECT_EQ(5, client->l2_stat(0, h));

    // Lines received before a disconnect stay readable.
    server.Send('D', "Q1DIG", "Q1OWN", "last words\r");
    server.Send('d', "Q1DIG", "Q1OWN", "*** DISCONNECTED From Station Q1DIG\r");
    ASSERT_TRUE(Until([&] { return client->l2_stat(0, h) == kL2DataWaiting; }));
    EXPECT_EQ("last words\r", LineText(client->l2_get_i(h)));
}

TEST_F(AgwClientTest, TransmitSpaceFollowsLinkAndOutstandingFrames) {
    const std::uint16_t pending = client->l2_connect("Q1OWN", "Q2DIG");
    EXPECT_EQ(0, client->l2_ialloc(pending, 256));

    const std::uint16_t h = Connected();
    EXPECT_EQ(1, client->l2_ialloc(h, 256));
    client->l2_puts(h, "p\n\n");
    Settle();
    ASSERT_EQ(Strings{"Q1OWN>Q1DIG"}, server.Pairs('Y'));
    ASSERT_EQ(1u, server.Of('D').size());
    const auto d = server.Of('D')[0];
    EXPECT_EQ("p\r\r", d.Data);  // LF becomes CR
    EXPECT_EQ(0xF0, d.Pid);
    EXPECT_EQ("Q1OWN", d.From);
    EXPECT_EQ("Q1DIG", d.To);

    // Unanswered, the client counts its own sends: the window fills up.
    int granted = 0;
    while (client->l2_ialloc(h, 100) && granted < 10) {
        client->l2_puts(h, "line\n");
        ++granted;
    }
    EXPECT_EQ(kAgwMaxOutstanding - 1, granted);
    // The TNC says its queue is empty (sends after the question count on top).
    const unsigned char none[4] = {0, 0, 0, 0};
    server.SendRaw('Y', "Q1OWN", "Q1DIG", none, 4);
    EXPECT_TRUE(Until([&] { return client->l2_ialloc(h, 100) == 1; }));
    const unsigned char busy[4] = {9, 0, 0, 0};
    Settle();
    server.SendRaw('Y', "Q1OWN", "Q1DIG", busy, 4);
    EXPECT_TRUE(Until([&] { return client->l2_ialloc(h, 100) == 0; }));

    // A long text goes out in pieces the TNC can take.
    const std::string longText(1000, 'x');
    server.Frames.clear();
    client->l2_puts(h, longText.c_str());
    Settle();
    std::string joined;
    for (const auto& f : server.Of('D')) {
        EXPECT_LE(f.Data.size(), static_cast<std::size_t>(kAgwSendChunk));
        joined += f.Data;
    }
    EXPECT_EQ(longText, joined);

    client->l2_bef(kL2Disconnect, h);
    EXPECT_EQ(0, client->l2_ialloc(h, 100));
}

TEST_F(AgwClientTest, ATncThatNeverAnswersYStillGrantsSpace) {
    const std::uint16_t h = Connected();
    for (int i = 0; i < kAgwMaxOutstanding; ++i) {
        ASSERT_EQ(1, client->l2_ialloc(h, 100));
        client->l2_puts(h, "x\n");
    }
    EXPECT_EQ(0, client->l2_ialloc(h, 100));
    EXPECT_TRUE(Until([&] { return client->l2_ialloc(h, 100) == 1; }, 2000));
}

TEST_F(AgwClientTest, DisconnectFromEitherSide) {
    // Ours: 'd' goes out; the link counts as up until the TNC confirms.
    const std::uint16_t h = Connected();
    client->l2_bef(kL2Disconnect, h);
    Settle();
    ASSERT_EQ(Strings{"Q1OWN>Q1DIG"}, server.Pairs('d'));
    EXPECT_EQ(5, State(h));
    server.Send('d', "Q1DIG", "Q1OWN", "*** DISCONNECTED From Station Q1DIG\r");
    EXPECT_TRUE(Until([&] { return State(h) == 0; }));

    // Theirs.
    const std::uint16_t g = Connected("Q2DIG");
    server.Send('d', "Q2DIG", "Q1OWN", "*** DISCONNECTED From Station Q2DIG\r");
    EXPECT_TRUE(Until([&] { return State(g) == 0; }));
    client->l2_bef(kL2Disconnect, g);  // nothing left to end
    Settle();
    EXPECT_EQ(1u, server.Of('d').size());

    // A TNC that never confirms does not hold the call forever.
    const std::uint16_t k = Connected("Q3DIG");
    client->l2_bef(kL2Disconnect, k);
    EXPECT_TRUE(Until([&] { return State(k) == 0; }, 2000));
}

TEST_F(AgwClientTest, TextSentBeforeADisconnectIsDeliveredFirst) {
    // A TNC drops frames still queued when told to disconnect, so 'd' waits
    // until the TNC reports nothing outstanding on the link.
    const std::uint16_t h = Connected();
    ASSERT_EQ(1, client->l2_ialloc(h, 256));
    client->l2_puts(h, "Hopwatch V 2.34 link data acquisition!\n");
    client->l2_bef(kL2AfterSend, h);
    client->l2_bef(kL2Disconnect, h);
    EXPECT_EQ(0, client->l2_ialloc(h, 100));  // nothing more once ending
    const unsigned char one[4] = {1, 0, 0, 0};
    const unsigned char none[4] = {0, 0, 0, 0};
    ASSERT_TRUE(Until([&] { return server.Of('Y').size() >= 1; }));
    server.SendRaw('Y', "Q1OWN", "Q1DIG", one, 4);
    ASSERT_TRUE(Until([&] { return server.Of('Y').size() >= 2; }));  // asked again later
    EXPECT_TRUE(server.Of('d').empty());
    EXPECT_EQ(5, State(h));
    server.SendRaw('Y', "Q1OWN", "Q1DIG", none, 4);
    ASSERT_TRUE(Until([&] { return server.Of('d').size() == 1; }));
    server.Send('d', "Q1DIG", "Q1OWN", "*** DISCONNECTED From Station Q1DIG\r");
    EXPECT_TRUE(Until([&] { return State(h) == 0; }));

    // The caller hanging up meanwhile ends the wait as well.
    const std::uint16_t g = Connected("Q2DIG");
    client->l2_puts(g, "text\n");
    client->l2_bef(kL2Disconnect, g);
    server.Send('d', "Q2DIG", "Q1OWN", "*** DISCONNECTED From Station Q2DIG\r");
    EXPECT_TRUE(Until([&] { return State(g) == 0; }));
    Settle();
    EXPECT_EQ(1u, server.Of('d').size());
}

TEST_F(AgwClientTest, ATncThatVanishesDropsEveryLinkAndIsFoundAgain) {
    const std::uint16_t up = Connected();
    const std::uint16_t pending = client->l2_connect("Q1OWN", "Q2DIG");
    Settle();
    const int port = server.Port();
    server.Vanish();
    server.StopListening();
    EXPECT_TRUE(Until([&] { return State(up) == 0 && State(pending) == 0; }));
    EXPECT_FALSE(client->IsConnected());

    // While it is away nothing blocks, and calls fail at once.
    const auto start = Clock::now();
    const std::uint16_t meanwhile = client->l2_connect("Q1OWN", "Q1DIG");
    EXPECT_EQ(0, State(meanwhile));
    EXPECT_EQ(0, client->l2_ialloc(up, 100));
    client->l2_puts(up, "lost\n");
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));

    // It comes back on the same port: the client reconnects by itself, asks
    // the version again and registers the own call again.
    server.Frames.clear();
    server.Listen(port);
    ASSERT_TRUE(Until([&] { return client->IsConnected() && server.Of('X').size() == 1; }));
    EXPECT_EQ(1u, server.Of('R').size());
    EXPECT_EQ("Q1OWN", server.Of('X')[0].From);
    const std::uint16_t again = Connected();
    EXPECT_EQ(5, State(again));
    EXPECT_EQ(0, State(up));
}

TEST_F(AgwClientTest, IncomingConnectsToMycallAreHandedOutOnce) {
    EXPECT_EQ(0, client->l2_get_sabm("q1own"));
    Settle();
    ASSERT_EQ(Strings{"Q1OWN>"}, server.Pairs('X'));

    server.Send('C', "Q5CALL", "Q1OWN", "*** CONNECTED To Station Q5CALL\r");
    server.Send('C', "Q6CALL", "Q9OTHR", "*** CONNECTED To Station Q6CALL\r");
    Settle();
    const std::uint16_t h = client->l2_get_sabm("Q1OWN");
    ASSERT_NE(0, h);
    EXPECT_EQ(0, client->l2_get_sabm("Q1OWN"));  // taken
    EXPECT_EQ(5, State(h));
    // The caller of a call that is not ours is sent away.
    Settle();
    ASSERT_EQ(Strings{"Q9OTHR>Q6CALL"}, server.Pairs('d'));

    // The answer goes back to the caller.
    client->l2_bef(kL2NewIncoming, h);
    ASSERT_EQ(1, client->l2_ialloc(h, 256));
    client->l2_puts(h, "Hopwatch V 2.34 link data acquisition!\n");
    Settle();
    ASSERT_EQ(Strings{"Q1OWN>Q5CALL"}, server.Pairs('D'));
    EXPECT_EQ("Hopwatch V 2.34 link data acquisition!\r", server.Of('D')[0].Data);
    server.Send('d', "Q5CALL", "Q1OWN", "*** DISCONNECTED From Station Q5CALL\r");
    EXPECT_TRUE(Until([&] { return State(h) == 0; }));

    // A new Mycall replaces the registration.
    server.Frames.clear();
    EXPECT_EQ(0, client->l2_get_sabm("Q7NEW"));
    Settle();
    ASSERT_EQ(Strings{"Q1OWN>"}, server.Pairs('x'));
    ASSERT_EQ(Strings{"Q7NEW>"}, server.Pairs('X'));
    client->l2_get_sabm("Q7NEW");
    Settle();
    EXPECT_EQ(1u, server.Of('X').size());  // not again while unchanged
}

TEST_F(AgwClientTest, GarbageFromTheTncIsSurvivedAndSaidOnce) {
    const std::uint16_t h = Connected();
    ::testing::internal::CaptureStderr();
    // Unknown kinds, twice: ignored, one notice.
    server.Send('Z', "Q1DIG", "Q1OWN", "what");
    server.Send('\x01', "Q1DIG", "Q1OWN", std::string("\0\xff", 2));
    // Calls that are not text.
    server.Send('D', "Q1\x01\x02", "Q1OWN", "bad\r");
    // 8-bit and NUL bytes in data are just text to pass on.
    server.Send('D', "Q1DIG", "Q1OWN", std::string("a\0\xe4\r", 4));
    ASSERT_TRUE(Until([&] { return (client->l2_stat(0, h) & kL2DataWaiting) != 0; }));
    EXPECT_EQ(std::string("a\0\xe4\r", 4), LineText(client->l2_get_i(h)));
    EXPECT_TRUE(client->IsConnected());

    // A length no TNC sends: the stream is out of step; the client starts over.
    std::vector<unsigned char> bad;
    EncodeAgwFrame(0, 'D', 0xF0, "Q1DIG", "Q1OWN", nullptr, 0, &bad);
    bad[28] = 0xFF;
    bad[29] = 0xFF;
    bad[30] = 0xFF;
    bad[31] = 0x7F;
    server.SendBytes(bad);
    ASSERT_TRUE(Until([&] { return State(h) == 0; }));
    ASSERT_TRUE(Until([&] { return server.Accepted() == 2 && client->IsConnected(); }));
    server.Send('Z', "Q1DIG", "Q1OWN", "again");
    Settle();
    const std::string err = ::testing::internal::GetCapturedStderr();
    auto count = [&](const char* s) {
        int n = 0;
        for (auto at = err.find(s); at != std::string::npos; at = err.find(s, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(1, count("unknown kind")) << err;
    EXPECT_EQ(1, count("unreadable call")) << err;
    EXPECT_EQ(1, count("impossible data length")) << err;
    const std::uint16_t g = Connected();
    EXPECT_EQ(5, State(g));
}

TEST_F(AgwClientTest, UnknownHandlesReadAsDownAndDeadLinksMakeRoom) {
    EXPECT_EQ(0, client->l2_stat(0, 0));
    EXPECT_EQ(0, client->l2_stat(0, 4711));
    EXPECT_EQ(nullptr, client->l2_get_i(4711));
    EXPECT_EQ(0, client->l2_ialloc(4711, 100));
    client->l2_puts(4711, "x\n");
    client->l2_bef(kL2Disconnect, 4711);
    Settle();
    EXPECT_TRUE(server.Of('D').empty());
    EXPECT_TRUE(server.Of('d').empty());

    // Old dead links make room for new ones.
    std::uint16_t first = 0;
    for (int i = 0; i < kAgwMaxLinks * 3; ++i) {
        const std::uint16_t h = client->l2_connect("Q1OWN", "");  // fails at once
        ASSERT_NE(0, h);
        if (i == 0) first = h;
    }
    const std::uint16_t h = Connected();
    EXPECT_EQ(5, State(h));
    EXPECT_EQ(0, State(first));
}

struct AgwRadioPortTest : AgwClientTest {
    int RadioPort() const override { return 1; }
};

TEST_F(AgwRadioPortTest, EveryFrameGoesToTheChosenPortAndOnlyItsReportsCount) {
    const std::uint16_t h = client->l2_connect("Q1OWN", "Q1DIG Q2VIA");
    server.Send('C', "Q1DIG", "Q1OWN", "*** CONNECTED With Station Q1DIG\r", 0);  // other port
    Settle();
    EXPECT_EQ(2, client->l2_stat(0, h));
    server.Send('C', "Q1DIG", "Q1OWN", "*** CONNECTED With Station Q1DIG\r", 1);
    EXPECT_TRUE(Until([&] { return client->l2_stat(0, h) == 5; }));
    client->l2_ialloc(h, 256);
    client->l2_puts(h, "p\n");
    client->l2_bef(kL2Disconnect, h);
    Settle();
    int perKind = 0;
    for (const auto& f : server.Frames) {
        if (f.Kind == 'R') continue;  // the version request names no port
        EXPECT_EQ(1, f.Port) << f.Kind;
        ++perKind;
    }
    EXPECT_GE(perKind, 4);  // X, v, Y, D at least
}

}  // namespace
