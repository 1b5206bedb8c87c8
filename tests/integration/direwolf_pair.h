// Two Direwolf software TNCs wired to each other through audio over UDP on
// loopback, with no sound card: each instance receives 48 kHz 16-bit audio
// on its own UDP port, and transmits into an ALSA "file" PCM (defined in a
// per-instance ~/.asoundrc) that pipes into the audio forwarder, which sends
// it on to the other instance's port and fills the pauses with silence.
//
// Each instance runs in its own process group and is stopped by its process
// id when the pair is destroyed, also when a test fails.
//
// Threading: test thread only.
#pragma once

#include <string>
#include <sys/types.h>

constexpr int kDirewolfStartSeconds = 15;  // until its AGW port accepts

struct DirewolfInstance {
    std::string Dir;      // its HOME, config and log
    std::string TncCall;  // its MYCALL
    int AgwPort = 0;
    int KissPort = 0;
    int AudioPort = 0;    // where it receives audio
    pid_t Pid = -1;
};

class DirewolfPair {
public:
    DirewolfPair() = default;
    ~DirewolfPair();
    DirewolfPair(const DirewolfPair&) = delete;
    DirewolfPair& operator=(const DirewolfPair&) = delete;

    // Path of the direwolf program, or empty when it is not installed.
    static std::string FindDirewolf();

    // Writes the configurations and starts both instances; 0 with a reason
    // in *error when either does not come up.
    int Start(const std::string& forwarder, std::string* error);
    void Stop();
    // Both logs, for a failure message.
    std::string Logs() const;

    DirewolfInstance A;
    DirewolfInstance B;

private:
    std::string root_;
};

// A whole file written or read as bytes; reading a missing file gives "".
void WriteFile(const std::string& path, const std::string& text);
std::string ReadFile(const std::string& path);

// A TCP or UDP port that nothing listens on right now.
int FreePort(int type);
