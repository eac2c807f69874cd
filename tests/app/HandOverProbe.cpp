// The real desktop application with one change: every sign-in callback URL that reaches the callback handler is
// printed on standard output, so that a test in another process can see what arrived.

#include "app/Application.h"

#include <cstdio>

int main(int argc, char** argv)
{
    return runApplication(argc, argv, [](bool debugLogging) {
        AppEnvironment env = AppEnvironment::standard(debugLogging);
        env.handleCallbackURL = [](const QUrl& url) {
            std::printf("callback %s\n", qPrintable(url.toString()));
            std::fflush(stdout);
        };
        return env;
    });
}
