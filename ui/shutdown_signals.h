// SIGTERM and SIGINT end the program in order (settings written) instead of
// killing it: the signal handler only writes a byte into a socket pair, and
// the event loop picks it up and runs the shut-down sequence on the GUI
// thread.
//
// Threading: install() and the notifier run on the GUI thread; the handler
// itself does nothing but write(2).
#pragma once

#include <QObject>

class QSocketNotifier;

class ShutdownSignals : public QObject {
    Q_OBJECT
public:
    explicit ShutdownSignals(QObject* parent = nullptr);
    ~ShutdownSignals() override;
    // 0 when the socket pair or the handlers cannot be set up.
    int install();

signals:
    void shutdownRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};
