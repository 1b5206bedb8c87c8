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
//   l2_stat      2 pending, 5 when the TNC reports the connection, 0 after
//                its disconnect report (a failed connect included); 0x40
//                while line frames are queued
//   l2_get_i     received 'D' data, one frame per CR-terminated line
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
// The socket is non-blocking after ax_init and is drained on every
// layer-2 call; nothing ever waits on the TNC. When the TNC goes away every
// open handle drops to state 0 and the client reconnects in the background
// (rate-limited), so that later calls work again. Faults in what the TNC
// sends are said once each on standard error.
//
// Threading: GUI thread only; one instance per TNC connection.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/agw_frame.h"
#include "acquisition/layer2.h"

// Longest text of one 'D' frame sent: one AX.25 frame at Direwolf's default
// PACLEN, and far below the ~2,100 bytes at which Direwolf drops a client.
constexpr int kAgwSendChunk = 256;
// Transmit space is granted while fewer frames than this are outstanding.
constexpr int kAgwMaxOutstanding = 4;
// Line frames kept per handle before further ones are dropped.
constexpr int kAgwMaxQueuedFrames = 2000;
// Handles remembered at once (live and dead); the oldest dead one goes.
constexpr int kAgwMaxLinks = 64;
// At most 7 digipeaters, as AX.25 and the 'v' frame allow.
constexpr int kAgwMaxVias = 7;
// Bytes waiting to be sent to a TNC that reads nothing before the client
// gives the connection up.
constexpr std::size_t kAgwMaxSendBacklog = 256 * 1024;

struct AgwOptions {
    std::string Host = "localhost";
    int TcpPort = 8000;
    int RadioPort = 0;
    int InitTimeoutMs = 3000;         // ax_init: TCP connect plus version reply
    int ReconnectIntervalMs = 3000;   // between background reconnect attempts
    int OutstandingReplyTimeoutMs = 10000;  // a TNC that never answers 'Y'
    int ConnectTimeoutMs = 300000;     // a connect the TNC never reports on
    int DisconnectTimeoutMs = 120000;  // draining before 'd', and 'd' unconfirmed, each
    int DrainAskIntervalMs = 200;      // 'Y' while waiting to disconnect
};

// Parses agw://HOST:PORT[/RADIOPORT] (HOST may be [v6-address]). 0 with a
// one-line reason in error when the URI is malformed.
int ParseAgwUri(const char* uri, AgwOptions* options, char* error, int errorSize);

// Normalises a call for the TNC: upper case; 0 when it is empty, longer
// than 9 characters or holds anything but letters, digits and one "-SSID".
int NormaliseAgwCall(const char* call, char* out, int outSize);

class AgwClient final : public Layer2 {
public:
    explicit AgwClient(const AgwOptions& options);
    ~AgwClient() override;
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

    // Reads and writes whatever the socket allows; every layer-2 call does
    // this first. Public for an event loop that wants to drain it sooner.
    void Poll();
    // 1 while the TCP connection to the TNC is up.
    int IsConnected() const { return fd_ >= 0 && !connecting_; }

private:
    enum class Fault : unsigned { BadLength = 1, UnknownKind = 2, BadCall = 4, QueueFull = 8,
                                  Backlog = 16, ShortReply = 32, NoAskReply = 64 };

    struct Link {
        std::uint16_t Handle = 0;
        int State = 0;           // 0 down, 2 pending, 5 connected
        int Incoming = 0;
        int Taken = 0;           // an incoming link handed out by l2_get_sabm
        int Closing = 0;         // command 4 given: draining, then 'd'
        int DiscSent = 0;        // 'd' sent, confirmation awaited
        long long ClosingSince = 0;  // command 4, or 'd' once sent
        int EverSent = 0;        // text went out on this link
        long long Serial = 0;    // creation order, for evicting the oldest
        long long CreatedAt = 0;
        std::string Own;         // our end's call
        std::string Remote;      // the other station
        std::deque<std::vector<unsigned char>> Frames;
        std::vector<unsigned char> Current;  // handed out by l2_get_i
        int Outstanding = 0;     // TNC's count plus our sends since asking
        int AskPending = 0;      // a 'Y' is on its way
        long long AskedAt = 0;
        int SentSinceAsk = 0;
    };

    void StartConnect(long long now);
    void FinishConnect();
    void OnConnected();
    void DropConnection(const char* why);
    void ReadAvailable();
    void FlushOutput();
    void HandleFrame(const AgwFrame& frame);
    void Send(char kind, int pid, const char* from, const char* to, const unsigned char* data,
              std::size_t size);
    void Register(const std::string& call);
    void SayOnce(Fault fault, const char* text);
    Link* Find(std::uint16_t handle);
    Link* FindLive(const char* own, const char* remote);
    Link* NewLink();
    void CheckTimeouts(long long now);
    void Ask(Link& link, long long now);
    void SendDisconnect(Link& link, long long now);

    AgwOptions options_;
    std::vector<unsigned char> address_;  // resolved sockaddr of the TNC
    int fd_ = -1;
    int connecting_ = 0;
    int initialised_ = 0;
    long long lastAttempt_ = 0;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    std::string wantedCall_;      // Mycall as last given to us, normalised
    std::string registeredCall_;  // registered on the current TCP connection
    int askSupported_ = 1;        // 'Y' is asked at all
    int askAnswered_ = 0;         // the TNC has answered a 'Y'
    int versionSeen_ = 0;         // an 'R' reply arrived
    unsigned said_ = 0;
    std::vector<std::unique_ptr<Link>> links_;
    std::uint16_t lastHandle_ = 0;
    long long serial_ = 0;
};

std::unique_ptr<Layer2> CreateAgwClient(const AgwOptions& options);
