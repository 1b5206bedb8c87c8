// One AX.25 connection (version 2.0, modulo 8) as the program's own data
// link runs it over a TNC that only moves frames: connect and release,
// sequence numbers, acknowledgements, retries, flow control. It follows the
// data-link state diagrams of the AX.25 2.2 protocol document with the
// version 2.2 parts (SABME, XID, SREJ, modulo 128) left out:
//
//   Disconnected --Connect: SABM--> AwaitingConnection --UA--> Connected
//   Disconnected --SABM: UA--> Connected
//   Connected --T1 or T3 runs out: RR poll--> TimerRecovery --final--> Connected
//   Connected --Disconnect: DISC--> AwaitingRelease --UA or DM--> Disconnected
//   AwaitingConnection, TimerRecovery --N2 retries unanswered--> Disconnected
//   (End RetriedOut); AwaitingRelease --N2 retries--> Disconnected (Released)
//
// A SABME (a version 2.2 station calling first) is answered with FRMR, on
// which the caller falls back to SABM. Frames of another connection never
// reach a link: the owner routes by the address pair.
//
// Timers: T1 waits for an acknowledgement; it starts from Params.T1Ms and
// then follows the smoothed round trip of frames acknowledged without a
// retry (twice the smoothed value, within bounds), and backs off on each
// retry. T2 delays an acknowledgement so that frames arriving in one burst,
// and the text the program sends in answer, share one. T3 checks a quiet
// link. Times are milliseconds on the owner's clock; nothing here reads a
// clock or does input or output: what is to go on the air collects in Out,
// what arrived in order in Received.
//
// Threading: plain data and free functions; one thread per link.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "radio/ax25_frame.h"

struct Ax25Params {
    int T1Ms = 3000;    // first acknowledgement timer, before a round trip is known
    int T2Ms = 1000;    // acknowledgement delay
    int T3Ms = 180000;  // link check of a quiet link
    int N2 = 10;        // tries of one poll, connect or disconnect
    int K = 4;          // I frames sent and not yet acknowledged, 1..7
    int Paclen = 128;   // longest information field sent
};

enum class Ax25State { Disconnected, AwaitingConnection, AwaitingRelease, Connected, TimerRecovery };

// Why a link is (or went) down.
enum class Ax25End {
    None,          // never connected, or up
    Refused,       // the station answered the connect with DM
    RetriedOut,    // N2 tries went unanswered
    ClosedByPeer,  // DISC or DM from the station
    Released,      // our disconnect completed
    Reset,         // FRMR from the station, or the TNC went away
};

struct Ax25Link {
    Ax25Params Params;
    Ax25Address Own{};                   // our call on this link
    Ax25Address Remote{};                // the other station
    Ax25Address Digis[kAx25MaxDigis]{};  // the path our frames take, in order
    int DigiCount = 0;

    Ax25State State = Ax25State::Disconnected;
    Ax25End End = Ax25End::None;
    int VS = 0, VR = 0, VA = 0;                 // send, receive and acknowledge state variables
    int PeerBusy = 0;                           // the station sent RNR
    int RejectSent = 0;                         // a REJ is out; no other until the gap is filled
    int AckPending = 0;                         // an I frame arrived that we have not acknowledged
    int HeardSinceUp = 0;                       // the station has sent anything since the link came up
    int RC = 0;                                 // tries of the current poll, connect or disconnect
    long long T1Due = 0, T2Due = 0, T3Due = 0;  // 0: not running
    long long Srt = 0;                          // smoothed round trip
    long long T1V = 0;                          // the value T1 starts from

    std::string Pending;                              // text not yet cut into I frames
    std::vector<unsigned char> Sent[8];               // information of unacknowledged I frames, by N(S)
    long long SentAt[8]{};                            // when each went out; 0 after a retransmission
    long long FirstSentAt[8]{};                       // when each went out first
    std::deque<std::vector<unsigned char>> Received;  // information of I frames, in order, once each
    std::deque<std::vector<unsigned char>> Out;       // encoded frames to put on the air

    long long FramesOut = 0, BytesOut = 0;  // what the link put on the air
    long long Retries = 0;                  // T1 expiries
};

// Starts a connect from Disconnected: SABM.
void Ax25Connect(Ax25Link& link, long long now);
// Queues text; it goes out as I frames of at most Paclen bytes while the
// window allows.
void Ax25Send(Ax25Link& link, const unsigned char* text, std::size_t size, long long now);
// Ends the link: DISC, also from AwaitingConnection (the station may have
// taken the SABM whose UA is still on its way). Text not yet acknowledged
// is dropped: an owner that wants it delivered waits for Ax25AllAcked.
void Ax25Disconnect(Ax25Link& link, long long now);
// A frame of this connection (its addresses already matched).
void Ax25Receive(Ax25Link& link, const Ax25Frame& frame, long long now);
// Runs the timers that are due.
void Ax25Tick(Ax25Link& link, long long now);
// The TNC went away: the link is down (End Reset) and nothing more goes out.
void Ax25Lost(Ax25Link& link);

// The earliest running timer, or 0 when none runs.
long long Ax25NextDue(const Ax25Link& link);
// 1 while the link carries data (Connected or TimerRecovery).
int Ax25IsUp(const Ax25Link& link);
// 1 when nothing is queued or unacknowledged.
int Ax25AllAcked(const Ax25Link& link);
// Bytes queued or unacknowledged.
std::size_t Ax25Backlog(const Ax25Link& link);
