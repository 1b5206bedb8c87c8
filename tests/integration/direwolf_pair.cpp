// Starting and stopping the Direwolf pair; see direwolf_pair.h.
#include "integration/direwolf_pair.h"

#include "agw_fake_server.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

int Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = Ipv4Address(INADDR_LOOPBACK, port);
    const int ok = connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

void Configure(DirewolfInstance& d, const std::string& forwarder, int sendTo) {
    std::filesystem::create_directories(d.Dir);
    // The transmit PCM: a file plugin on the null device whose "file" is a
    // pipe into the forwarder.
    WriteFile(d.Dir + "/.asoundrc",
              "pcm.hopwatch_tx {\n"
              "  type file\n"
              "  slave.pcm \"null\"\n"
              "  file \"|" + forwarder + " " + std::to_string(sendTo) + "\"\n"
              "  format \"raw\"\n"
              "}\n");
    WriteFile(d.Dir + "/direwolf.conf",
              "ADEVICE UDP:" + std::to_string(d.AudioPort) + " hopwatch_tx\n"
              "ARATE 48000\n"
              "ACHANNELS 1\n"
              "CHANNEL 0\n"
              "MYCALL " + d.TncCall + "\n"
              "MODEM 1200\n"
              "AGWPORT " + std::to_string(d.AgwPort) + "\n"
              "KISSPORT " + std::to_string(d.KissPort) + "\n");
}

pid_t Launch(const DirewolfInstance& d, const std::string& direwolf) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    // Child: its own process group, so that the forwarder it starts goes
    // down with it.
    setpgid(0, 0);
    // Should the test itself die, the TNC goes too.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (chdir(d.Dir.c_str()) != 0) _exit(127);
    setenv("HOME", d.Dir.c_str(), 1);
    const int log = open("direwolf.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
        dup2(log, STDOUT_FILENO);
        dup2(log, STDERR_FILENO);
        close(log);
    }
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, STDIN_FILENO);
    execl(direwolf.c_str(), "direwolf", "-c", "direwolf.conf", "-t", "0", "-q", "h", static_cast<char*>(nullptr));
    _exit(127);
}

void Terminate(DirewolfInstance& d) {
    if (d.Pid <= 0) return;
    kill(-d.Pid, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (waitpid(d.Pid, nullptr, WNOHANG) == d.Pid) {
            kill(-d.Pid, SIGKILL);  // a forwarder that outlived it
            d.Pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(-d.Pid, SIGKILL);
    waitpid(d.Pid, nullptr, 0);
    d.Pid = -1;
}

}  // namespace

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int FreePort(int type) {
    // Direwolf takes ports up to 49151 only, below the kernel's ephemeral
    // range, so the kernel cannot pick one: try from a random start.
    static unsigned next = static_cast<unsigned>(getpid()) * 7919u;
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int port = 20000 + static_cast<int>(next++ % 12000u);
        const int fd = socket(AF_INET, type, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        const sockaddr_in a = Ipv4Address(INADDR_ANY, port);
        const int ok = bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        if (ok) return port;
    }
    return 0;
}

std::string DirewolfPair::FindDirewolf() {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    dirs += ":/usr/bin:/usr/local/bin";
    std::stringstream s(dirs);
    std::string dir;
    while (std::getline(s, dir, ':')) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/direwolf";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return "";
}

int DirewolfPair::Start(const std::string& forwarder, std::string* error) {
    const std::string direwolf = FindDirewolf();
    if (direwolf.empty()) {
        *error = "direwolf is not installed";
        return 0;
    }
    char pattern[] = "/tmp/hopwatch-direwolf-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        *error = "cannot make a temporary folder";
        return 0;
    }
    root_ = pattern;
    A.Dir = root_ + "/a";
    B.Dir = root_ + "/b";
    A.TncCall = "Q1TNA";
    B.TncCall = "Q1TNB";
    for (DirewolfInstance* d : {&A, &B}) {
        d->AgwPort = FreePort(SOCK_STREAM);
        d->KissPort = FreePort(SOCK_STREAM);
        d->AudioPort = FreePort(SOCK_DGRAM);
    }
    Configure(A, forwarder, B.AudioPort);
    Configure(B, forwarder, A.AudioPort);
    A.Pid = Launch(A, direwolf);
    B.Pid = Launch(B, direwolf);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kDirewolfStartSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (Accepts(A.AgwPort) && Accepts(B.AgwPort)) return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    *error = "the Direwolf pair did not come up:\n" + Logs();
    return 0;
}

DirewolfPair::~DirewolfPair() {
    Stop();
    if (!root_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
}

void DirewolfPair::Stop() {
    Terminate(A);
    Terminate(B);
}

std::string DirewolfPair::Logs() const {
    std::string all;
    for (const DirewolfInstance* d : {&A, &B}) {
        all += "---- " + d->Dir + "/direwolf.log\n" + ReadFile(d->Dir + "/direwolf.log");
    }
    return all;
}
