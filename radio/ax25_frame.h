// AX.25 frames as the TNC hands them over KISS (no flags, no checksum):
//
//   destination(7) source(7) [digipeater(7) x 0..8] control(1) [PID(1)] info
//
// Each address is six characters shifted left by one bit, blank-padded,
// then a byte 'CRRSSSSE': C = command/response bit (destination, source)
// or has-been-repeated bit H (digipeaters), RR = reserved (sent as 1),
// SSSS = SSID, E = 1 on the last address. A command has C set in the
// destination and clear in the source; a response the other way round.
//
// Control field modulo 8:
//   I  N(R) P N(S) 0        S  N(R) P/F SS 01        U  MMM P/F MM 11
// I and UI frames carry a PID (0xF0, no layer 3) before the information.
//
// Frames from the air are outside input: the decoder checks every length
// and character and rejects what does not decode.
//
// Threading: plain functions; callable from any thread.
#pragma once

#include <cstddef>
#include <vector>

constexpr int kAx25MaxDigis = 8;
constexpr int kAx25PidText = 0xF0;
// Longest information field decoded from the air.
constexpr std::size_t kAx25MaxInfo = 512;

// Control field values with the P/F bit clear.
enum Ax25Control : unsigned char {
    kAx25RR = 0x01,
    kAx25RNR = 0x05,
    kAx25REJ = 0x09,
    kAx25SABM = 0x2F,
    kAx25SABME = 0x6F,
    kAx25DISC = 0x43,
    kAx25DM = 0x0F,
    kAx25UA = 0x63,
    kAx25FRMR = 0x87,
    kAx25UI = 0x03,
    kAx25XID = 0xAF,
    kAx25TEST = 0xE3,
};
constexpr unsigned char kAx25PollFinal = 0x10;

enum class Ax25Kind { I, S, U };

struct Ax25Address {
    char Call[7];  // upper-case letters and digits, NUL-terminated, 1..6 of them
    int Ssid;      // 0..15
    int Bit;       // C bit (destination, source) or H bit (digipeaters)
};

struct Ax25Frame {
    Ax25Address Destination;
    Ax25Address Source;
    Ax25Address Digis[kAx25MaxDigis];
    int DigiCount;
    int Command;            // 1 command, 0 response (from the C bits)
    unsigned char Control;  // the whole control byte
    int Pid;                // -1 when the frame has none
    unsigned char Info[kAx25MaxInfo];
    std::size_t InfoSize;
};

// "CALL" or "CALL-SSID" (SSID 0..15) into an address; 0 when it is not one.
// Lower case is taken as upper case.
int ParseAx25Address(const char* text, Ax25Address* address);
// "CALL" or "CALL-SSID" (no "-0"), into text of at least 10 bytes.
void FormatAx25Address(const Ax25Address& address, char* text);
int SameAx25Address(const Ax25Address& a, const Ax25Address& b);

// The frame's kind and fields from its control byte.
Ax25Kind Ax25KindOf(unsigned char control);
inline int Ax25NS(unsigned char control) {
    return (control >> 1) & 7;
}
inline int Ax25NR(unsigned char control) {
    return (control >> 5) & 7;
}
inline int Ax25PF(unsigned char control) {
    return (control & kAx25PollFinal) ? 1 : 0;
}
// The S or U frame's type with the P/F bit (and for S, N(R)) cleared.
unsigned char Ax25Type(unsigned char control);

// Appends the encoded frame to out (a PID byte only when Pid >= 0).
void EncodeAx25Frame(const Ax25Frame& frame, std::vector<unsigned char>* out);
// 1 and the frame when the bytes decode; 0 for a short, over-long or
// malformed frame (bad address characters, no end of the address field,
// more than eight digipeaters, an I or UI frame without PID).
int DecodeAx25Frame(const unsigned char* bytes, std::size_t size, Ax25Frame* frame);
