// The AGWPE TCP protocol's frame format, and the cutting of received
// connected data into the line frames that the layer-2 interface hands out.
//
// Every AGWPE message is a 36-byte header followed by DataLength bytes:
//
//   offset  size  field
//    0       1    radio port (0 = first)
//    1       3    reserved
//    4       1    data kind, a letter ('R', 'X', 'C', 'v', 'D', 'd', 'Y', ...)
//    5       1    reserved
//    6       1    PID (0xF0 for connected text)
//    7       1    reserved
//    8      10    CallFrom, NUL-padded
//   18      10    CallTo, NUL-padded
//   28       4    DataLength, unsigned little-endian
//   32       4    user, unused
//
// Everything that arrives from the TNC is outside input: the decoder checks
// the length against a bound before trusting it and never reads past the
// bytes it was given.
//
// Threading: plain functions on caller-owned buffers; callable from any
// thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "radio/layer2.h"

constexpr int kAgwHeaderBytes = 36;
constexpr int kAgwCallBytes = 10;
// Longest data part accepted from the TNC. Direwolf never sends more than
// about 2 KiB; a larger length means the stream is out of step.
constexpr std::uint32_t kAgwMaxDataBytes = 65536;
// Longest text of one line frame (its count is 16 bits).
constexpr std::size_t kAgwMaxLineText = 65535;

struct AgwFrame {
    int Port;
    char Kind;
    int Pid;
    // The call fields up to their first NUL, always NUL-terminated.
    char CallFrom[kAgwCallBytes + 1];
    char CallTo[kAgwCallBytes + 1];
    // 1 when both call fields hold only printable ASCII without blanks
    // (an empty call is clean).
    int CallsClean;
    std::uint32_t DataLength;
    // Points into the decoded buffer; DataLength bytes.
    const unsigned char* Data;
};

enum AgwDecodeResult : int {
    kAgwBadLength = -1,  // DataLength beyond kAgwMaxDataBytes: stream out of step
    kAgwNeedMore = 0,    // header or data not complete yet
    kAgwFrameReady = 1,  // *frame filled, *used bytes consumed
};

// Decodes the frame at the start of bytes[0..size). Never reads beyond size.
AgwDecodeResult DecodeAgwFrame(const unsigned char* bytes, std::size_t size, AgwFrame* frame,
                               std::size_t* used);

// Appends one frame to out. Calls longer than 9 characters are cut (the
// field keeps a NUL); a null call is empty.
void EncodeAgwFrame(int port, char kind, int pid, const char* callFrom, const char* callTo,
                    const unsigned char* data, std::size_t size, std::vector<unsigned char>* out);

// 1 for the kinds a TNC sends to its clients.
int IsKnownAgwKind(char kind);

// The little-endian 32-bit number at `p` (header fields, the 'Y' count).
std::uint32_t ReadLe32(const unsigned char* p);

// Cuts the data of one received 'D' frame into line frames, appended to
// frames: each piece up to and including a CR is one frame, and a remainder
// without CR at the end is a frame of its own, laid out as MakeL2Frame
// does. Empty data gives no frame.
void SplitAgwLines(const unsigned char* data, std::size_t size,
                   std::vector<std::vector<unsigned char>>* frames);
