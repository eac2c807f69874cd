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
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QStyle;
class QWidget;
class SettingsForm;
struct SettingsFormRow;

/// The one settings window: a dark, fixed-width, scrolling form built from a table of rows, in which every control
/// writes one preference and then calls onChange, plus the account section (sign-in, sign-out, a manual leaderboard
/// sync). The controls follow every preference change, wherever it was made. Closing the window only hides it.
class SettingsWindowController : public QObject
{
    Q_OBJECT

public:
    /// The account section's controls.
    struct AccountControls
    {
        QLabel* status;
        QPushButton* github;
        QPushButton* google;
        QPushButton* signOut;
        /// Stops waiting for the browser; in the place of signOut, shown only while a sign-in waits.
        QPushButton* cancel;
        QPushButton* syncNow;
        QLabel* lastSync;
        /// The last account or sync error; empty when none.
        QLabel* error;
    };

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
    /// Sets the account section from the current session and clears the error line.
    void refreshAccountUI();
    /// Shows why a sign-in that came back from the browser failed.
    void showSignInError(const QString& text);

    /// The control of a preference's row; null when the form has none of that kind for it.
    QComboBox* popup(PrefKey key) const;
    QLabel* stepperValue(PrefKey key) const;
    QPushButton* stepButton(PrefKey key, int direction) const;
    QCheckBox* checkBox(PrefKey key) const;
    QCheckBox* startAtLoginBox() const { return m_startAtLoginBox; }
    QPushButton* resetShapeButton() const { return m_resetShape; }
    const AccountControls& accountControls() const { return m_accountControls; }

private:
    /// A row's control and the row it shows.
    struct Control
    {
        const SettingsFormRow* row;
        QComboBox* popup = nullptr;
        QLabel* value = nullptr;
        QPushButton* minus = nullptr;
        QPushButton* plus = nullptr;
        QCheckBox* check = nullptr;
    };

    void buildWindow();
    void buildUI();
    void buildAccountSection(SettingsForm& form);
    void addRow(SettingsForm& form, const SettingsFormRow& row);
    Control addChoice(SettingsForm& form, const SettingsFormRow& row);
    Control addStepper(SettingsForm& form, const SettingsFormRow& row);
    Control addCheck(SettingsForm& form, const SettingsFormRow& row);
    const Control* control(PrefKey key) const;
    void refreshControl(const Control& control);
    void preferenceChanged(PrefKey key);
    void resetShapeAndAlignment();
    void startAtLoginChanged();
    void changed();
    void beginOAuth(const QString& provider, const QString& failure);
    /// The account section from the account's state, the error line left as it is.
    void showAccountState();
    void cancelSignIn();
    void leaveLeaderboard();
    void signOutTapped();
    void syncNowTapped();
    void showError(const QString& text);
    void finishSync(const std::optional<QString>& error);
    void finishLeave(const std::optional<QString>& error);
    /// done posted to this window's thread, dropped once the window is gone.
    SettingsAccount::Done onThisThread(void (SettingsWindowController::*done)(const std::optional<QString>&));

    StartAtLogin m_startAtLogin;
    SettingsAccount m_account;
    /// The style of the drop-down lists; it outlives the window, whose boxes use it until they go.
    std::unique_ptr<QStyle> m_listStyle;
    std::unique_ptr<QWidget> m_window;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_content = nullptr;
    std::vector<Control> m_controls;
    QPushButton* m_resetShape = nullptr;
    QCheckBox* m_startAtLoginBox = nullptr;
    AccountControls m_accountControls{};
    /// The two sign-in buttons, GitHub first, shown or hidden together.
    QList<QWidget*> m_oauthRowViews;
    GuiPoster m_poster;
    int m_documentHeight = 0;
};
