#pragma once

#include "app/AppDelegate.h"

#include <functional>

/// Runs the desktop application until "Quit Korvel" or the end of the session; returns the process status.
int runApplication(int argc, char** argv);

/// The same with the environment that makeEnvironment gives (its argument: whether --debug is on).
int runApplication(int argc, char** argv, const std::function<AppEnvironment(bool debugLogging)>& makeEnvironment);
