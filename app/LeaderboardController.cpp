#include "app/LeaderboardController.h"

#include "prefs/Prefs.h"
#include "sync/AuthManager.h"

#include <QDateTime>

LeaderboardSource LeaderboardSource::standard()
{
    LeaderboardSource source;
    source.fetch = [](auto completion) { LeaderboardFetch::fetch(AuthManager::shared(), std::move(completion)); };
    source.privateMode = [] { return Prefs::flag(PrefKey::PrivateMode); };
    source.signedIn = [] { return AuthManager::shared().session().has_value(); };
    source.now = [] { return QDateTime::currentMSecsSinceEpoch() / 1000.0; };
    return source;
}

LeaderboardController::LeaderboardController(LeaderboardSource source) : m_source(std::move(source))
{
    m_timer.setInterval(static_cast<int>(kReloadInterval * 1000));
    connect(&m_timer, &QTimer::timeout, this, &LeaderboardController::reloadIfDue);
    connect(&m_window, &LeaderboardWindow::visibilityChanged, this, [this](bool visible) {
        if (visible)
            m_timer.start();
        else
            m_timer.stop();
    });
}

LeaderboardController::~LeaderboardController()
{
    m_poster.detach();
}

void LeaderboardController::open()
{
    m_window.show();
    m_window.raise();
    m_window.activateWindow();
    const bool due = !m_lastLoad || m_source.now() - *m_lastLoad >= kReloadInterval;
    // Turning private mode on or off takes effect at once, whatever the minute says.
    const bool privacyChanged =
        m_source.privateMode() != (m_window.content().state == LeaderboardContent::State::PrivateMode);
    if (due || privacyChanged)
        load();
}

void LeaderboardController::reloadIfDue()
{
    if (m_window.isVisible() && (!m_lastLoad || m_source.now() - *m_lastLoad >= kReloadInterval))
        load();
}

void LeaderboardController::load()
{
    LeaderboardContent content = m_window.content();
    content.signedIn = m_source.signedIn();
    if (m_source.privateMode()) {
        content.state = LeaderboardContent::State::PrivateMode;
        m_lastLoad.reset();
        return m_window.setContent(content);
    }
    if (m_loading)
        return;
    m_loading = true;
    m_lastLoad = m_source.now();
    content.state = LeaderboardContent::State::Loading;
    m_window.setContent(content);
    m_source.fetch([poster = m_poster, this](const LeaderboardFetch::Result& result) {
        poster.post([this, result] { finish(result); });
    });
}

void LeaderboardController::finish(const LeaderboardFetch::Result& result)
{
    m_loading = false;
    LeaderboardContent content = m_window.content();
    if (const auto* board = std::get_if<Leaderboard>(&result)) {
        content.state = LeaderboardContent::State::Shown;
        content.board = *board;
    } else {
        content.state = LeaderboardContent::State::Failed;
        content.failure = std::get<AuthError>(result).description();
    }
    // Private mode turned on while the board was on its way: show none of it.
    if (m_source.privateMode())
        content.state = LeaderboardContent::State::PrivateMode;
    m_window.setContent(content);
}
