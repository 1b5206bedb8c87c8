// KISS framing between the program and a TNC that only moves frames:
//
//   FEND  command  data (escaped)  FEND
//
// FEND 0xC0 delimits frames; inside one, FEND travels as FESC TFEND
// (0xDB 0xDC) and FESC as FESC TFESC (0xDB 0xDD). The command byte holds
// the TNC port in its high nibble and the command in its low one; command
// 0 carries an AX.25 frame without its flags and checksum.
//
// Everything that arrives from the TNC is outside input: the decoder keeps
// at most kKissMaxFrame bytes of one frame, skips bytes outside frames and
// passes on only data frames of its own port.
//
// Threading: plain functions on caller-owned state; callable from any
// thread.
#pragma once

#include <cstddef>
#include <vector>

constexpr unsigned char kKissFend = 0xC0;
constexpr unsigned char kKissFesc = 0xDB;
constexpr unsigned char kKissTfend = 0xDC;
constexpr unsigned char kKissTfesc = 0xDD;
// Longest AX.25 frame taken from the TNC: address field of ten calls,
// control, PID and far more information than any PACLEN allows.
constexpr std::size_t kKissMaxFrame = 1024;

// Appends one data frame for TNC port `port` (0..15) to out.
void EncodeKissFrame(int port, const unsigned char* data, std::size_t size, std::vector<unsigned char>* out);

struct KissDecoder {
    int Port = 0;                      // the TNC port whose data frames are wanted
    int InFrame = 0;                   // a FEND opened a frame
    int Escaped = 0;                   // the last byte was FESC
    int TooLong = 0;                   // this frame outgrew kKissMaxFrame; it is dropped
    std::vector<unsigned char> Bytes;  // the current frame, command byte first
    long long Dropped = 0;             // over-long frames and broken escapes
    long long Ignored = 0;             // frames of other ports or commands
};

// Feeds received bytes; appends every complete data frame of the decoder's
// port (without the command byte) to frames.
void DecodeKiss(KissDecoder& decoder, const unsigned char* bytes, std::size_t size,
                std::vector<std::vector<unsigned char>>* frames);
