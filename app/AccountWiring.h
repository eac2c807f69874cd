#pragma once

#include "ui/settings/SettingsAccount.h"

#include <QUrl>
#include <functional>

class AuthManager;

/// Connects the account to the desktop: the browser for sign-in, "--debug" lines on standard error, a clear word on
/// standard error when the backend configuration keeps sync off, and the settings window's account section.
namespace AccountWiring {

/// Completes sign-in from a callback URL; done gets the error's text on failure.
using CallbackHandler = std::function<void(const QUrl&, SettingsAccount::Done done)>;

void install(bool debugLogging);

/// The settings window's view of auth: its state, sign-in, its cancel and sign-out, "Sync now" and leaving the
/// board (completing with the error's text on failure) and its change notices.
SettingsAccount settingsAccount(AuthManager& auth);

/// The handler of sign-in callback URLs; the failure of a callback that arrived while a sign-in waited is told.
CallbackHandler callbackHandler(AuthManager& auth);

} // namespace AccountWiring
