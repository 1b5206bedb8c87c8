// The desktop program: the platform port and shell host on top of the main
// window. Boxes that wait for an answer run QMessageBox::exec() (timers keep
// firing in its loop); notices open modal without blocking the caller.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "ui/base_units.h"
#include "ui/shell_port.h"

class MainWindow;

class GuiShell final : public ShellPort {
public:
    GuiShell(ShellSession& session, AppState& state, BaseUnits units);
    ~GuiShell() override;

    MainWindow* window() const { return window_.get(); }

    // PlatformPort
    BoxAnswer ask(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) override;
    void tell(const char* text, const char* caption, BoxIcon icon) override;
    void repaint(bool erase) override;
    void setStatusText(int field, const char* text) override;
    int isButtonChecked(int commandId) override;
    int isButtonEnabled(int commandId) override;
    void enableButton(int commandId, int enable) override;

    // ShellHost
    void createWindow() override;
    void createToolbar() override;
    void createStatusBar(const int* widths, int count) override;
    void showWindow() override;

private:
    BaseUnits units_;
    std::unique_ptr<MainWindow> window_;
};
