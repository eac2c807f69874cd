#pragma once

#include "core/Stats.h"

#include <QString>
#include <functional>
#include <optional>

/// What the settings window shows of a signed-in user.
struct SignedInUser
{
    std::optional<QString> email;
};

/// The account as the settings window sees it: a few callbacks, so the window never depends on the sign-in and sync
/// code itself. An absent callback means the account is not connected.
struct SettingsAccount
{
    /// The current session, or none when signed out.
    std::function<std::optional<SignedInUser>()> session;
    /// Opens the browser at the provider's ("github" or "google") sign-in page; false when the browser could not be
    /// asked to open it.
    std::function<bool(const QString& provider)> beginOAuth;
    std::function<void()> signOut;
    /// Sends the record now. The completion may run on any thread, with no text on success or the error's text.
    std::function<void(const Stats&, std::function<void(std::optional<QString> errorText)>)> syncNow;
    /// Hands over the callback the account runs, from any thread, after every change of the session.
    std::function<void(std::function<void()> sessionChanged)> subscribe;
};
