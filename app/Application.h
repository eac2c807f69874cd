#pragma once

/// Runs the desktop application until "Quit Korvel" or the end of the session; returns the process status.
int runApplication(int argc, char** argv);
