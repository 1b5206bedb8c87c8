// Carries one Direwolf instance's transmitted audio to another instance's
// UDP audio input, for the end-to-end test on two TNCs.
//
// Direwolf writes its transmit audio to an ALSA "file" PCM whose file is a
// pipe into this program: raw 16-bit little-endian mono samples on standard
// input, delivered much faster than real time (the PCM's slave is the null
// device). They go out to 127.0.0.1:PORT as a steady real-time stream of
// kDatagramBytes datagrams: transmitted audio while there is some, silence
// otherwise. Pacing matters twice over: a burst of a whole frame's audio
// overruns the receiver's socket buffer, and without a continuous stream the
// receiving Direwolf's carrier detect never drops, so it never answers.
//
// The samples are scaled down to a level a receiver expects from a radio
// (Direwolf transmits at nearly full scale and would warn of every frame
// it hears as too loud).
//
// Usage: audio_forward PORT [RATE]   (RATE defaults to 48000)
// Ends when standard input closes and the audio taken in has gone out.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kDatagramBytes = 1024;
constexpr int kTickMillis = 10;
// Audio read ahead of the stream; Direwolf waits on the pipe beyond that,
// as it would on a sound card.
constexpr std::size_t kBufferBytes = 256 * 1024;
// After a stall, at most this much is sent at once to catch up.
constexpr long long kMaxCatchUpMillis = 100;
constexpr int kLevelDivisor = 4;

long long NowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: audio_forward PORT [RATE]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const long long rate = argc > 2 ? std::atoll(argv[2]) : 48000;
    if (port <= 0 || port > 65535 || rate <= 0) {
        std::fprintf(stderr, "audio_forward: bad port or rate\n");
        return 2;
    }
    const long long bytesPerSecond = rate * 2;

    const int sock = socket(AF_INET, SOCK_DGRAM, 0);
    if (sock < 0) {
        std::perror("audio_forward: socket");
        return 1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<unsigned short>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    std::vector<unsigned char> audio;  // taken in, not yet sent
    audio.reserve(kBufferBytes);
    int inputOpen = 1;
    const long long start = NowMicros();
    long long sentBytes = 0;  // of the stream since start

    while (inputOpen || !audio.empty()) {
        // Take in what the pipe holds, up to the buffer's size.
        const int room = inputOpen && audio.size() < kBufferBytes;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = room ? poll(&in, 1, kTickMillis) : (usleep(kTickMillis * 1000), 0);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            unsigned char chunk[16384];
            const std::size_t want = std::min(sizeof chunk, kBufferBytes - audio.size());
            const ssize_t n = read(STDIN_FILENO, chunk, want);
            if (n == 0) inputOpen = 0;
            if (n < 0 && errno != EINTR && errno != EAGAIN) inputOpen = 0;
            if (n > 0) audio.insert(audio.end(), chunk, chunk + n);
        }
        // Send what the real-time clock says is due.
        const long long elapsed = NowMicros() - start;
        long long due = elapsed * bytesPerSecond / 1000000 - sentBytes;
        const long long maxBurst = bytesPerSecond * kMaxCatchUpMillis / 1000;
        if (due > maxBurst) {
            sentBytes += due - maxBurst;  // skip what a stall lost
            due = maxBurst;
        }
        while (due >= kDatagramBytes) {
            unsigned char datagram[kDatagramBytes] = {};
            // Whole samples only, so that silence never splits one.
            const std::size_t take = std::min<std::size_t>(kDatagramBytes, audio.size() & ~static_cast<std::size_t>(1));
            if (take > 0) {
                for (std::size_t i = 0; i + 1 < take; i += 2) {
                    const int sample = static_cast<std::int16_t>(audio[i] | (audio[i + 1] << 8)) / kLevelDivisor;
                    datagram[i] = static_cast<unsigned char>(sample & 0xFF);
                    datagram[i + 1] = static_cast<unsigned char>((sample >> 8) & 0xFF);
                }
                audio.erase(audio.begin(), audio.begin() + static_cast<std::ptrdiff_t>(take));
            }
            // A receiver that is not up yet refuses; that is no reason to stop.
            (void)sendto(sock, datagram, sizeof datagram, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            sentBytes += kDatagramBytes;
            due -= kDatagramBytes;
        }
        if (!inputOpen && audio.size() < 2) break;
    }
    close(sock);
    return 0;
}
