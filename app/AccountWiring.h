#pragma once

#include "ui/settings/SettingsAccount.h"

class AuthManager;

/// Connects the account to the desktop: the browser for sign-in, "--debug" lines on standard error, a clear word on
/// standard error when the backend configuration keeps sync off, and the settings window's account section.
namespace AccountWiring {

void install(bool debugLogging);

/// The settings window's view of auth: its session, sign-in and sign-out, "Sync now" (completing with the error's
/// text on failure) and its change notices.
SettingsAccount settingsAccount(AuthManager& auth);

} // namespace AccountWiring
