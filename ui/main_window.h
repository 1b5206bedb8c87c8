// The main window "Linkscope": the menu, the client area with the toolbar and
// the status bar, and command dispatch by command id. Menu and toolbar
// actions carry their command ids as data, so that one handler routes both.
// Closing the window, by the Exit item or by the frame, runs the shut-down
// sequence once.
//
// Threading: GUI thread only.
#pragma once

#include <QMainWindow>
#include <functional>

#include "ui/base_units.h"

struct AppState;
struct PlatformPort;
class ClientArea;
class QAction;
class StatusBarWidget;

constexpr int kCmdExit = 1;
constexpr int kCmdDigipeaterConnects = 2;
constexpr int kCmdHelpEnglish = 8;
constexpr int kCmdConnectInterval = 11;
constexpr int kCmdAnswerText = 12;
constexpr int kCmdAbout = 13;
constexpr int kCmdGraphicsSettings = 78;
constexpr int kCmdHelpGerman = 108;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent = nullptr);

    // The two controls, made at start-up (see app/session.h).
    void createToolBar();
    void createStatusBar(const int* widths, int count);

    // What the platform port reaches.
    void setStatusText(int field, const char* text);
    int isButtonChecked(int commandId) const;
    int isButtonEnabled(int commandId) const;
    void enableButton(int commandId, int enable);

    ClientArea* clientArea() const { return client_; }
    QAction* toolbarAction(int commandId) const;
    BaseUnits baseUnits() const { return units_; }

    // Runs the shut-down sequence (set by the shell).
    std::function<void()> onShutdown;
    // The channel dialog's request for an immediate call (set by the shell):
    // restarts the minute timer and queues the call; 0 when the timer could
    // not be started again.
    std::function<int()> requestImmediateCall;

public slots:
    void runCommand(int commandId);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void updateHoldMarkerTooltip();

    AppState& state_;
    PlatformPort& port_;
    BaseUnits units_;
    ClientArea* client_;
};
