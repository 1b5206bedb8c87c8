#include "ui/shutdown_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace {

int gSignalFds[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    const ssize_t ignored = write(gSignalFds[0], &byte, 1);
    (void)ignored;
}

}  // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {}

ShutdownSignals::~ShutdownSignals() {
    if (notifier_ == nullptr) return;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    close(gSignalFds[0]);
    close(gSignalFds[1]);
    gSignalFds[0] = gSignalFds[1] = -1;
}

int ShutdownSignals::install() {
    if (notifier_ != nullptr) return 1;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalFds) != 0) return 0;
    notifier_ = new QSocketNotifier(gSignalFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buffer[16];
        while (read(gSignalFds[1], buffer, sizeof buffer) > 0) {}
        emit shutdownRequested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0) return 0;
    return 1;
}
