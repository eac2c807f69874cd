#include "app/AppDelegate.h"

#include "app/AccountWiring.h"
#include "app/CardExport.h"
#include "app/Milestones.h"
#include "app/StatsWorker.h"
#include "core/AgentHomes.h"
#include "core/StatsCache.h"
#include "core/StatsDerivation.h"
#include "prefs/Prefs.h"
#include "sync/AuthManager.h"
#include "sync/StatsSync.h"
#include "sync/SyncThrottle.h"
#include "ui/look/Fmt.h"
#include "ui/look/Font.h"
#include "ui/notch/NotchController.h"
#include "ui/notch/NotchPanel.h"
#include "ui/settings/SettingsWindowController.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <cstdio>

namespace {

QString headerLine(const Stats& s)
{
    return Fmt::num(static_cast<double>(s.linesAdded + s.linesRemoved)) + QStringLiteral(" lines \u00B7 ") +
           Fmt::money(s.cost) + QStringLiteral(" \u00B7 ") + QString::number(s.streakCurrent) +
           QStringLiteral("d streak");
}

// Only what the sign-in flow's redirect can look like; the arguments come from outside the process.
std::optional<QUrl> callbackURL(const QString& argument)
{
    const QUrl url(argument, QUrl::StrictMode);
    if (!url.isValid() || url.scheme() != QLatin1String("korvel") || url.host() != QLatin1String("auth"))
        return std::nullopt;
    return url;
}

// A white mark inside a dark outline, so that it reads on light and dark panels alike.
QIcon trayIcon()
{
    QIcon icon;
    for (const int size : {18, 24, 36, 48, 72})
        icon.addFile(QStringLiteral(":/tray/korvel-tray-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

AppEnvironment AppEnvironment::standard(bool debugLogging)
{
    AppEnvironment env;
    auto worker = std::make_shared<StatsWorker>();
    env.build = [worker] { return worker->build(); };
    env.flush = [worker] { worker->flush(); };
    env.saveStats = [](const Stats& stats) { StatsCache::save(stats); };
    env.loadCachedStats = [] { return StatsCache::load(); };
    env.watchedFolder = QString::fromStdString(AgentHomes::claudeProjects());
    env.desktopFolder = CardExport::desktopDirectory;
    env.reveal = CardExport::reveal;
    env.debugLogging = debugLogging;
    AuthManager& auth = AuthManager::shared();
    env.handleCallbackURL = AccountWiring::callbackHandler(auth);
    env.account = AccountWiring::settingsAccount(auth);
    auto throttle = std::make_shared<SyncThrottle>();
    env.sync = [&auth, throttle](const Stats& stats) { StatsSync::maybeSync(auth, throttle, stats); };
    env.leaderboard = LeaderboardSource::standard();
    return env;
}

AppDelegate::AppDelegate(AppEnvironment environment)
    : m_env(std::move(environment)), m_notch(std::make_unique<NotchController>()),
      m_settings(std::make_unique<SettingsWindowController>()),
      m_pipeline(
          m_env.build, [this](const RefreshResult& result) { refreshed(result); }, m_env.flush)
{
    m_header = new QAction(QStringLiteral("Korvel"), this);
    m_header->setEnabled(false);
    m_protect = new QAction(QStringLiteral("Streak protection"), this);
    m_protect->setCheckable(true);
    connect(m_protect, &QAction::triggered, this, &AppDelegate::toggleProtection);
    m_hideNotch = new QAction(QStringLiteral("Hide notch"), this);
    m_hideNotch->setCheckable(true);
    connect(m_hideNotch, &QAction::triggered, this, &AppDelegate::toggleHideNotch);
    connect(&Prefs::notifier(), &PrefsNotifier::changed, this, &AppDelegate::preferenceChanged);
}

AppDelegate::~AppDelegate()
{
    m_poster.detach();
    m_pipeline.shutdown();
}

void AppDelegate::launch()
{
    Font::registerFont();
    buildTrayIcon();
    buildMenu();
    wireNotch();
    wireSettings();
    if (const auto cached = m_env.loadCachedStats())
        apply(*cached);
    if (Prefs::flag(PrefKey::NotchHidden))
        m_notch->setHidden(true);
    else
        m_notch->panel()->show();
    refresh();
    m_pipeline.startTimer(m_env.refreshIntervalMs);
    m_watcher = DirWatcher::create(m_env.watchedFolder, [this] { refresh(); });
}

void AppDelegate::refresh()
{
    m_pipeline.refresh();
}

void AppDelegate::refreshed(const RefreshResult& result)
{
    // Most refreshes find nothing new: the overlay then has nothing to redo, but a sync that the 90-second limit
    // held back may be due now.
    if (!m_stats || !(*m_stats == result.stats))
        apply(result.stats);
    else if (m_env.sync)
        m_env.sync(result.stats);
    logRefresh(result);
}

void AppDelegate::apply(const Stats& stats)
{
    const std::optional<Stats> prev = m_stats;
    m_stats = stats;
    present();
    m_header->setText(headerLine(stats));
    if (Milestones::detect(prev, stats))
        m_notch->celebrate();
    if (m_env.sync)
        m_env.sync(stats);
}

void AppDelegate::applyLive()
{
    present();
    buildMenu();
}

void AppDelegate::present()
{
    m_notch->present(m_stats, m_stats && StatsEngine::streakAtRisk(*m_stats, Prefs::streakProtection()));
}

void AppDelegate::preferenceChanged(PrefKey key)
{
    if (key == PrefKey::NotchHidden) {
        m_hideNotch->setChecked(Prefs::flag(PrefKey::NotchHidden));
        m_notch->setHidden(Prefs::flag(PrefKey::NotchHidden));
    } else if (key == PrefKey::StreakProtection) {
        m_protect->setChecked(Prefs::streakProtection());
        present();
    } else if (Prefs::row(key).shapesOverlay) {
        // The settings window may be open over the expanded card: its panel takes the new shape at once too.
        applyLive();
        m_notch->relayout();
    }
}

void AppDelegate::openSettings()
{
    m_settings->refreshControls();
    m_settings->refreshAccountUI();
    m_settings->centreWindow();
    QWidget* window = m_settings->window();
    window->show();
    window->raise();
    window->activateWindow();
}

void AppDelegate::openLeaderboard()
{
    if (!m_leaderboard)
        m_leaderboard = std::make_unique<LeaderboardController>(m_env.leaderboard);
    m_leaderboard->open();
}

void AppDelegate::handleArguments(const QStringList& args)
{
    for (const QString& argument : args) {
        const std::optional<QUrl> url = callbackURL(argument);
        if (!url || !m_env.handleCallbackURL)
            continue;
        const GuiPoster poster = m_poster;
        m_env.handleCallbackURL(*url, [this, poster](std::optional<QString> error) {
            if (error)
                poster.post([this, text = *error] { signInFailed(text); });
        });
    }
}

void AppDelegate::signInFailed(const QString& text)
{
    if (!m_settings->window()->isVisible())
        openSettings();
    m_settings->showSignInError(text);
}

// The menu's check marks and the overlay follow in preferenceChanged.
void AppDelegate::toggleProtection()
{
    Prefs::setFlag(PrefKey::StreakProtection, !Prefs::streakProtection());
}

void AppDelegate::toggleHideNotch()
{
    Prefs::setFlag(PrefKey::NotchHidden, !Prefs::flag(PrefKey::NotchHidden));
}

void AppDelegate::saveCard()
{
    if (!m_stats)
        return;
    const QString dir = m_env.desktopFolder();
    const QString written = CardExport::save(*m_stats, dir);
    if (written.isEmpty()) {
        // Nothing to show in the file manager: say that it failed, where the user looks.
        const QString message = QStringLiteral("Couldn't save the card to ") + Fmt::shown(dir);
        m_header->setText(message);
        if (m_tray)
            m_tray->showMessage(QStringLiteral("Korvel"), message, QSystemTrayIcon::Warning);
        return;
    }
    m_env.reveal(written);
}

void AppDelegate::copyCard()
{
    if (m_stats)
        CardExport::copy(*m_stats);
}

void AppDelegate::quit()
{
    // A cold build of a large home takes seconds; quitting does not wait for it. The caches are only ever replaced
    // whole, so the build may simply stop with the process: the figures shown are saved here instead, and the next
    // start reads again what that build had not yet saved.
    m_workerBusyAtQuit = !m_pipeline.shutdown(m_env.quitWaitMs);
    if (m_workerBusyAtQuit && m_stats && m_env.saveStats)
        m_env.saveStats(*m_stats);
    QApplication::quit();
}

void AppDelegate::buildMenu()
{
    auto menu = std::make_unique<QMenu>();
    menu->addAction(m_header);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Save card to Desktop"), QKeySequence(QStringLiteral("Ctrl+S")), this,
                    &AppDelegate::saveCard);
    menu->addAction(QStringLiteral("Refresh now"), QKeySequence(QStringLiteral("Ctrl+R")), this, &AppDelegate::refresh);
    m_protect->setChecked(Prefs::streakProtection());
    menu->addAction(m_protect);
    m_hideNotch->setChecked(Prefs::flag(PrefKey::NotchHidden));
    menu->addAction(m_hideNotch);
    if (m_env.leaderboard.fetch)
        menu->addAction(QStringLiteral("Leaderboard\u2026"), this, &AppDelegate::openLeaderboard);
    menu->addAction(QStringLiteral("Settings\u2026"), QKeySequence(QStringLiteral("Ctrl+,")), this,
                    &AppDelegate::openSettings);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Quit Korvel"), QKeySequence(QStringLiteral("Ctrl+Q")), this, &AppDelegate::quit);
    if (m_tray)
        m_tray->setContextMenu(menu.get());
    // The old menu may be the one whose action got us here: let it finish before it goes.
    if (m_menu)
        m_menu.release()->deleteLater();
    m_menu = std::move(menu);
}

void AppDelegate::buildTrayIcon()
{
    // Without a tray host the overlay still works, and its right-click opens the same menu.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = std::make_unique<QSystemTrayIcon>(trayIcon());
    m_tray->setToolTip(QStringLiteral("Korvel"));
    // GNOME's AppIndicator extension opens the menu on a left click by itself; KDE's tray and XEmbed trays send an
    // activation instead, and would otherwise do nothing.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger && !m_menu->isVisible())
            m_menu->popup(QCursor::pos());
    });
    m_tray->show();
}

void AppDelegate::wireNotch()
{
    m_notch->setOnDownload([this] { saveCard(); });
    m_notch->setOnCopy([this] { copyCard(); });
    m_notch->setOnRefresh([this] { refresh(); });
    m_notch->setOnCycle([] {
        const int64_t count = Prefs::row(PrefKey::WingStat).choices;
        Prefs::setInteger(PrefKey::WingStat, (Prefs::integer(PrefKey::WingStat) + 1) % count);
    });
    m_notch->setOnContextMenu([this](QPoint at) { m_menu->popup(at); });
    m_notch->setOnConfigure([this](QWidget*) { openSettings(); });
}

void AppDelegate::wireSettings()
{
    m_settings->statsProvider = [this] { return m_stats; };
    m_settings->setAccount(m_env.account);
}

void AppDelegate::logRefresh(const RefreshResult& result) const
{
    if (!m_env.debugLogging)
        return;
    const QString when =
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
    // Files that could not be read count as empty until a later refresh reads them: say so.
    const std::string unreadable =
        result.unreadableFiles > 0 ? " unreadable=" + std::to_string(result.unreadableFiles) : std::string();
    std::fprintf(stderr, "[korvel] refresh @ %s score=%lld todayLines=%lld%s\n", qPrintable(when),
                 static_cast<long long>(result.stats.crackedScore),
                 static_cast<long long>(result.stats.todayLinesAdded), unreadable.c_str());
}
