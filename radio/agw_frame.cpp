// AGWPE frame codec and line splitter; the format is described in
// agw_frame.h.
#include "radio/agw_frame.h"

#include <cstring>

std::uint32_t ReadLe32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

namespace {

void PutLe32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    p[2] = static_cast<unsigned char>((v >> 16) & 0xFF);
    p[3] = static_cast<unsigned char>((v >> 24) & 0xFF);
}

// Copies a call field up to its first NUL; returns 1 when every copied
// byte is printable ASCII other than blank.
int CopyCall(const unsigned char* field, char* call) {
    int clean = 1;
    int n = 0;
    while (n < kAgwCallBytes && field[n] != 0) {
        const unsigned char c = field[n];
        if (c <= 0x20 || c >= 0x7F) clean = 0;
        call[n] = static_cast<char>(c);
        ++n;
    }
    call[n] = '\0';
    return clean;
}

void PutCall(unsigned char* field, const char* call) {
    std::memset(field, 0, kAgwCallBytes);
    if (call == nullptr) return;
    for (int i = 0; i < kAgwCallBytes - 1 && call[i] != '\0'; ++i) {
        field[i] = static_cast<unsigned char>(call[i]);
    }
}

void AppendLineFrame(const unsigned char* text, std::size_t size,
                     std::vector<std::vector<unsigned char>>* frames) {
    frames->push_back(MakeL2Frame(text, size));
}

}  // namespace

AgwDecodeResult DecodeAgwFrame(const unsigned char* bytes, std::size_t size, AgwFrame* frame,
                               std::size_t* used) {
    if (size < static_cast<std::size_t>(kAgwHeaderBytes)) return kAgwNeedMore;
    const std::uint32_t length = ReadLe32(bytes + 28);
    if (length > kAgwMaxDataBytes) return kAgwBadLength;
    if (size - kAgwHeaderBytes < length) return kAgwNeedMore;
    frame->Port = bytes[0];
    frame->Kind = static_cast<char>(bytes[4]);
    frame->Pid = bytes[6];
    const int fromClean = CopyCall(bytes + 8, frame->CallFrom);
    const int toClean = CopyCall(bytes + 18, frame->CallTo);
    frame->CallsClean = fromClean && toClean;
    frame->DataLength = length;
    frame->Data = bytes + kAgwHeaderBytes;
    *used = kAgwHeaderBytes + static_cast<std::size_t>(length);
    return kAgwFrameReady;
}

void EncodeAgwFrame(int port, char kind, int pid, const char* callFrom, const char* callTo,
                    const unsigned char* data, std::size_t size, std::vector<unsigned char>* out) {
    unsigned char header[kAgwHeaderBytes] = {};
    header[0] = static_cast<unsigned char>(port & 0xFF);
    header[4] = static_cast<unsigned char>(kind);
    header[6] = static_cast<unsigned char>(pid & 0xFF);
    PutCall(header + 8, callFrom);
    PutCall(header + 18, callTo);
    PutLe32(header + 28, static_cast<std::uint32_t>(size));
    out->insert(out->end(), header, header + kAgwHeaderBytes);
    if (size > 0) out->insert(out->end(), data, data + size);
}

int IsKnownAgwKind(char kind) {
    // Replies and notifications of the AGWPE protocol, including the
    // monitoring kinds a TNC may send although they are never asked for.
    static const char kKinds[] = "RXGgyYCDdHKUISTMV";
    return kind != '\0' && std::strchr(kKinds, kind) != nullptr;
}

void SplitAgwLines(const unsigned char* data, std::size_t size,
                   std::vector<std::vector<unsigned char>>* frames) {
    std::size_t start = 0;
    while (start < size) {
        std::size_t end = start;
        while (end < size && data[end] != '\r' && end - start < kAgwMaxLineText) ++end;
        if (end < size && data[end] == '\r' && end - start < kAgwMaxLineText) ++end;  // keep the CR
        AppendLineFrame(data + start, end - start, frames);
        start = end;
    }
}
