// The layer-2 functions on top of the AGWPE frames; the mapping is
// described in agw_client.h, the connection under it in agw_connection.h.
//
// Calls seen from the TNC: in a 'C', 'd' or 'D' notification CallFrom is
// the other station and CallTo our own call; in a 'Y' reply and in
// everything we send CallFrom is our own call and CallTo the other station.
#include "radio/agw_client.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "radio/link_handles.h"

#include "core/escaped_text.h"

namespace {

constexpr int kPidText = 0xF0;

int SameCall(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return 0;
        }
    }
    return 1;
}

// Case-insensitive search of needle in the first size bytes of text.
int ContainsNoCase(const unsigned char* text, std::size_t size, const char* needle) {
    const std::size_t n = std::strlen(needle);
    for (std::size_t i = 0; i + n <= size; ++i) {
        std::size_t k = 0;
        while (k < n && std::tolower(text[i + k]) == std::tolower(static_cast<unsigned char>(needle[k]))) ++k;
        if (k == n) return 1;
    }
    return 0;
}

}  // namespace

int AgwL2State(AgwLinkState state) {
    switch (state) {
        case AgwLinkState::Pending:
        case AgwLinkState::Withdrawn:
            return kL2SettingUp;
        case AgwLinkState::Connected:
        case AgwLinkState::Draining:
        case AgwLinkState::DisconnectSent:
            return kL2Connected;
        case AgwLinkState::Closed:
            break;
    }
    return kL2Down;
}

int NormaliseAgwCall(const char* call, char* out, int outSize) {
    const std::size_t n = call == nullptr ? 0 : std::strlen(call);
    if (n == 0 || n > 9 || static_cast<int>(n) >= outSize) return 0;
    int dashes = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(call[i]);
        if (c == '-') {
            // "-SSID" with a number after a non-empty base call
            if (++dashes > 1 || i == 0 || i + 1 == n) return 0;
        } else if (!std::isalnum(c) || c >= 0x80) {
            return 0;
        } else if (dashes && !std::isdigit(c)) {
            return 0;
        }
        out[i] = static_cast<char>(std::toupper(c));
    }
    out[n] = '\0';
    return 1;
}

AgwClient::AgwClient(const AgwOptions& options, AgwClock& clock)
    : clock_(clock), connection_(options, clock, *this) {}

int AgwClient::ax_init() {
    if (connection_.Opened() && IsConnected()) return 1;
    if (!connection_.Open()) return 0;
    if (!wantedCall_.empty()) Register(wantedCall_);
    return 1;
}

void AgwClient::Poll() {
    if (!connection_.Opened()) return;
    const long long now = clock_.NowMs();
    connection_.Poll(now);
    CheckTimeouts(now);
}

void AgwClient::OnAgwReconnected() {
    ++reconnects_;
    registeredCall_.clear();
    askSupported_ = 1;  // it may be another TNC now
    askAnswered_ = 0;
    if (!wantedCall_.empty()) Register(wantedCall_);
}

void AgwClient::OnAgwLost() {
    registeredCall_.clear();
    for (auto& l : links_) {
        // Received lines stay readable; the links themselves are gone.
        l->State = AgwLinkState::Closed;
        l->AskPending = 0;
    }
}

void AgwClient::Register(const std::string& call) {
    if (!IsConnected() || registeredCall_ == call) return;
    if (!registeredCall_.empty()) connection_.Send('x', 0, registeredCall_.c_str(), nullptr, nullptr, 0);
    connection_.Send('X', 0, call.c_str(), nullptr, nullptr, 0);
    refusalSaid_ = 0;
    if (IsConnected()) registeredCall_ = call;
}

AgwClient::Link* AgwClient::Find(std::uint16_t handle) {
    if (handle == 0) return nullptr;
    for (auto& l : links_) {
        if (l->Handle == handle) return l.get();
    }
    return nullptr;
}

AgwClient::Link* AgwClient::FindLive(const char* own, const char* remote) {
    Link* best = nullptr;
    for (auto& l : links_) {
        if (l->State == AgwLinkState::Closed || !SameCall(l->Own, own) || !SameCall(l->Remote, remote))
            continue;
        if (best == nullptr || l->Serial < best->Serial) best = l.get();
    }
    return best;
}

AgwClient::Link* AgwClient::NewLink() {
    return NewHandleLink(
        links_, kAgwMaxLinks, lastHandle_, serial_,
        [](const Link& l) { return l.State == AgwLinkState::Closed; },
        [](const Link& l) { return !l.Frames.empty() || !l.Current.empty(); });
}

void AgwClient::OnAgwFrame(const AgwFrame& f) {
    if (!IsKnownAgwKind(f.Kind)) {
        connection_.SayOnce(AgwFault::UnknownKind, "frame of an unknown kind ignored");
        return;
    }
    if (f.Kind == 'X') {
        OnRegisterReply(f);
        return;
    }
    if (f.Kind != 'C' && f.Kind != 'd' && f.Kind != 'D' && f.Kind != 'Y') return;  // monitoring etc.
    if (f.Port != connection_.Options().RadioPort) return;
    if (!f.CallsClean || f.CallFrom[0] == '\0' || f.CallTo[0] == '\0') {
        connection_.SayOnce(AgwFault::BadCall, "frame with an unreadable call ignored");
        return;
    }
    switch (f.Kind) {
        case 'C':
            OnConnectReport(f);
            return;
        case 'd':
            OnDisconnectReport(f);
            return;
        case 'D':
            OnLinkData(f);
            return;
        case 'Y':
            OnOutstandingReply(f);
            return;
        default:
            return;
    }
}

void AgwClient::OnRegisterReply(const AgwFrame& f) {
    // Only the answer to our own registration means anything, and its
    // refusal is said once per registration; anything else on the port
    // (forged or stray replies) must not reach the log line by line.
    if (registeredCall_.empty() || !SameCall(registeredCall_, f.CallFrom)) {
        connection_.SayOnce(AgwFault::StrayRegisterReply, "register reply for a call not registered ignored");
        return;
    }
    if (f.DataLength >= 1 && f.Data[0] == 0 && !refusalSaid_) {
        refusalSaid_ = 1;
        char call[4 * kAgwCallBytes + 1];
        LogLine(connection_.Options().Log, "hopwatch: the TNC at %s:%d refused to register the call %s",
                connection_.Options().Host.c_str(), connection_.Options().TcpPort,
                EscapeText(f.CallFrom, call, sizeof call));
    }
}

void AgwClient::OnConnectReport(const AgwFrame& f) {
    // The calls decide: a TNC keeps one link per pair of calls, so a
    // report for the pair of a pending connect of ours is that
    // connect, whichever way the text puts it (both ends may have
    // called at once). The text only tells a stale report of an
    // own connect from a station calling us.
    const char* own = f.CallTo;
    const char* remote = f.CallFrom;
    Link* live = FindLive(own, remote);
    if (live != nullptr && live->State == AgwLinkState::Pending) {
        live->State = AgwLinkState::Connected;
        return;
    }
    if (live != nullptr && live->State == AgwLinkState::Withdrawn) {
        live->State = AgwLinkState::DisconnectSent;
        return;
    }
    if (live != nullptr) return;  // repeated report
    if (ContainsNoCase(f.Data, f.DataLength, "connected with")) {
        // A connect of ours that nobody waits for any more.
        connection_.Send('d', 0, own, remote, nullptr, 0);
        return;
    }
    Link* l = NewLink();
    if (l == nullptr) {
        connection_.Send('d', 0, own, remote, nullptr, 0);
        return;
    }
    l->Incoming = 1;
    l->State = AgwLinkState::Connected;
    l->Own = own;
    l->Remote = remote;
}

void AgwClient::OnDisconnectReport(const AgwFrame& f) {
    Link* l = FindLive(f.CallTo, f.CallFrom);
    if (l != nullptr) {
        l->State = AgwLinkState::Closed;
        l->AskPending = 0;
    }
}

void AgwClient::OnLinkData(const AgwFrame& f) {
    Link* l = FindLive(f.CallTo, f.CallFrom);
    if (l == nullptr) return;
    std::vector<std::vector<unsigned char>> lines;
    SplitAgwLines(f.Data, f.DataLength, &lines);
    for (auto& line : lines) {
        if (static_cast<int>(l->Frames.size()) >= kAgwMaxQueuedFrames ||
            l->Unread + line.size() > kAgwMaxUnreadBytes) {
            // Nobody reads this link (a caller of the answering
            // service) or its station floods it: what is held stays
            // small, and the link is ended.
            connection_.SayOnce(AgwFault::QueueFull,
                                "a station sent more than is read; link ended, the rest dropped");
            if (l->State == AgwLinkState::Connected || l->State == AgwLinkState::Draining) {
                SendDisconnect(*l, clock_.NowMs());
            }
            break;
        }
        l->Unread += line.size();
        l->Frames.push_back(std::move(line));
    }
}

void AgwClient::OnOutstandingReply(const AgwFrame& f) {
    Link* l = FindLive(f.CallFrom, f.CallTo);
    if (l == nullptr) l = FindLive(f.CallTo, f.CallFrom);
    if (l == nullptr || !l->AskPending) return;
    if (f.DataLength < 4) {
        connection_.SayOnce(AgwFault::ShortReply, "outstanding-frames reply without a count ignored");
        return;
    }
    const std::uint32_t count = ReadLe32(f.Data);
    const int tnc = count > 0x7FFFFFFu ? 0x7FFFFFF : static_cast<int>(count);
    l->Outstanding = tnc + l->SentSinceAsk;
    l->AskPending = 0;
    askAnswered_ = 1;
    if (l->State == AgwLinkState::Draining && l->Outstanding == 0) SendDisconnect(*l, clock_.NowMs());
}

void AgwClient::Ask(Link& l, long long now) {
    l.AskPending = 1;
    l.AskedAt = now;
    l.SentSinceAsk = 0;
    connection_.Send('Y', 0, l.Own.c_str(), l.Remote.c_str(), nullptr, 0);
}

void AgwClient::SendDisconnect(Link& l, long long now) {
    l.State = l.State == AgwLinkState::Pending ? AgwLinkState::Withdrawn : AgwLinkState::DisconnectSent;
    l.ClosingSince = now;
    connection_.Send('d', 0, l.Own.c_str(), l.Remote.c_str(), nullptr, 0);
}

void AgwClient::CheckTimeouts(long long now) {
    const AgwOptions& o = connection_.Options();
    for (auto& p : links_) {
        Link& l = *p;
        if (l.AskPending && now - l.AskedAt >= o.OutstandingReplyTimeoutMs) {
            // A TNC that has never answered 'Y' does not know it: from now on
            // transmit space follows the link state alone. One that has
            // answered before only lost this reply (its link may have just
            // gone); the next grant asks again.
            if (!askAnswered_) {
                connection_.SayOnce(AgwFault::NoAskReply,
                                    "no answer to the outstanding-frames request; not asking again");
                askSupported_ = 0;
            }
            l.AskPending = 0;
            l.Outstanding = 0;
        }
        switch (l.State) {
            case AgwLinkState::Draining:
                // What was sent is delivered before 'd' (a link is only
                // draining while the TNC is there).
                if (!askSupported_ || now - l.ClosingSince >= o.DisconnectTimeoutMs) {
                    SendDisconnect(l, now);
                } else if (!l.AskPending && now - l.AskedAt >= o.DrainAskIntervalMs) {
                    Ask(l, now);
                }
                break;
            case AgwLinkState::Withdrawn:
            case AgwLinkState::DisconnectSent:
                // 'd' never confirmed: the link is given up.
                if (now - l.ClosingSince >= o.DisconnectTimeoutMs) l.State = AgwLinkState::Closed;
                break;
            case AgwLinkState::Closed:
            case AgwLinkState::Pending:  // the connect cycle bounds the wait, in its own ticks
            case AgwLinkState::Connected:
                break;
        }
    }
}

std::uint16_t AgwClient::l2_connect(const char* mycall, const char* callPath) {
    Poll();
    char own[kAgwCallBytes + 1];
    const int ownOk = NormaliseAgwCall(mycall, own, sizeof own);
    // The path: destination, then up to kAgwMaxVias digipeaters, separated
    // by blanks (commas and tabs are tolerated).
    char calls[kAgwMaxVias + 1][kAgwCallBytes + 1];
    const int count = ForEachPathCall(callPath, [&](const std::string& word, int i) {
        return i <= kAgwMaxVias && NormaliseAgwCall(word.c_str(), calls[i], sizeof calls[i]);
    });
    const int pathOk = count > 0;

    Link* l = NewLink();
    if (l == nullptr) return 0;
    if (!ownOk || !pathOk || !IsConnected()) return l->Handle;  // closed: the connect failed
    if (wantedCall_ != own) wantedCall_ = own;
    Register(wantedCall_);
    l->Own = own;
    l->Remote = calls[0];
    if (count == 1) {
        connection_.Send('C', 0, own, calls[0], nullptr, 0);
    } else {
        unsigned char via[1 + kAgwMaxVias * kAgwCallBytes] = {};
        via[0] = static_cast<unsigned char>(count - 1);
        for (int i = 1; i < count; ++i) {
            std::memcpy(via + 1 + (i - 1) * kAgwCallBytes, calls[i], std::strlen(calls[i]));
        }
        connection_.Send('v', 0, own, calls[0], via, 1 + static_cast<std::size_t>(count - 1) * kAgwCallBytes);
    }
    if (IsConnected()) l->State = AgwLinkState::Pending;
    return l->Handle;
}

std::uint16_t AgwClient::l2_get_sabm(const char* mycall) {
    Poll();
    char call[kAgwCallBytes + 1];
    if (!NormaliseAgwCall(mycall, call, sizeof call)) {
        // No valid own call: nobody can call us, and an old call stays no
        // longer registered.
        if (!registeredCall_.empty() && IsConnected()) {
            connection_.Send('x', 0, registeredCall_.c_str(), nullptr, nullptr, 0);
        }
        registeredCall_.clear();
        wantedCall_.clear();
        return 0;
    }
    if (wantedCall_ != call) wantedCall_ = call;
    Register(wantedCall_);
    std::uint16_t found = 0;
    for (auto& l : links_) {
        if (!l->Incoming || l->Taken || AgwL2State(l->State) != kL2Connected) continue;
        if (!SameCall(l->Own, call)) {
            // A caller for a call that is not ours (any more): not left
            // hanging. Nothing was sent to it, so nothing needs to drain.
            l->Taken = 1;
            if (l->State == AgwLinkState::Connected) SendDisconnect(*l, clock_.NowMs());
            continue;
        }
        if (found == 0) {
            l->Taken = 1;
            found = l->Handle;
        }
    }
    return found;
}

int AgwClient::l2_stat(int, std::uint16_t handle) {
    Poll();
    const Link* l = Find(handle);
    if (l == nullptr) return 0;
    return AgwL2State(l->State) | (l->Frames.empty() ? 0 : kL2DataWaiting);
}

const unsigned char* AgwClient::l2_get_i(std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return nullptr;
    l->Current.clear();
    if (l->Frames.empty()) return nullptr;
    l->Current = std::move(l->Frames.front());
    l->Frames.pop_front();
    l->Unread -= l->Current.size();
    return l->Current.data();
}

int AgwClient::l2_ialloc(std::uint16_t handle, int) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || l->State != AgwLinkState::Connected || !IsConnected()) return 0;
    if (!askSupported_) return 1;
    if (!l->AskPending) Ask(*l, clock_.NowMs());
    return l->Outstanding < kAgwMaxOutstanding ? 1 : 0;
}

void AgwClient::l2_puts(std::uint16_t handle, const char* text) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || text == nullptr || l->State != AgwLinkState::Connected || !IsConnected()) return;
    std::vector<unsigned char> data(text, text + std::strlen(text));
    std::replace(data.begin(), data.end(), static_cast<unsigned char>('\n'),
                 static_cast<unsigned char>('\r'));
    for (std::size_t at = 0; at < data.size() && IsConnected(); at += kAgwSendChunk) {
        const std::size_t n = std::min<std::size_t>(kAgwSendChunk, data.size() - at);
        connection_.Send('D', kPidText, l->Own.c_str(), l->Remote.c_str(), data.data() + at, n);
        ++l->Outstanding;
        ++l->SentSinceAsk;
        l->EverSent = 1;
    }
}

void AgwClient::l2_bef(int command, std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return;
    switch (command) {
        case kL2FrameDone:
            l->Current.clear();
            return;
        case kL2Disconnect: {
            if (l->State != AgwLinkState::Pending && l->State != AgwLinkState::Connected) return;
            if (!IsConnected()) {
                l->State = AgwLinkState::Closed;
                return;
            }
            // The link stays up until the TNC confirms. Text sent on it goes
            // out first: 'Y' is asked until nothing is outstanding.
            const long long now = clock_.NowMs();
            l->ClosingSince = now;
            if (!l->EverSent || !askSupported_) {
                SendDisconnect(*l, now);
            } else {
                l->State = AgwLinkState::Draining;
                if (!l->AskPending) Ask(*l, now);
            }
            return;
        }
        default:
            return;  // 2, 7 and 14 need nothing from the TNC
    }
}

std::unique_ptr<Layer2> CreateAgwClient(const AgwOptions& options) {
    return std::make_unique<AgwClient>(options);
}
