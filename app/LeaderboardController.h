#pragma once

#include "sync/LeaderboardFetch.h"
#include "ui/settings/GuiPoster.h"
#include "ui/settings/LeaderboardWindow.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

/// Where the leaderboard window gets its board, so that tests can stand in for the backend and the clock.
struct LeaderboardSource
{
    /// Reads the board; the completion may run on any thread.
    std::function<void(std::function<void(const LeaderboardFetch::Result&)>)> fetch;
    std::function<bool()> privateMode;
    std::function<bool()> signedIn;
    /// Seconds since 1970.
    std::function<double()> now;

    /// The process's account, the preferences and the system clock.
    static LeaderboardSource standard();
};

/// Owns the leaderboard window: reads the board when the window opens and once a minute while it stays open, and
/// never while private mode is on.
class LeaderboardController : public QObject
{
    Q_OBJECT

public:
    /// The least time between two reads, in seconds.
    static constexpr double kReloadInterval = 60;

    explicit LeaderboardController(LeaderboardSource source);
    ~LeaderboardController() override;

    /// Shows the window in front, reading the board unless it was read less than a minute ago.
    void open();
    /// The minute timer's work: reads the board again when the window is open and the last read is a minute old.
    void reloadIfDue();

    LeaderboardWindow& window() { return m_window; }

private:
    void load();
    void finish(const LeaderboardFetch::Result& result);

    LeaderboardSource m_source;
    LeaderboardWindow m_window;
    QTimer m_timer;
    GuiPoster m_poster{this};
    std::optional<double> m_lastLoad;
    bool m_loading = false;
};
