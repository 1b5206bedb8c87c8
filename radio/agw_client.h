// The layer-2 interface on a TNC that speaks the AGWPE TCP protocol
// (Direwolf, soundmodem, QtSoundModem, node software), chosen with
// agw://HOST:PORT[/RADIOPORT].
//
// Mapping onto the eight layer-2 functions:
//   ax_init      TCP connect (bounded wait) and version request 'R'; 0 when
//                the TNC does not answer
//   l2_connect   'X' registers the own call when not yet done; the first
//                call of the connect path is the destination, further calls
//                are digipeaters ('v' with the via list, else 'C'); a fresh
//                handle in state 2
//   l2_stat      2 pending (for as long as the TNC takes; the caller bounds
//                the wait), 5 when the TNC reports the connection, 0 after
//                its disconnect report (a failed connect included); 0x40
//                while line frames are queued (AgwLinkState below)
//   l2_get_i     received 'D' data, one frame per CR-terminated line; a
//                link holding more unread than kAgwMaxUnreadBytes is ended
//   l2_ialloc    granted while the link is up and the TNC's outstanding
//                frame count for it ('Y', polled and cached) is short
//   l2_puts      LF becomes CR; sent as 'D' in pieces of kAgwSendChunk
//   l2_bef       4 sends 'd' once the TNC has delivered what was sent on
//                the link ('Y' down to 0: a 'd' makes Direwolf drop frames
//                still queued, so a greeting followed at once by command 4
//                would never reach the caller); 2, 7, 14 and 15 are
//                bookkeeping (15 releases the current frame)
//   l2_get_sabm  registers the own call when it changed; the handle of an
//                incoming connection to it not yet taken, else 0
//
// The connection (agw_connection.h) is drained on every layer-2 call;
// nothing but ax_init ever waits on the TNC. When the TNC goes away every
// open handle drops to state 0 and the connection is made again in the
// background, so that later calls work again. Faults in what the TNC sends
// are said once each in the log. Every time limit is read from the
// AgwClock given to the client.
//
// Threading: GUI thread only; one instance per TNC connection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "radio/agw_connection.h"
#include "radio/agw_frame.h"
#include "radio/layer2.h"

// Longest text of one 'D' frame sent: one AX.25 frame at Direwolf's default
// PACLEN, and far below the ~2,100 bytes at which Direwolf drops a client.
constexpr int kAgwSendChunk = 256;
// Transmit space is granted while fewer frames than this are outstanding.
constexpr int kAgwMaxOutstanding = 4;
// Line frames and their bytes kept unread per handle; beyond either the
// rest is dropped and the link ended.
constexpr int kAgwMaxQueuedFrames = 2000;
constexpr std::size_t kAgwMaxUnreadBytes = 64 * 1024;
// Handles remembered at once (live and dead); the oldest dead one goes.
constexpr int kAgwMaxLinks = 64;
// At most 7 digipeaters, as AX.25 and the 'v' frame allow.
constexpr int kAgwMaxVias = 7;

// Where one handle's link stands. l2_stat reads it through AgwL2State.
enum class AgwLinkState {
    Closed,          // never connected, failed, disconnected or given up
    Pending,         // 'C' or 'v' sent; the TNC has not reported yet
    Connected,       // the TNC reported the connection
    Draining,        // command 4 given after text went out: 'Y' is asked
                     // until nothing is outstanding, then 'd' goes out
    Withdrawn,       // command 4 while pending: 'd' sent, awaiting the TNC
    DisconnectSent,  // 'd' sent on a connected link, awaiting the TNC
};

// The link-state number that l2_stat reports: 0 closed, 2 while a connect
// is pending (withdrawn ones included), 5 while the link is up, also while
// it is being ended.
int AgwL2State(AgwLinkState state);

// Normalises a call for the TNC: upper case; 0 when it is empty, longer
// than 9 characters or holds anything but letters, digits and one "-SSID".
int NormaliseAgwCall(const char* call, char* out, int outSize);

class AgwClient final : public Layer2, private AgwConnectionOwner {
public:
    explicit AgwClient(const AgwOptions& options, AgwClock& clock = SteadyAgwClock());
    AgwClient(const AgwClient&) = delete;
    AgwClient& operator=(const AgwClient&) = delete;

    int ax_init() override;
    std::uint16_t l2_connect(const char* mycall, const char* callPath) override;
    std::uint16_t l2_get_sabm(const char* mycall) override;
    int l2_stat(int zero, std::uint16_t handle) override;
    const unsigned char* l2_get_i(std::uint16_t handle) override;
    int l2_ialloc(std::uint16_t handle, int bytes) override;
    void l2_puts(std::uint16_t handle, const char* text) override;
    void l2_bef(int command, std::uint16_t handle) override;

    // Reads and writes whatever the socket allows and applies the time
    // limits; every layer-2 call does this first. Public for an event loop
    // that wants to drain it sooner.
    void Poll();
    // 1 while the TCP connection to the TNC is up.
    int IsConnected() const { return connection_.IsUp(); }
    Layer2Health health() const override { return Layer2Health{IsConnected(), reconnects_}; }

private:
    struct Link {
        std::uint16_t Handle = 0;
        AgwLinkState State = AgwLinkState::Closed;
        int Incoming = 0;
        int Taken = 0;               // an incoming link handed out by l2_get_sabm
        long long ClosingSince = 0;  // command 4 (or a refused caller), or 'd' once sent
        int EverSent = 0;            // text went out on this link
        long long Serial = 0;        // creation order, for evicting the oldest
        std::string Own;             // our end's call
        std::string Remote;          // the other station
        std::deque<std::vector<unsigned char>> Frames;
        std::size_t Unread = 0;              // bytes in Frames
        std::vector<unsigned char> Current;  // handed out by l2_get_i
        int Outstanding = 0;                 // TNC's count plus our sends since asking
        int AskPending = 0;                  // a 'Y' is on its way
        long long AskedAt = 0;
        int SentSinceAsk = 0;
    };

    void OnAgwFrame(const AgwFrame& frame) override;
    // One handler per kind of frame, after OnAgwFrame's checks.
    void OnRegisterReply(const AgwFrame& frame);
    void OnConnectReport(const AgwFrame& frame);
    void OnDisconnectReport(const AgwFrame& frame);
    void OnLinkData(const AgwFrame& frame);
    void OnOutstandingReply(const AgwFrame& frame);
    void OnAgwReconnected() override;
    void OnAgwLost() override;
    void Register(const std::string& call);
    Link* Find(std::uint16_t handle);
    Link* FindLive(const char* own, const char* remote);
    Link* NewLink();
    void CheckTimeouts(long long now);
    void Ask(Link& link, long long now);
    void SendDisconnect(Link& link, long long now);

    AgwClock& clock_;
    AgwConnection connection_;
    std::string wantedCall_;      // Mycall as last given to us, normalised
    std::string registeredCall_;  // registered on the current TCP connection
    int refusalSaid_ = 0;         // the TNC's refusal of registeredCall_ was said
    int askSupported_ = 1;        // 'Y' is asked at all
    int askAnswered_ = 0;         // the TNC has answered a 'Y'
    std::vector<std::unique_ptr<Link>> links_;
    std::uint16_t lastHandle_ = 0;
    long long serial_ = 0;
    long long reconnects_ = 0;
};

std::unique_ptr<Layer2> CreateAgwClient(const AgwOptions& options);
