#include "app/Application.h"

#include "app/AccountWiring.h"
#include "app/AppDelegate.h"
#include "app/RuntimeFolder.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool hasEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// Qt aborts when it has neither a platform nor a display; say what is missing instead.
bool chooseDisplay()
{
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const bool asksWayland = platform && std::strncmp(platform, "wayland", 7) == 0;
    if (platform && *platform && !asksWayland)
        return true;
    const bool wayland = asksWayland || hasEnv("WAYLAND_DISPLAY");
    if (hasEnv("DISPLAY")) {
        // The overlay places its own window, which Wayland does not allow: run through XWayland, even where the
        // session asks every Qt program for Wayland.
        if (wayland)
            setenv("QT_QPA_PLATFORM", "xcb", 1);
        return true;
    }
    if (wayland) {
        std::fprintf(stderr, "korvel: this Wayland session has no XWayland (DISPLAY is not set). Korvel places its "
                             "overlay at the top of the screen itself, which Wayland allows only to X11 programs: "
                             "enable XWayland (Debian package xwayland) and log in again. The command-line reports "
                             "work anywhere: try korvel --stats\n");
        return false;
    }
    std::fprintf(stderr, "korvel: no display found; the desktop application needs X11 or Wayland (DISPLAY is not "
                         "set). The command-line reports work anywhere: try korvel --stats\n");
    return false;
}

bool wantsDebugLogging(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--debug") == 0)
            return true;
    return false;
}

} // namespace

int runApplication(int argc, char** argv)
{
    return runApplication(argc, argv, AppEnvironment::standard);
}

int runApplication(int argc, char** argv, const std::function<AppEnvironment(bool debugLogging)>& makeEnvironment)
{
    if (!chooseDisplay())
        return 1;
    const bool debug = wantsDebugLogging(argc, argv);
    // The overlay sends a few sprite pixels five times a second for as long as it runs; shared-memory image
    // transfers cost more than they save at that size (a third of the idle CPU use, measured under Xvfb).
    if (!hasEnv("QT_XCB_NO_MITSHM"))
        setenv("QT_XCB_NO_MITSHM", "1", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    QApplication::setOrganizationName(QStringLiteral("Korvel"));
    QApplication::setQuitOnLastWindowClosed(false);

    const RuntimeFolder::Result folder = RuntimeFolder::locate();
    if (folder.path.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(folder.error));
        return 1;
    }
    SingleInstance instance(folder.path);
    switch (instance.start(QApplication::arguments())) {
    case SingleInstance::Outcome::HandedOver:
        return 0;
    case SingleInstance::Outcome::Failed:
        std::fprintf(stderr, "%s\n", qPrintable(instance.error()));
        return 1;
    case SingleInstance::Outcome::First:
        // Korvel still runs; only the hand-over from later starts is lost, and the user should know.
        if (!instance.error().isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(instance.error()));
        break;
    }

    TerminationSignals termination;
    AccountWiring::install(debug);
    AppDelegate delegate(makeEnvironment(debug));
    QObject::connect(&termination, &TerminationSignals::received, &delegate, &AppDelegate::quit);
    delegate.launch();
    // Hand-overs wait in the socket's queue until the event loop runs, so none is lost before this point.
    instance.onMessage = [&delegate](const QStringList& args) { delegate.handleArguments(args); };
    delegate.handleArguments(QApplication::arguments());
    const int status = app.exec();
    // A build still running would hold the teardown until it ends; nothing of it needs saving (see quit()).
    if (delegate.workerBusyAtQuit()) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
