// Everything the core needs from outside: message boxes, the log, repaint,
// the status bar and toolbar, the local time and the layer-2 stack.
// Implemented by the Qt window, by the headless service and by scriptable
// fakes in tests; the core never includes a Qt header.
//
// Threading: GUI thread only. ask() runs a nested loop in which timer ticks
// keep arriving (the connect cycle must tolerate re-entry); tell() never
// blocks the caller.
#pragma once

#include <ctime>

struct Layer2;

enum class BoxIcon { Warning, Error, Information };
enum class BoxButtons { Ok, OkCancel, RetryCancel };
enum class BoxAnswer { Ok, Cancel, Retry };

// The toolbar's Hold Marker check button: read where records are added, below
// the view that owns the toolbar's other ids.
constexpr int kHoldMarkerButtonId = 40015;

struct PlatformPort {
    virtual ~PlatformPort() = default;

    // A modal box that waits for the user's answer (size prompt, "Too many
    // timers!" with Retry/Cancel, errors at start-up). Headless: Cancel for
    // a question, Ok for a plain notice.
    virtual BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) = 0;
    // A modal notice that needs no answer and does not block the caller.
    virtual void tell(const char* text, const char* caption, BoxIcon icon) = 0;
    // One line for the operator, without its line end (LogLine formats it):
    // standard error for the window and the service.
    virtual void log(const char* line) = 0;

    // Repaint the whole client area (erase = background erased first).
    virtual void repaint(bool erase) = 0;

    // Status bar field 0..6.
    virtual void setStatusText(int field, const char* text) = 0;

    // Toolbar buttons by command id.
    virtual int isButtonChecked(int commandId) = 0;
    virtual int isButtonEnabled(int commandId) = 0;
    virtual void enableButton(int commandId, int enable) = 0;

    // Local broken-down time, as the C library's localtime gives it.
    virtual std::tm localTime() = 0;

    virtual Layer2& l2() = 0;
};
