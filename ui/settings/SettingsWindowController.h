#pragma once

#include "core/Stats.h"
#include "prefs/Prefs.h"
#include "ui/settings/GuiPoster.h"
#include "ui/settings/SettingsAccount.h"
#include "ui/settings/StartAtLogin.h"

#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class SettingsForm;
class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

/// The one settings window: a dark, fixed-width, scrolling form in which every control writes one preference and
/// then calls onChange, plus the account section (sign-in, sign-out, a manual leaderboard sync). Closing the window
/// only hides it.
class SettingsWindowController : public QObject
{
    Q_OBJECT

public:
    explicit SettingsWindowController(StartAtLogin startAtLogin = StartAtLogin::forThisUser());
    ~SettingsWindowController() override;

    /// Called after every preference change made here.
    std::function<void()> onChange;
    /// The record that "Sync now" sends.
    std::function<std::optional<Stats>()> statsProvider;

    /// Connects the account section and subscribes to its session changes. Until then the section shows "Not
    /// signed in" and offers no sign-in.
    void setAccount(SettingsAccount account);

    QWidget* window() const;
    /// The form's document view, inside the window's scroll area.
    QWidget* contentView() const;
    /// Height of the form at rest (without a long error message).
    int documentHeight() const { return m_documentHeight; }
    /// Puts the window in the middle of the primary screen.
    void centreWindow();

    /// Sets every control from the stored preferences.
    void refreshControls();
    void refreshShapeLabels();
    /// Sets the account section from the current session and clears the error line.
    void refreshAccountUI();

    void rightStatChanged();
    void spriteChanged();
    void accentChanged();
    void cardStyleChanged();
    void flarePlus();
    void flareMinus();
    void roundPlus();
    void roundMinus();
    void widthPlus();
    void widthMinus();
    void xPlus();
    void xMinus();
    void heightPlus();
    void heightMinus();
    void resetShapeAndAlignment();
    void leaderboardChanged();
    void privateModeChanged();
    /// Writes or removes the autostart entry; a failure puts the box back and says why.
    void startAtLoginChanged();
    void githubTapped();
    void googleTapped();
    void signOutTapped();
    void syncNowTapped();

    QComboBox* const notchRightStatPopup;
    QComboBox* const notchSpritePopup;
    QComboBox* const accentPopup;
    QComboBox* const cardStylePopup;
    QLabel* const flareLabel;
    QLabel* const roundLabel;
    QLabel* const widthLabel;
    QLabel* const xOffsetLabel;
    QLabel* const heightLabel;
    QPushButton* const resetShapeButton;
    QCheckBox* const leaderboardCheckbox;
    QCheckBox* const privateModeCheckbox;
    QCheckBox* const startAtLoginCheckbox;
    QLabel* const accountStatusLabel;
    QPushButton* const githubButton;
    QPushButton* const googleButton;
    QPushButton* const signOutButton;
    QPushButton* const syncNowButton;
    QLabel* const lastSyncLabel;
    QLabel* const accountErrorLabel;
    /// The two sign-in buttons, GitHub first, shown or hidden together.
    QList<QWidget*> oauthRowViews;

private:
    void buildUI();
    void buildWindow();
    void connectActions();
    QWidget* makeStepper(const SettingsForm& form, QLabel* value, const char* minusName,
                         void (SettingsWindowController::*minus)(), const char* plusName,
                         void (SettingsWindowController::*plus)());
    void storeIndex(PrefKey key, const QComboBox* popup);
    void stepReal(PrefKey key, double fromDefault, double delta, double bound);
    void stepInteger(PrefKey key, int delta);
    void changed();
    void beginOAuth(const QString& provider, const QString& failure);
    void showError(const QString& text);
    void finishSync(const std::optional<QString>& error);

    StartAtLogin m_startAtLogin;
    SettingsAccount m_account;
    std::unique_ptr<QWidget> m_window;
    QWidget* m_content = nullptr;
    GuiPoster m_poster;
    int m_documentHeight = 0;
};
