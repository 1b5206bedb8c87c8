// Serves a layer-2 backend between the ticks: a backend with timers and a
// descriptor of its own (the KISS client's acknowledgements, retries and
// incoming frames) is woken when its descriptor has input or its next
// timer falls due, so that answers leave within milliseconds, not at the
// next tick, and an idle program sleeps.
//
// Threading: GUI thread only.
#pragma once

#include <QObject>
#include <QTimer>

class QSocketNotifier;
struct PlatformPort;

class Layer2Pump : public QObject {
    Q_OBJECT
public:
    explicit Layer2Pump(PlatformPort& port, QObject* parent = nullptr);
    // Services the backend now and arms the wake-ups it asks for.
    void service();

private:
    PlatformPort& port_;
    QTimer timer_;
    QSocketNotifier* notifier_ = nullptr;
    int fd_ = -1;
};
