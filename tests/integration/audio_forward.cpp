// Carries one Direwolf's transmitted audio (raw 16-bit mono at 48 kHz on
// standard input, from an ALSA "file" PCM) to another's UDP audio input at
// 127.0.0.1:PORT as a steady real-time stream, silence between
// transmissions: a burst would overrun the receiver's socket buffer, and
// without a continuous stream its carrier detect never drops. Samples are
// scaled down to a radio's level. Ends when standard input closes and
// everything taken in has gone out.
//
//   audio_forward PORT [--spoil N --seed S] [--log FILE]
//
// Direwolf's ALSA PCM hands over each transmission in one piece when it
// ends, so a transmission is audio that arrives after the input was quiet
// for a while. With --spoil, about one transmission in N (drawn from seed
// S) loses a piece of its first frame to silence, just after the TXDELAY
// preamble, so that its check sum fails at the receiver as on a fading
// channel. With --log, each transmission adds a line "AT SECONDS SPOILED"
// once it has ended: when it came (wall-clock seconds since 1970),
// its length of audio (the airtime the sending TNC used), 1 when it was
// spoiled.
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr long long kBytesPerSecond = 48000 * 2;
constexpr std::size_t kDatagramBytes = 1024;
constexpr std::size_t kBufferBytes = 256 * 1024;  // read ahead; beyond it Direwolf waits, as on a sound card
constexpr long long kMaxBurstBytes = kBytesPerSecond / 10;  // after a stall, at most 100 ms at once
constexpr int kLevelDivisor = 4;
// Input quiet this long ends a transmission.
constexpr long long kQuietMicros = 50000;
// The silenced piece of a spoiled transmission: from 330 to 400 ms, inside
// the first frame after a TXDELAY of 300 ms (even an RR frame lasts 130 ms).
constexpr long long kSpoilFrom = kBytesPerSecond * 330 / 1000, kSpoilTo = kBytesPerSecond * 400 / 1000;

long long NowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// The transmission being taken in.
struct Transmission {
    int Open = 0;
    int Spoiled = 0;
    long long Bytes = 0;
    double At = 0;  // wall-clock seconds, to line up with the other TNC's log
};

void EndTransmission(Transmission& tx, std::FILE* log) {
    if (!tx.Open) return;
    if (log != nullptr) {
        std::fprintf(log, "%.3f %.3f %d\n", tx.At, static_cast<double>(tx.Bytes) / kBytesPerSecond,
                     tx.Spoiled);
        std::fflush(log);
    }
    tx = Transmission{};
}

}  // namespace

int main(int argc, char** argv) {
    const int port = argc > 1 ? std::atoi(argv[1]) : 0;
    int spoilOneIn = 0;
    unsigned seed = 1;
    std::FILE* log = nullptr;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--spoil") == 0) spoilOneIn = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--seed") == 0) seed = static_cast<unsigned>(std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--log") == 0) log = std::fopen(argv[i + 1], "a");
    }
    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (port <= 0 || port > 65535 || sock < 0) return 2;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::mt19937 random(seed);

    std::vector<unsigned char> audio;  // taken in, not yet sent
    int inputOpen = 1;
    const long long start = NowMicros();
    long long sent = 0;  // bytes of the stream since start
    long long lastInput = 0;
    Transmission tx;
    while (inputOpen || audio.size() >= 2) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (inputOpen && audio.size() < kBufferBytes && poll(&in, 1, 10) > 0) {
            unsigned char chunk[16384];
            const ssize_t n = read(STDIN_FILENO, chunk, std::min(sizeof chunk, kBufferBytes - audio.size()));
            if (n > 0) {
                if (!tx.Open) {
                    tx.Open = 1;
                    tx.At = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
                                .count();
                    tx.Spoiled = spoilOneIn > 0 && random() % static_cast<unsigned>(spoilOneIn) == 0;
                }
                for (long long i = 0; i < n; ++i) {
                    if (tx.Spoiled && tx.Bytes + i >= kSpoilFrom && tx.Bytes + i < kSpoilTo) chunk[i] = 0;
                }
                tx.Bytes += n;
                lastInput = NowMicros();
                audio.insert(audio.end(), chunk, chunk + n);
            }
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) inputOpen = 0;
        } else if (!inputOpen || audio.size() >= kBufferBytes) {
            usleep(10000);
        }
        // Input held back by a full buffer is not quiet.
        if (audio.size() >= kBufferBytes) lastInput = NowMicros();
        if (NowMicros() - lastInput >= kQuietMicros) EndTransmission(tx, log);
        // Send what the real-time clock says is due, skipping what a stall lost.
        const long long due = (NowMicros() - start) * kBytesPerSecond / 1000000;
        sent = std::max(sent, due - kMaxBurstBytes);
        for (; due - sent >= static_cast<long long>(kDatagramBytes); sent += kDatagramBytes) {
            unsigned char datagram[kDatagramBytes] = {};
            // Whole samples only, so that silence never splits one.
            const std::size_t take = std::min(kDatagramBytes, audio.size() & ~static_cast<std::size_t>(1));
            for (std::size_t i = 0; i < take; i += 2) {
                const int sample = static_cast<std::int16_t>(audio[i] | (audio[i + 1] << 8)) / kLevelDivisor;
                datagram[i] = static_cast<unsigned char>(sample & 0xFF);
                datagram[i + 1] = static_cast<unsigned char>((sample >> 8) & 0xFF);
            }
            audio.erase(audio.begin(), audio.begin() + static_cast<std::ptrdiff_t>(take));
            // A receiver that is not up yet refuses; that is no reason to stop.
            (void)sendto(sock, datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
        }
    }
    EndTransmission(tx, log);
    close(sock);
    return 0;
}
