#include "ui/program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "acquisition/answer_service.h"
#include "app/demo.h"
#include "app/options.h"
#include "app/session.h"
#include "core/app_state.h"
#include "history/history_csv.h"
#include "radio/layer2_backend.h"
#include "ui/gui_shell.h"
#include "ui/headless_shell.h"
#include "ui/main_window.h"
#include "ui/metrics_server.h"
#include "ui/shutdown_signals.h"
#include "view/link_availability.h"

namespace {

constexpr int kScreenshotDelayMs = 1500;

// The one shared state of the run; large, so not on the stack.
AppState gState;

int RunHeadless(int argc, char** argv, ShellSession& session) {
    QCoreApplication app(argc, argv);
    HeadlessShell shell(session, gState);
    const int entry = ProgramEntry(session, gState, shell, shell);
    if (entry != kEnterMessageLoop) return entry;
    const std::unique_ptr<MetricsServer> metrics = StartMetricsServer(session, gState);

    ShutdownSignals stopSignals;
    QObject::connect(&stopSignals, &ShutdownSignals::shutdownRequested, &app,
                     [&] { ShutdownSequence(session, gState, shell, shell); });
    if (!stopSignals.install()) {
        std::fprintf(stderr,
                     "hopwatch: SIGTERM and SIGINT cannot be caught; they will end the "
                     "service without writing the settings\n");
    }
    const int code = QCoreApplication::exec();
    ShutdownSequence(session, gState, shell, shell);
    ReleaseSession(session, gState);
    return code;
}

// Qt aborts with a long message when no display can be reached; say it in
// one line and point at the service mode instead.
int HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return 1;
    }
    return 0;
}

int RunGui(int argc, char** argv, ShellSession& session, const char* screenshot) {
    if (!HasDisplay()) {
        std::fprintf(stderr,
                     "hopwatch: no display to open the window on (DISPLAY is not set); "
                     "use --headless, or run it under xvfb-run\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("hopwatch"));
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    // The loop ends only through the shut-down sequence: closing a box while
    // the window is hidden must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);
    GuiShell shell(session, gState, MeasureBaseUnits(QApplication::font()));
    const int entry = ProgramEntry(session, gState, shell, shell);
    if (entry != kEnterMessageLoop) return entry;
    const std::unique_ptr<MetricsServer> metrics = StartMetricsServer(session, gState);

    ShutdownSignals stopSignals;
    QObject::connect(&stopSignals, &ShutdownSignals::shutdownRequested, &app,
                     [&] { shell.window()->close(); });
    stopSignals.install();

    if (screenshot[0] != '\0') {
        const QString path = QString::fromLocal8Bit(screenshot);
        QTimer::singleShot(kScreenshotDelayMs, &app, [&shell, path] {
            if (!shell.window()->grab().save(path, "PNG")) {
                std::fprintf(stderr, "hopwatch: could not write the screenshot %s\n",
                             path.toLocal8Bit().constData());
            }
            shell.window()->close();
        });
    }
    const int code = QApplication::exec();
    ShutdownSequence(session, gState, shell, shell);
    ReleaseSession(session, gState);
    return code;
}

}  // namespace

// The resources live in the shell library; a static library's resources
// must be registered by name.
void InitShellResources() {
    Q_INIT_RESOURCE(resources);
}

int RunProgram(int argc, char** argv) {
    InitShellResources();
    static ShellOptions options;
    char error[512] = "";
    switch (ParseShellOptions(argc, argv, options, error, sizeof error)) {
        case OptionsAction::Help:
            std::fputs(ShellUsageText(), stdout);
            return 0;
        case OptionsAction::Version:
            std::printf("hopwatch %s\n", kProgramVersion);
            return 0;
        case OptionsAction::Error:
            std::fprintf(stderr, "hopwatch: %s\n", error);
            return 2;
        case OptionsAction::Run:
            break;
    }
    if (options.ExportCsv[0] != '\0') {
        return ExportHistoryFileCsv(options.ExportCsv, options.Link, stdout, stderr);
    }
    if (options.Availability[0] != '\0') {
        return PrintAvailabilityFile(options.Availability, options.Link, stdout, stderr);
    }
    char demoDir[kPathSize] = "";
    if (options.Demo) {
        if (options.ConfigPath[0] != '\0' || options.DataDir[0] != '\0' || options.Backend[0] != '\0') {
            std::fprintf(stderr,
                         "hopwatch: --demo brings its own settings, data and network; "
                         "leave out --config, --data-dir and --l2\n");
            return 2;
        }
        if (!DemoDirectory(demoDir, sizeof demoDir)) {
            std::fprintf(stderr, "hopwatch: no home directory for the demo (set HOME or XDG_CACHE_HOME)\n");
            return 2;
        }
        ApplyDemoOptions(demoDir, options);
    }

    InitAppState(gState);
    ShellSession session{};
    InitShellSession(session, gState, options);
    if (options.Backend[0] != '\0') {
        // A backend named on the command line is checked before anything
        // else, so that a typing error is not mistaken for a missing stack.
        session.Backend = CreateLayer2Backend(options.Backend, error, sizeof error, StandardErrorLog());
        if (!session.Backend) {
            std::fprintf(stderr, "hopwatch: %s\n", error);
            return 2;
        }
    }
    if (options.Demo) {
        // The demo's history comes from the same simulated network the run
        // carries on with, so the live calls continue its curves.
        if (!PrepareDemo(demoDir, *session.Backend, std::time(nullptr), StandardErrorLog(), error,
                         sizeof error)) {
            std::fprintf(stderr, "hopwatch: %s\n", error);
            return 1;
        }
        session.LoadHistories = 1;
        // Its own instance lock, so a collector running beside it does not
        // keep the demo out.
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", demoDir);
        std::fprintf(stderr, "hopwatch: demo settings and history in %s\n", demoDir);
    }
    if (options.Headless) {
        if (options.Screenshot[0] != '\0') {
            std::fprintf(stderr, "hopwatch: --screenshot needs the window, not --headless\n");
            return 2;
        }
        return RunHeadless(argc, argv, session);
    }
    return RunGui(argc, argv, session, options.Screenshot);
}
