#include "radio/ax25_frame.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kAddressBytes = 7;

void PutAddress(const Ax25Address& a, int last, std::vector<unsigned char>* out) {
    std::size_t n = std::strlen(a.Call);
    for (std::size_t i = 0; i < 6; ++i) {
        const unsigned char c = i < n ? static_cast<unsigned char>(a.Call[i]) : ' ';
        out->push_back(static_cast<unsigned char>(c << 1));
    }
    out->push_back(
        static_cast<unsigned char>((a.Bit ? 0x80 : 0) | 0x60 | ((a.Ssid & 0x0F) << 1) | (last ? 1 : 0)));
}

// 0 when the seven bytes are no address: a call is one to six upper-case
// letters or digits, blank-padded at its end.
int GetAddress(const unsigned char* p, Ax25Address* a) {
    int n = 0;
    for (int i = 0; i < 6; ++i) {
        if (p[i] & 1) return 0;  // the extension bit belongs in the seventh byte only
        const unsigned char c = static_cast<unsigned char>(p[i] >> 1);
        if (c == ' ') {
            continue;
        }
        if (n != i || !((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return 0;
        a->Call[n++] = static_cast<char>(c);
    }
    if (n == 0) return 0;
    a->Call[n] = '\0';
    a->Ssid = (p[6] >> 1) & 0x0F;
    a->Bit = (p[6] & 0x80) ? 1 : 0;
    return 1;
}

}  // namespace

int ParseAx25Address(const char* text, Ax25Address* a) {
    if (text == nullptr) return 0;
    int n = 0;
    const char* p = text;
    for (; *p != '\0' && *p != '-'; ++p) {
        const unsigned char c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(*p)));
        if (n == 6 || !((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return 0;
        a->Call[n++] = static_cast<char>(c);
    }
    if (n == 0) return 0;
    a->Call[n] = '\0';
    a->Ssid = 0;
    a->Bit = 0;
    if (*p == '-') {
        ++p;
        int ssid = 0, digits = 0;
        for (; *p >= '0' && *p <= '9' && digits < 3; ++p, ++digits) ssid = ssid * 10 + (*p - '0');
        if (digits == 0 || *p != '\0' || ssid > 15) return 0;
        a->Ssid = ssid;
    }
    return 1;
}

void FormatAx25Address(const Ax25Address& a, char* text) {
    if (a.Ssid == 0) {
        std::snprintf(text, 10, "%s", a.Call);
    } else {
        std::snprintf(text, 10, "%s-%d", a.Call, a.Ssid & 0x0F);
    }
}

int SameAx25Address(const Ax25Address& a, const Ax25Address& b) {
    return a.Ssid == b.Ssid && std::strcmp(a.Call, b.Call) == 0;
}

Ax25Kind Ax25KindOf(unsigned char control) {
    if ((control & 1) == 0) return Ax25Kind::I;
    return (control & 3) == 1 ? Ax25Kind::S : Ax25Kind::U;
}

unsigned char Ax25Type(unsigned char control) {
    switch (Ax25KindOf(control)) {
        case Ax25Kind::S:
            return static_cast<unsigned char>(control & 0x0F);
        case Ax25Kind::U:
            return static_cast<unsigned char>(control & ~kAx25PollFinal);
        case Ax25Kind::I:
            break;
    }
    return 0;
}

void EncodeAx25Frame(const Ax25Frame& f, std::vector<unsigned char>* out) {
    Ax25Address dest = f.Destination, source = f.Source;
    dest.Bit = f.Command ? 1 : 0;
    source.Bit = f.Command ? 0 : 1;
    const int digis = f.DigiCount < 0 ? 0 : (f.DigiCount > kAx25MaxDigis ? kAx25MaxDigis : f.DigiCount);
    PutAddress(dest, 0, out);
    PutAddress(source, digis == 0, out);
    for (int i = 0; i < digis; ++i) PutAddress(f.Digis[i], i == digis - 1, out);
    out->push_back(f.Control);
    if (f.Pid >= 0) out->push_back(static_cast<unsigned char>(f.Pid));
    const std::size_t info = f.InfoSize > kAx25MaxInfo ? kAx25MaxInfo : f.InfoSize;
    out->insert(out->end(), f.Info, f.Info + info);
}

int DecodeAx25Frame(const unsigned char* bytes, std::size_t size, Ax25Frame* f) {
    if (size < 2 * kAddressBytes + 1) return 0;
    if (!GetAddress(bytes, &f->Destination) || !GetAddress(bytes + kAddressBytes, &f->Source)) return 0;
    std::size_t at = 2 * kAddressBytes;
    f->DigiCount = 0;
    int last = bytes[at - 1] & 1;
    while (!last) {
        if (f->DigiCount == kAx25MaxDigis || size < at + kAddressBytes + 1) return 0;
        if (!GetAddress(bytes + at, &f->Digis[f->DigiCount])) return 0;
        ++f->DigiCount;
        at += kAddressBytes;
        last = bytes[at - 1] & 1;
    }
    // Version 2 sets exactly one of the two C bits; both alike is version 1
    // or garbage, taken as a command as the protocol document allows.
    f->Command = (f->Destination.Bit && !f->Source.Bit) || f->Destination.Bit == f->Source.Bit;
    f->Control = bytes[at++];
    f->Pid = -1;
    const Ax25Kind kind = Ax25KindOf(f->Control);
    if (kind == Ax25Kind::I || (kind == Ax25Kind::U && Ax25Type(f->Control) == kAx25UI)) {
        if (at >= size) return 0;
        f->Pid = bytes[at++];
    }
    f->InfoSize = size - at;
    if (f->InfoSize > kAx25MaxInfo) return 0;
    if (kind == Ax25Kind::S && f->InfoSize != 0) return 0;
    std::memcpy(f->Info, bytes + at, f->InfoSize);
    return 1;
}
