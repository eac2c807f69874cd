#pragma once

/// Connects the account to the desktop: the browser for sign-in, "--debug" lines on standard error, and a clear
/// word on standard error when the backend configuration keeps sync off.
namespace AccountWiring {

void install(bool debugLogging);

} // namespace AccountWiring
