#include "ui/layer2_pump.h"

#include <QSocketNotifier>

#include "core/platform_port.h"
#include "radio/layer2.h"

Layer2Pump::Layer2Pump(PlatformPort& port, QObject* parent) : QObject(parent), port_(port) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { service(); });
}

void Layer2Pump::service() {
    const Layer2Wakeup wake = port_.l2().Service();
    if (wake.Fd != fd_) {
        delete notifier_;
        notifier_ = nullptr;
        fd_ = wake.Fd;
        if (fd_ >= 0) {
            notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this, [this] { service(); });
        }
    }
    if (wake.DueInMs >= 0) {
        timer_.start(wake.DueInMs);
    } else {
        timer_.stop();
    }
}
