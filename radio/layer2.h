// The packet-radio layer-2 interface: the eight functions through which the
// connect cycle and the answering service reach the radio network, and
// nothing else. A connection is named by an unsigned 16-bit handle; 0 = none.
//
// Threading: GUI thread only. Implementations never block the caller.
//
// Results as the callers use them:
//   ax_init      nonzero = the stack is reachable; 0 = "FlexNet not active!"
//   l2_connect   handle of a new outgoing connection (own call, connect path)
//   l2_get_sabm  handle of a pending incoming connect to the given call, or 0
//   l2_stat      status word; low 3 bits = link state (5 connected, below 2
//                down; while an outgoing connect is pending 0 = failed,
//                1 = given up, others = still being set up), 0x40 = received
//                frames waiting
//   l2_get_i     next received frame or null: bytes 0-1 = 16-bit
//                little-endian text count, byte 2 unused, text from byte 3,
//                lines ending in CR; valid until the next l2_get_i or
//                l2_bef(15) on that handle
//   l2_ialloc    nonzero = the next l2_puts may hand over that many bytes
//   l2_puts      sends text whose lines end in LF
//   l2_bef       command: 2 new incoming connection, 14 before sending,
//                7 after sending, 15 frame handled, 4 disconnect
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

constexpr int kL2StateMask = 0x07;
constexpr int kL2DataWaiting = 0x40;

// Link states in the low bits of l2_stat. Below kL2SettingUp the link is
// down; from kL2SettingUp up to kL2Connected it is being set up.
constexpr int kL2Down = 0;       // down; for a pending connect: it failed
constexpr int kL2GivenUp = 1;    // down; a pending connect was given up
constexpr int kL2SettingUp = 2;  // a connect under way (or being withdrawn)
constexpr int kL2Connected = 5;

// The frame l2_get_i hands out: the 16-bit little-endian text count, one
// unused byte (0), the text, and a NUL behind the text that the count leaves
// out. Texts longer than 65535 bytes do not occur (backends cut lines).
constexpr int kL2FrameHead = 3;
inline std::vector<unsigned char> MakeL2Frame(const unsigned char* text, std::size_t size) {
    std::vector<unsigned char> frame(size + kL2FrameHead + 1, 0);
    frame[0] = static_cast<unsigned char>(size & 0xFF);
    frame[1] = static_cast<unsigned char>((size >> 8) & 0xFF);
    if (size > 0) std::memcpy(frame.data() + kL2FrameHead, text, size);
    return frame;
}
inline int L2FrameCount(const unsigned char* frame) {
    return frame[0] | (frame[1] << 8);
}

enum L2Command : int {
    kL2NewIncoming = 2,
    kL2Disconnect = 4,
    kL2AfterSend = 7,
    kL2BeforeSend = 14,
    kL2FrameDone = 15,
};

// How the backend itself stands, for the metrics endpoint; not one of the
// eight functions, and nothing in the connect cycle reads it.
struct Layer2Health {
    int Connected;         // 1 while the stack (or the TNC connection) is up
    long long Reconnects;  // connections to the TNC made again after a loss
};

// For a backend with timers and a descriptor of its own between the
// caller's ticks: the event loop watches Fd for input (-1: none) and calls
// Service again then, or after DueInMs (-1: no timer runs).
struct Layer2Wakeup {
    int Fd;
    int DueInMs;
};

struct Layer2 {
    virtual ~Layer2() = default;
    // Does what is due without being asked; the default backend needs nothing.
    virtual Layer2Wakeup Service() { return Layer2Wakeup{-1, -1}; }
    // A stack inside the program is up once it exists.
    virtual Layer2Health health() const { return Layer2Health{1, 0}; }
    virtual int ax_init() = 0;
    virtual std::uint16_t l2_connect(const char* mycall, const char* callPath) = 0;
    virtual std::uint16_t l2_get_sabm(const char* mycall) = 0;
    virtual int l2_stat(int zero, std::uint16_t handle) = 0;
    virtual const unsigned char* l2_get_i(std::uint16_t handle) = 0;
    virtual int l2_ialloc(std::uint16_t handle, int bytes) = 0;
    virtual void l2_puts(std::uint16_t handle, const char* text) = 0;
    virtual void l2_bef(int command, std::uint16_t handle) = 0;
};
