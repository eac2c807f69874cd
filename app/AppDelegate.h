#pragma once

#include "app/DirWatcher.h"
#include "app/LeaderboardController.h"
#include "app/RefreshPipeline.h"
#include "core/Stats.h"
#include "prefs/Prefs.h"
#include "ui/settings/GuiPoster.h"
#include "ui/settings/SettingsAccount.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class NotchController;
class SettingsWindowController;

/// What the running application reads and writes outside itself, so that tests can stand in for it.
struct AppEnvironment
{
    /// One statistics build with the save of its stats cache; runs on the worker thread.
    std::function<RefreshResult()> build;
    /// Writes what the builds left unsaved; runs on the worker thread when the application quits.
    std::function<void()> flush;
    /// Saves the figures shown, on the GUI thread, when quitting cannot wait for the build in progress.
    std::function<void(const Stats&)> saveStats;
    /// How long quitting waits for the build in progress and the flush.
    int quitWaitMs = 300;
    /// The last record saved, for an immediate start.
    std::function<std::optional<Stats>()> loadCachedStats;
    /// The folder whose direct entries are watched (the Claude Code projects folder).
    QString watchedFolder;
    /// Where "Save card to Desktop" writes, and how the saved file is shown.
    std::function<QString()> desktopFolder;
    std::function<void(const QString&)> reveal;
    /// Writes one "[korvel] refresh @ ..." line per refresh to standard error.
    bool debugLogging = false;
    int refreshIntervalMs = 5000;
    /// Completes sign-in from a "korvel://auth" callback URL that a later start handed over or that came on the
    /// command line, then runs done (on any thread) with the error's text or none; callback URLs are dropped while it
    /// is empty.
    std::function<void(const QUrl&, SettingsAccount::Done done)> handleCallbackURL;
    /// The account behind the settings window's account section; not connected while empty.
    SettingsAccount account;
    /// Hands every new record to the leaderboard sync, which decides by itself whether to send; nothing is sent
    /// while it is empty.
    std::function<void(const Stats&)> sync;
    /// Where the leaderboard window reads the board; "Leaderboard…" is left out of the menu while it has no fetch.
    LeaderboardSource leaderboard;

    /// The real one: default log locations, the data directory, the user's desktop, the process's account and a
    /// sync throttle of its own.
    static AppEnvironment standard(bool debugLogging);
};

/// The running desktop companion: the tray menu, the refresh pipeline, the folder watcher and the notch overlay.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(AppEnvironment environment);
    ~AppDelegate() override;

    /// The launch sequence: menu, overlay, cached figures, first refresh, timer, watcher.
    void launch();

    /// Guarded refresh: dropped while one is queued.
    void refresh();
    /// Stores a new record and presents it.
    void apply(const Stats& stats);
    /// Re-presents the stored record (or none) with the current preferences, and rebuilds the menu.
    void applyLive();

    /// Shows the settings window, its controls and account section refreshed first.
    void openSettings();
    /// Shows the leaderboard window, created on first use.
    void openLeaderboard();
    /// Passes each "korvel://auth" callback URL among args to the handler; every other argument is ignored. A
    /// sign-in that fails shows why in the settings window, opened for it.
    void handleArguments(const QStringList& args);

    void toggleProtection();
    void toggleHideNotch();
    void saveCard();
    void copyCard();
    void quit();

    const std::optional<Stats>& stats() const { return m_stats; }
    QMenu* menu() const { return m_menu.get(); }
    NotchController* notch() const { return m_notch.get(); }
    SettingsWindowController* settings() const { return m_settings.get(); }
    QString headerTitle() const { return m_header->text(); }
    bool isRefreshing() const { return m_pipeline.isRefreshing(); }
    /// Quit found the worker still busy: the process may end without waiting for it.
    bool workerBusyAtQuit() const { return m_workerBusyAtQuit; }
    const RefreshPipeline& pipeline() const { return m_pipeline; }

private:
    void buildMenu();
    void buildTrayIcon();
    void wireNotch();
    void wireSettings();
    void present();
    /// Follows every preference change, wherever it was made: the overlay, its panel and the menu's check marks.
    void preferenceChanged(PrefKey key);
    void refreshed(const RefreshResult& result);
    void logRefresh(const RefreshResult& result) const;
    void signInFailed(const QString& text);

    AppEnvironment m_env;
    std::unique_ptr<NotchController> m_notch;
    std::unique_ptr<SettingsWindowController> m_settings;
    std::unique_ptr<LeaderboardController> m_leaderboard;
    std::unique_ptr<QMenu> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::optional<Stats> m_stats;
    std::unique_ptr<DirWatcher> m_watcher;
    RefreshPipeline m_pipeline;
    QAction* m_header = nullptr;
    QAction* m_protect = nullptr;
    QAction* m_hideNotch = nullptr;
    bool m_workerBusyAtQuit = false;
    GuiPoster m_poster{this};
};
