// The byte stream to a KISS TNC: a TCP connection (Direwolf's and
// soundmodem's KISS ports, TNCs on the network) or a serial line (a USB
// TNC, a TNC-Pi, a Bluetooth TNC's rfcomm device), raw 8N1 at a set speed.
//
// Nothing here ever blocks the program's one thread: descriptors are
// non-blocking, a TCP connect waits at most InitTimeoutMs in Open and not
// at all later, and what the TNC does not take is held up to a bound, then
// the stream is given up. A stream that fails (closed, reset, device
// unplugged, write backlog full) is reopened in the background, the wait
// between attempts doubling from ReconnectIntervalMs up to ReconnectMaxMs
// while it keeps failing; the loss is said once, the return once, and
// further losses of the same episode only as a count now and then.
//
// Threading: GUI thread only; one instance per TNC.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/log_sink.h"

// Bytes waiting for a TNC that reads nothing before the stream is dropped.
constexpr std::size_t kKissMaxSendBacklog = 64 * 1024;

// 1 for a serial speed the stream can set.
int KissBaudSupported(int baud);

struct KissEndpoint {
    std::string Host;  // TCP: host name or address; empty for a serial line
    int TcpPort = 8001;
    std::string Device;  // serial: the device path
    int Baud = 9600;
    int InitTimeoutMs = 3000;
    int ReconnectIntervalMs = 3000;
    int ReconnectMaxMs = 60000;
    LogSink Log{};  // where trouble with the TNC is said (null: nowhere)
};

// What the stream tells its owner.
struct KissStreamOwner {
    virtual ~KissStreamOwner() = default;
    virtual void OnKissBytes(const unsigned char* bytes, std::size_t size) = 0;
    // The stream is gone; nothing written before reaches the TNC.
    virtual void OnKissLost() = 0;
    // The stream is open again after a loss.
    virtual void OnKissBack() = 0;
};

class KissTransport {
public:
    KissTransport(const KissEndpoint& endpoint, KissStreamOwner& owner);
    ~KissTransport();
    KissTransport(const KissTransport&) = delete;
    KissTransport& operator=(const KissTransport&) = delete;

    // Opens the stream (TCP: waits at most InitTimeoutMs); 1 on success.
    // Once opened, later polls reopen it by themselves.
    int Open(long long now);
    int Opened() const { return opened_; }
    int IsUp() const { return fd_ >= 0 && !connecting_; }
    // The descriptor to watch for input, or -1.
    int Fd() const { return fd_; }
    // Reopens when due, then reads and writes what the descriptor allows.
    void Poll(long long now);
    // Queues bytes and writes what the descriptor takes; dropped while down.
    void Write(const unsigned char* bytes, std::size_t size, long long now);
    // "HOST:PORT" or the device path, for messages.
    const std::string& Name() const { return name_; }
    long long Reopens() const { return reopens_; }
    // The system's reason when Open failed.
    const std::string& OpenError() const { return openError_; }

private:
    int OpenSerial();
    void StartConnect(long long now);
    void FinishConnect(long long now);
    void Drop(const char* why, long long now);
    void ReadAvailable(long long now);
    void Flush(long long now);
    void Back(long long now);
    void WatchTrouble(long long now);

    KissEndpoint endpoint_;
    KissStreamOwner& owner_;
    std::string name_;
    std::vector<unsigned char> address_;  // resolved sockaddr of a TCP TNC
    int fd_ = -1;
    int connecting_ = 0;
    int opened_ = 0;
    long long lastAttempt_ = 0;
    long long retryMs_ = 0;
    long long upSince_ = 0;
    int failures_ = 0;  // failed attempts in a row
    int troubled_ = 0;  // a loss was said and the stream has not been steady since
    int backSaid_ = 0;
    long long saidAt_ = 0;
    long long unsaid_ = 0;
    std::string lastWhy_;
    long long reopens_ = 0;
    std::vector<unsigned char> out_;
    std::string openError_;
};
