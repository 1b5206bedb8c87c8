// The AX.25 version 2.0 data link of one connection; see ax25_link.h.
#include "radio/ax25_link.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr long long kMinT1Ms = 1000;
constexpr long long kMaxT1Ms = 30000;
// Each retry waits this much longer than the one before.
constexpr long long kBackoffStepMs = 500;
// FRMR reason: the control field is not implemented (here: SABME).
constexpr unsigned char kFrmrW = 0x01;

int Mod8(int v) {
    return v & 7;
}
// Frames sent and not yet acknowledged.
int Outstanding(const Ax25Link& l) {
    return Mod8(l.VS - l.VA);
}
// An N(R) that acknowledges something in [V(A), V(S)].
int ValidNR(const Ax25Link& l, int nr) {
    return Mod8(nr - l.VA) <= Outstanding(l);
}

void Emit(Ax25Link& l, unsigned char control, int command, const unsigned char* info, std::size_t size,
          int pid) {
    Ax25Frame f{};
    f.Destination = l.Remote;
    f.Source = l.Own;
    f.DigiCount = l.DigiCount;
    for (int i = 0; i < l.DigiCount; ++i) {
        f.Digis[i] = l.Digis[i];
        f.Digis[i].Bit = 0;
    }
    f.Command = command;
    f.Control = control;
    f.Pid = pid;
    f.InfoSize = std::min(size, kAx25MaxInfo);
    if (size > 0) std::memcpy(f.Info, info, f.InfoSize);
    std::vector<unsigned char> bytes;
    EncodeAx25Frame(f, &bytes);
    ++l.FramesOut;
    l.BytesOut += static_cast<long long>(bytes.size());
    l.Out.push_back(std::move(bytes));
}

void EmitU(Ax25Link& l, unsigned char type, int command, int pf) {
    Emit(l, static_cast<unsigned char>(type | (pf ? kAx25PollFinal : 0)), command, nullptr, 0, -1);
}

// Every S frame carries V(R), so it acknowledges all that arrived.
void EmitS(Ax25Link& l, unsigned char type, int command, int pf) {
    Emit(l, static_cast<unsigned char>((l.VR << 5) | (pf ? kAx25PollFinal : 0) | type), command, nullptr, 0,
         -1);
    l.AckPending = 0;
    l.T2Due = 0;
}

void EmitI(Ax25Link& l, int ns, int poll) {
    const std::vector<unsigned char>& info = l.Sent[ns];
    Emit(l, static_cast<unsigned char>((l.VR << 5) | (poll ? kAx25PollFinal : 0) | (ns << 1)), 1, info.data(),
         info.size(), kAx25PidText);
    l.AckPending = 0;
    l.T2Due = 0;
}

long long CurrentT1(const Ax25Link& l) {
    return std::clamp(l.T1V + l.RC * kBackoffStepMs, kMinT1Ms, kMaxT1Ms);
}
void StartT1(Ax25Link& l, long long now) {
    l.T1Due = now + CurrentT1(l);
}
void StartT3(Ax25Link& l, long long now) {
    l.T3Due = l.Params.T3Ms > 0 ? now + l.Params.T3Ms : 0;
}

// A round trip measured on a frame sent once: T1 follows twice the
// smoothed value.
// Never below the first T1: a short exchange (SABM and UA) says little of
// how long a station takes to answer a command with a long reply, which
// keeps the channel busy for seconds at 1200 baud.
void Measure(Ax25Link& l, long long rtt) {
    l.Srt = (7 * l.Srt + rtt) / 8;
    l.T1V = std::clamp(std::max<long long>(2 * l.Srt, l.Params.T1Ms), kMinT1Ms, kMaxT1Ms);
}

// T1 from the round trip the owner remembers from an earlier link to the
// station, else from the first value.
void StartTimers(Ax25Link& l) {
    if (l.Srt <= 0) l.Srt = l.Params.T1Ms / 2;
    l.T1V = std::clamp(std::max<long long>(2 * l.Srt, l.Params.T1Ms), kMinT1Ms, kMaxT1Ms);
}

void ResetSequence(Ax25Link& l) {
    l.VS = l.VR = l.VA = 0;
    l.PeerBusy = l.RejectSent = l.AckPending = 0;
    l.T2Due = 0;
}

// A link set up again starts afresh: what was queued or not acknowledged
// is dropped, as the station may hold part of it already and a second copy
// under new numbers would reach it twice.
void DiscardQueue(Ax25Link& l) {
    l.Pending.clear();
    for (auto& sent : l.Sent) sent.clear();
}

// Unacknowledged text goes back in front of the queue, to be sent again on
// the link set up anew.
void Requeue(Ax25Link& l) {
    std::string back;
    for (int n = l.VA; n != l.VS; n = Mod8(n + 1)) {
        back.append(l.Sent[n].begin(), l.Sent[n].end());
        l.Sent[n].clear();
    }
    l.Pending.insert(0, back);
}

void GoDown(Ax25Link& l, Ax25End end) {
    l.State = Ax25State::Disconnected;
    l.End = end;
    l.T1Due = l.T2Due = l.T3Due = 0;
    l.Pending.clear();
    for (auto& s : l.Sent) s.clear();
    l.AckPending = 0;
}

void EnterConnected(Ax25Link& l, long long now) {
    ResetSequence(l);
    l.State = Ax25State::Connected;
    l.End = Ax25End::None;
    l.RC = 0;
    l.T1Due = 0;
    l.HeardSinceUp = 0;
    StartT3(l, now);
}

void Establish(Ax25Link& l, long long now) {
    DiscardQueue(l);
    ResetSequence(l);
    l.State = Ax25State::AwaitingConnection;
    l.RC = 0;
    l.T3Due = 0;
    l.SentAt[0] = now;  // the SABM's round trip
    EmitU(l, kAx25SABM, 1, 1);
    StartT1(l, now);
}

// Sends queued text while the window and the station allow.
// While T2 runs, new frames wait for it: when it runs out they go with
// an N(R) that acknowledges everything that came meanwhile, and no RR of
// its own is needed.
void Transmit(Ax25Link& l, long long now) {
    if (l.State != Ax25State::Connected || l.PeerBusy || l.T2Due != 0) return;
    const std::size_t paclen = static_cast<std::size_t>(std::clamp(l.Params.Paclen, 1, 256));
    const int window = std::clamp(l.Params.K, 1, 7);
    while (!l.Pending.empty() && Outstanding(l) < window) {
        const std::size_t n = std::min(paclen, l.Pending.size());
        l.Sent[l.VS].assign(l.Pending.begin(), l.Pending.begin() + static_cast<std::ptrdiff_t>(n));
        l.Pending.erase(0, n);
        l.SentAt[l.VS] = l.FirstSentAt[l.VS] = now;
        EmitI(l, l.VS, 0);
        l.VS = Mod8(l.VS + 1);
        if (l.T1Due == 0) StartT1(l, now);
        l.T3Due = 0;
    }
}

// Sends again every frame from N(R) on.
void Retransmit(Ax25Link& l, int from, long long now) {
    for (int n = from; n != l.VS; n = Mod8(n + 1)) {
        l.SentAt[n] = 0;  // its round trip would mislead T1
        EmitI(l, n, 0);
    }
    if (from != l.VS) StartT1(l, now);
}

// Takes the acknowledgement in N(R): frees what it covers, measures the
// round trip and runs T1 while anything is still outstanding.
void Acknowledge(Ax25Link& l, int nr, long long now, int byIFrame = 0) {
    if (nr == l.VA) return;
    for (int n = l.VA; n != nr; n = Mod8(n + 1)) {
        if (l.SentAt[n] != 0 && l.RC == 0) {
            Measure(l, now - l.SentAt[n]);
        } else if (byIFrame && l.State == Ax25State::TimerRecovery && Mod8(n + 1) == nr) {
            // T1 ran out, yet the station's own I frame acknowledges the
            // frame: that frame was not lost, the station was slow (a long
            // reply on the air). A poll is answered with a response, never
            // an I frame, so the time since the first sending is a true
            // round trip, and T1 learns it.
            Measure(l, now - l.FirstSentAt[n]);
        }
        l.Sent[n].clear();
    }
    l.VA = nr;
    if (l.State != Ax25State::Connected) return;  // timer recovery keeps T1 and RC for its poll
    l.RC = 0;
    // A busy station is polled every T1 until it is ready again, so that a
    // lost RR cannot leave the link waiting for T3.
    if (l.VA == l.VS && !l.PeerBusy) {
        l.T1Due = 0;
        StartT3(l, now);
    } else {
        StartT1(l, now);
    }
}

// Answers a command that expects a reply: RR with the final bit.
void AnswerPoll(Ax25Link& l) {
    EmitS(l, kAx25RR, 0, 1);
}

void ReceiveI(Ax25Link& l, const Ax25Frame& f, long long now) {
    const int poll = Ax25PF(f.Control);
    const int nr = Ax25NR(f.Control);
    // An N(R) outside the window is a late copy (a digipeater's duplicate,
    // a retransmission crossing our acknowledgement): its acknowledgement
    // is stale, but it must not tear the link down.
    if (ValidNR(l, nr)) Acknowledge(l, nr, now, 1);
    if (Ax25NS(f.Control) == l.VR) {
        l.Received.emplace_back(f.Info, f.Info + f.InfoSize);
        l.VR = Mod8(l.VR + 1);
        l.RejectSent = 0;
        if (poll) {
            AnswerPoll(l);
        } else if (!l.AckPending) {
            l.AckPending = 1;
            l.T2Due = now + std::max(0, l.Params.T2Ms);
        }
    } else if (!l.RejectSent) {
        l.RejectSent = 1;
        EmitS(l, kAx25REJ, 0, poll);
    } else if (poll) {
        AnswerPoll(l);
    }
}

// RR, RNR and REJ in Connected or TimerRecovery.
void ReceiveS(Ax25Link& l, const Ax25Frame& f, long long now) {
    const unsigned char type = Ax25Type(f.Control);
    const int nr = Ax25NR(f.Control);
    const int pf = Ax25PF(f.Control);
    l.PeerBusy = type == kAx25RNR;
    if (f.Command && pf) AnswerPoll(l);
    if (!ValidNR(l, nr)) return;
    if (l.State == Ax25State::TimerRecovery && !f.Command && pf) {
        // The answer to our poll says where the station stands.
        Acknowledge(l, nr, now);
        l.T1Due = 0;
        l.RC = 0;
        l.State = Ax25State::Connected;
        if (l.VA == l.VS && !l.PeerBusy) {
            StartT3(l, now);
        } else if (!l.PeerBusy) {
            Retransmit(l, l.VA, now);
        } else {
            StartT1(l, now);
        }
        return;
    }
    Acknowledge(l, nr, now);
    if (type == kAx25REJ && l.State == Ax25State::Connected) Retransmit(l, l.VA, now);
    if (l.PeerBusy && l.T1Due == 0) StartT1(l, now);
}

void ReceiveConnected(Ax25Link& l, const Ax25Frame& f, long long now) {
    const unsigned char type = Ax25Type(f.Control);
    const int pf = Ax25PF(f.Control);
    const int heard = l.HeardSinceUp;
    l.HeardSinceUp = 1;
    switch (Ax25KindOf(f.Control)) {
        case Ax25Kind::I:
            ReceiveI(l, f, now);
            break;
        case Ax25Kind::S:
            ReceiveS(l, f, now);
            break;
        case Ax25Kind::U:
            if (type == kAx25DISC) {
                EmitU(l, kAx25UA, 0, pf);
                GoDown(l, Ax25End::ClosedByPeer);
            } else if (type == kAx25DM) {
                GoDown(l, Ax25End::ClosedByPeer);
            } else if (type == kAx25SABM) {
                // A station that has sent nothing since our UA never got
                // it: it took our I frames for a link it did not have and
                // dropped them, so they go again. One that was on the link
                // has set it up anew and forgotten where it stood.
                if (heard) {
                    DiscardQueue(l);
                } else {
                    Requeue(l);
                }
                EmitU(l, kAx25UA, 0, pf);
                EnterConnected(l, now);
            } else if (type == kAx25FRMR) {
                Establish(l, now);
            }
            // A late UA (a copy of the one that set the link up), XID,
            // TEST and the rest change nothing.
            break;
    }
    Transmit(l, now);
}

}  // namespace

void Ax25Connect(Ax25Link& l, long long now) {
    if (l.State != Ax25State::Disconnected) return;
    StartTimers(l);
    l.End = Ax25End::None;
    Establish(l, now);
}

void Ax25Send(Ax25Link& l, const unsigned char* text, std::size_t size, long long now) {
    if (l.State == Ax25State::Disconnected || l.State == Ax25State::AwaitingRelease) return;
    l.Pending.append(reinterpret_cast<const char*>(text), size);
    Transmit(l, now);
}

void Ax25Disconnect(Ax25Link& l, long long now) {
    switch (l.State) {
        case Ax25State::Disconnected:
        case Ax25State::AwaitingRelease:
            return;
        case Ax25State::AwaitingConnection:
        case Ax25State::Connected:
        case Ax25State::TimerRecovery:
            break;
    }
    l.Pending.clear();
    for (auto& s : l.Sent) s.clear();
    l.AckPending = 0;
    l.T2Due = l.T3Due = 0;
    l.RC = 0;
    l.State = Ax25State::AwaitingRelease;
    EmitU(l, kAx25DISC, 1, 1);
    StartT1(l, now);
}

void Ax25Receive(Ax25Link& l, const Ax25Frame& f, long long now) {
    const Ax25Kind kind = Ax25KindOf(f.Control);
    const unsigned char type = Ax25Type(f.Control);
    const int pf = Ax25PF(f.Control);
    switch (l.State) {
        case Ax25State::Disconnected:
            if (kind == Ax25Kind::U && type == kAx25SABM) {
                StartTimers(l);
                EmitU(l, kAx25UA, 0, pf);
                EnterConnected(l, now);
            } else if (kind == Ax25Kind::U && type == kAx25SABME) {
                // A version 2.2 station calling first: we know only version
                // 2.0, so the command is rejected and the station falls back
                // to SABM.
                const unsigned char reason[3] = {
                    f.Control, static_cast<unsigned char>((l.VR << 5) | (l.VS << 1)), kFrmrW};
                Emit(l, static_cast<unsigned char>(kAx25FRMR | (pf ? kAx25PollFinal : 0)), 0, reason, 3, -1);
            } else if (kind == Ax25Kind::U && type == kAx25DISC) {
                EmitU(l, kAx25DM, 0, pf);
            } else if (f.Command && pf && !(kind == Ax25Kind::U && type == kAx25UI)) {
                EmitU(l, kAx25DM, 0, 1);
            }
            return;
        case Ax25State::AwaitingConnection:
            if (kind == Ax25Kind::U && type == kAx25UA) {
                if (l.RC == 0 && l.SentAt[0] != 0) Measure(l, now - l.SentAt[0]);
                l.SentAt[0] = 0;
                EnterConnected(l, now);
                // A station often greets right behind its UA: our first
                // frame waits T2 so that it acknowledges the greeting.
                l.T2Due = now + std::max(0, l.Params.T2Ms);
            } else if (kind == Ax25Kind::U && type == kAx25DM && pf) {
                GoDown(l, Ax25End::Refused);
            } else if (kind == Ax25Kind::U && type == kAx25SABM) {
                // Both ends called at once: the link is up.
                EmitU(l, kAx25UA, 0, pf);
                EnterConnected(l, now);
                Transmit(l, now);
            } else if (kind == Ax25Kind::U && (type == kAx25DISC || type == kAx25SABME)) {
                EmitU(l, kAx25DM, 0, pf);
            }
            return;
        case Ax25State::AwaitingRelease:
            if (kind == Ax25Kind::U && (type == kAx25UA || type == kAx25DM)) {
                GoDown(l, Ax25End::Released);
            } else if (kind == Ax25Kind::U && type == kAx25DISC) {
                EmitU(l, kAx25UA, 0, pf);
                GoDown(l, Ax25End::Released);
            } else if (f.Command && pf) {
                EmitU(l, kAx25DM, 0, 1);
            }
            return;
        case Ax25State::Connected:
        case Ax25State::TimerRecovery:
            ReceiveConnected(l, f, now);
            return;
    }
}

void Ax25Tick(Ax25Link& l, long long now) {
    if (l.T2Due != 0 && now >= l.T2Due) {
        l.T2Due = 0;
        Transmit(l, now);
        if (l.AckPending && Ax25IsUp(l)) EmitS(l, kAx25RR, 0, 0);
    }
    if (l.T3Due != 0 && now >= l.T3Due) {
        l.T3Due = 0;
        if (l.State == Ax25State::Connected) {
            // A quiet link: is the station still there?
            l.RC = 0;
            EmitS(l, kAx25RR, 1, 1);
            l.State = Ax25State::TimerRecovery;
            StartT1(l, now);
        }
    }
    if (l.T1Due == 0 || now < l.T1Due) return;
    l.T1Due = 0;
    ++l.Retries;
    switch (l.State) {
        case Ax25State::AwaitingConnection:
            if (l.RC >= l.Params.N2) {
                GoDown(l, Ax25End::RetriedOut);
                return;
            }
            ++l.RC;
            EmitU(l, kAx25SABM, 1, 1);
            StartT1(l, now);
            return;
        case Ax25State::AwaitingRelease:
            if (l.RC >= l.Params.N2) {
                GoDown(l, Ax25End::Released);
                return;
            }
            ++l.RC;
            EmitU(l, kAx25DISC, 1, 1);
            StartT1(l, now);
            return;
        case Ax25State::Connected:
        case Ax25State::TimerRecovery:
            if (l.State == Ax25State::TimerRecovery && l.RC >= l.Params.N2) {
                EmitU(l, kAx25DM, 0, 0);
                GoDown(l, Ax25End::RetriedOut);
                return;
            }
            ++l.RC;
            l.State = Ax25State::TimerRecovery;
            // The oldest unacknowledged frame goes again with the poll bit:
            // our frames are short, so this costs no more than a poll and
            // saves a round trip when the frame itself was lost.
            if (Outstanding(l) > 0 && !l.PeerBusy) {
                l.SentAt[l.VA] = 0;
                EmitI(l, l.VA, 1);
            } else {
                EmitS(l, kAx25RR, 1, 1);
            }
            StartT1(l, now);
            return;
        case Ax25State::Disconnected:
            return;
    }
}

void Ax25Lost(Ax25Link& l) {
    l.Out.clear();
    if (l.State == Ax25State::Disconnected) return;
    GoDown(l, Ax25End::Reset);
}

long long Ax25NextDue(const Ax25Link& l) {
    long long due = 0;
    for (long long t : {l.T1Due, l.T2Due, l.T3Due}) {
        if (t != 0 && (due == 0 || t < due)) due = t;
    }
    return due;
}

int Ax25IsUp(const Ax25Link& l) {
    return l.State == Ax25State::Connected || l.State == Ax25State::TimerRecovery;
}

int Ax25AllAcked(const Ax25Link& l) {
    return l.Pending.empty() && l.VA == l.VS;
}

std::size_t Ax25Backlog(const Ax25Link& l) {
    std::size_t n = l.Pending.size();
    for (int i = l.VA; i != l.VS; i = Mod8(i + 1)) n += l.Sent[i].size();
    return n;
}
