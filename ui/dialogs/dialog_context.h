// What every dialog is handed by the main window when a menu command opens
// it: the shared state, the platform port, the base units that size it, the
// main window (owner of the help window and of the boxes the main window
// would show), and the immediate-call request of the channel dialog.
//
// Threading: GUI thread only.
#pragma once

#include <functional>

#include "ui/base_units.h"

struct AppState;
struct PlatformPort;
class QWidget;

struct DialogContext {
    AppState* State;
    PlatformPort* Port;
    BaseUnits Units;
    QWidget* MainWindow;
    // Restarts the minute timer and queues MinuteTick(true); 0 when the
    // timer could not be started again.
    std::function<int()> RequestImmediateCall;
};
