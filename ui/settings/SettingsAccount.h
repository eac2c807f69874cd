#pragma once

#include "core/Stats.h"

#include <QString>
#include <functional>
#include <optional>

/// What the settings window shows of a signed-in user.
struct SignedInUser
{
    std::optional<QString> email;
    /// The keyring could not store the session: it ends with this run.
    bool thisRunOnly = false;
};

/// The account's state as the settings window shows it.
struct AccountState
{
    /// None when signed out.
    std::optional<SignedInUser> user;
    /// A sign-in waits for the browser to hand back its answer.
    bool waitingForBrowser = false;
    /// False when no leaderboard server is set up: sign-in cannot start.
    bool serverConfigured = true;
};

/// The account as the settings window sees it: a few callbacks, so the window never depends on the sign-in and sync
/// code itself. An absent callback means the account is not connected. Completions may run on any thread, with no
/// text on success or the error's text.
struct SettingsAccount
{
    using Done = std::function<void(std::optional<QString> errorText)>;

    std::function<AccountState()> state;
    /// Opens the browser at the provider's ("github" or "google") sign-in page; false when the browser could not be
    /// asked to open it.
    std::function<bool(const QString& provider)> beginOAuth;
    /// Stops waiting for the browser.
    std::function<void()> cancelSignIn;
    std::function<void()> signOut;
    /// Sends the record now.
    std::function<void(const Stats&, Done)> syncNow;
    /// Removes the user's row from the leaderboard.
    std::function<void(Done)> leave;
    /// Hands over the callback the account runs, from any thread, after every change of the session.
    std::function<void(std::function<void()> sessionChanged)> subscribe;
    /// How long a sign-in waits for the browser, in milliseconds.
    int signInWaitMs = 600'000;
};
