#include "ui/settings/SettingsWindowController.h"

#include "ui/look/Accent.h"
#include "ui/look/Fmt.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/Sprites.h"
#include "ui/settings/DarkLook.h"
#include "ui/settings/SettingsForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

/// One line of the settings form. A preference's line needs nothing but its row here: its stepper's bounds, its
/// choices and its default are in the preference's own row.
struct SettingsFormRow
{
    enum class Kind {
        Header,
        Choice,
        Stepper,
        Check,
        ResetShape,
        StartAtLogin,
    };

    Kind kind;
    const char* title;
    PrefKey key = PrefKey::WingStat;
    /// A stepper's buttons are named after it: id + "Minus" and id + "Plus".
    const char* id = nullptr;
    /// A check box that is checked while its preference is false.
    bool inverted = false;
    /// A choice whose labels are not in its preference's row.
    QStringList (*labels)() = nullptr;
};

namespace {

constexpr int kCreatedHeight = 520;
constexpr int kMaxVisibleHeight = 560;
constexpr int kMinHeight = 300;
constexpr int kCheckboxHeight = 20;
constexpr int kCheckboxAdvance = 30;
constexpr int kButtonHeight = 24;
constexpr int kButtonAdvance = 34;
constexpr int kStatusHeight = 18;
constexpr int kStatusAdvance = 28;
constexpr int kNoteHeight = 16;
constexpr int kNoteAdvance = 26;
constexpr int kBottomMargin = 8;

const QString kPrivateModeRefusal = QStringLiteral("Private mode is on -- nothing leaves this computer");
const QString kThisRunOnly = QStringLiteral("Signed in for this session only (the keyring could not store it)");

QStringList spriteNames()
{
    QStringList names;
    for (const SpriteDef& sprite : Sprites::all())
        names << sprite.name;
    return names;
}

QStringList accentNames()
{
    QStringList names;
    for (const AccentTheme& accent : Accent::all())
        names << accent.name;
    return names;
}

using Row = SettingsFormRow;
using Kind = SettingsFormRow::Kind;

// The form, top to bottom; the account section follows.
const Row kForm[] = {
    {Kind::Header, "Notch"},
    {Kind::Choice, "Right stat", PrefKey::WingStat},
    {Kind::Choice, "Left sprite", PrefKey::SpriteKind, nullptr, false, spriteNames},
    {Kind::Choice, "Accent color", PrefKey::AccentTheme, nullptr, false, accentNames},
    {Kind::Check, "Hang from the very top of the screen", PrefKey::NotchAtScreenEdge},
    {Kind::Header, "Card"},
    {Kind::Choice, "Card style", PrefKey::CardBackground},
    {Kind::Header, "Notch shape & alignment"},
    {Kind::Stepper, "Flare (top corners)", PrefKey::NotchFlare, "flare"},
    {Kind::Stepper, "Bottom radius", PrefKey::NotchRound, "round"},
    {Kind::Stepper, "Width offset", PrefKey::NotchWidthOffset, "width"},
    {Kind::Stepper, "X offset", PrefKey::NotchXOffset, "x"},
    {Kind::Stepper, "Height offset", PrefKey::NotchHeightOffset, "height"},
    // A single ampersand in a button title marks a shortcut letter; doubled, it shows as itself.
    {Kind::ResetShape, "Reset shape && alignment"},
    {Kind::Header, "Privacy"},
    {Kind::Check, "Join the leaderboard", PrefKey::LeaderboardOptIn},
    {Kind::Check, "Private mode (nothing leaves this computer)", PrefKey::PrivateMode},
    {Kind::StartAtLogin, "Start at login"},
    {Kind::Check, "Keep figures of deleted logs", PrefKey::ForgetDeletedLogs, nullptr, true},
};

// Styles that open a drop-down list as a menu (Fusion does) give it the palette of menus, light in a light desktop
// theme, whatever the palette of its box; opened as a plain list, it takes the dark palette of the window.
class ListPopupStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == QStyle::SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QPushButton* makeStepButton(const QString& title, const QString& name)
{
    auto* button = new QPushButton(title);
    button->setObjectName(name);
    return button;
}

} // namespace

SettingsWindowController::SettingsWindowController(StartAtLogin startAtLogin)
    : m_startAtLogin(std::move(startAtLogin)), m_listStyle(std::make_unique<ListPopupStyle>()),
      m_window(std::make_unique<QWidget>()), m_poster(this)
{
    Font::registerFont();
    buildWindow();
    buildUI();
    centreWindow();
    // Changes made elsewhere (the overlay's wing, another window) show here at once.
    connect(&Prefs::notifier(), &PrefsNotifier::changed, this, &SettingsWindowController::preferenceChanged);
}

SettingsWindowController::~SettingsWindowController()
{
    // Completions and session changes may still arrive from other threads; from now on they are dropped.
    m_poster.detach();
}

void SettingsWindowController::setAccount(SettingsAccount account)
{
    m_account = std::move(account);
    if (m_account.subscribe) {
        const GuiPoster poster = m_poster;
        m_account.subscribe([this, poster] { poster.post([this] { refreshAccountUI(); }); });
    }
    refreshAccountUI();
}

QWidget* SettingsWindowController::window() const
{
    return m_window.get();
}

QWidget* SettingsWindowController::contentView() const
{
    return m_content;
}

void SettingsWindowController::centreWindow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = m_window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    m_window->move(frame.topLeft());
}

void SettingsWindowController::buildWindow()
{
    m_window->setWindowTitle(QStringLiteral("Korvel Settings"));
    m_window->setWindowIcon(QIcon(QStringLiteral(":/images/korvel-logo.png")));
    m_window->setPalette(DarkLook::palette());
    m_window->setAutoFillBackground(true);
    m_window->resize(SettingsForm::width, kCreatedHeight);
    m_content = new QWidget;
    m_content->setAutoFillBackground(true);
    m_scroll = new QScrollArea;
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidget(m_content);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
}

void SettingsWindowController::buildUI()
{
    SettingsForm form(m_content);
    m_controls.reserve(std::size(kForm));
    for (const Row& row : kForm)
        addRow(form, row);
    buildAccountSection(form);
    m_documentHeight = form.y() + kBottomMargin;
    m_content->setFixedSize(SettingsForm::width, m_documentHeight);
    const int visible = std::min(m_documentHeight, kMaxVisibleHeight);
    m_window->resize(SettingsForm::width, visible);
    m_window->setMinimumSize(SettingsForm::width, kMinHeight);
    refreshControls();
    refreshAccountUI();
}

void SettingsWindowController::addRow(SettingsForm& form, const Row& row)
{
    const QString title = QString::fromUtf8(row.title);
    switch (row.kind) {
    case Kind::Header:
        form.header(title);
        return;
    case Kind::Choice:
        m_controls.push_back(addChoice(form, row));
        return;
    case Kind::Stepper:
        m_controls.push_back(addStepper(form, row));
        return;
    case Kind::Check:
        m_controls.push_back(addCheck(form, row));
        return;
    case Kind::ResetShape:
        m_resetShape = new QPushButton(title);
        connect(m_resetShape, &QPushButton::clicked, this, &SettingsWindowController::resetShapeAndAlignment);
        form.full(m_resetShape, kButtonHeight, kButtonAdvance);
        return;
    case Kind::StartAtLogin:
        m_startAtLoginBox = new QCheckBox(title);
        connect(m_startAtLoginBox, &QCheckBox::clicked, this, &SettingsWindowController::startAtLoginChanged);
        form.full(m_startAtLoginBox, kCheckboxHeight, kCheckboxAdvance);
        return;
    }
}

// "activated" and "clicked" come from the user only, so refreshing the controls never writes back.
SettingsWindowController::Control SettingsWindowController::addChoice(SettingsForm& form, const Row& row)
{
    const PrefKey key = row.key;
    Control control{&row};
    control.popup = new QComboBox;
    control.popup->addItems(row.labels ? row.labels() : Prefs::labels(key));
    connect(control.popup, &QComboBox::activated, this, [this, key](int index) {
        Prefs::setInteger(key, index);
        changed();
    });
    control.popup->setStyle(m_listStyle.get());
    form.row(QString::fromUtf8(row.title), control.popup);
    return control;
}

SettingsWindowController::Control SettingsWindowController::addStepper(SettingsForm& form, const Row& row)
{
    const PrefKey key = row.key;
    const QString id = QString::fromLatin1(row.id);
    Control control{&row};
    control.minus = makeStepButton(QStringLiteral("\u2212"), id + QStringLiteral("Minus"));
    control.plus = makeStepButton(QStringLiteral("+"), id + QStringLiteral("Plus"));
    control.value = DarkLook::label();
    for (auto [button, direction] : {std::pair{control.minus, -1}, {control.plus, 1}})
        connect(button, &QPushButton::clicked, this, [this, key, direction] {
            Prefs::step(key, direction);
            changed();
        });
    form.row(QString::fromUtf8(row.title), form.stepper(control.value, control.minus, control.plus));
    return control;
}

SettingsWindowController::Control SettingsWindowController::addCheck(SettingsForm& form, const Row& row)
{
    const PrefKey key = row.key;
    const bool inverted = row.inverted;
    Control control{&row};
    QCheckBox* box = control.check = new QCheckBox(QString::fromUtf8(row.title));
    connect(box, &QCheckBox::clicked, this, [this, key, inverted, box] {
        Prefs::setFlag(key, (box->checkState() == Qt::Checked) != inverted);
        changed();
        if (key == PrefKey::LeaderboardOptIn && !Prefs::leaderboardOptIn())
            leaveLeaderboard();
    });
    form.full(box, kCheckboxHeight, kCheckboxAdvance);
    return control;
}

void SettingsWindowController::buildAccountSection(SettingsForm& form)
{
    using C = SettingsWindowController;
    AccountControls& a = m_accountControls;
    a = {DarkLook::label(),
         new QPushButton(QStringLiteral("Sign in with GitHub")),
         new QPushButton(QStringLiteral("Continue with Google")),
         new QPushButton(QStringLiteral("Sign out")),
         new QPushButton(QStringLiteral("Cancel sign-in")),
         new QPushButton(QStringLiteral("Sync now")),
         DarkLook::label(),
         DarkLook::label()};
    m_oauthRowViews = {a.github, a.google};
    form.header(QStringLiteral("Account"));
    DarkLook::style(a.status, 12, Theme::fg());
    form.full(a.status, kStatusHeight, kStatusAdvance);
    for (QPushButton* button : {a.github, a.google, a.signOut, a.syncNow})
        form.full(button, kButtonHeight, kButtonAdvance);
    a.cancel->setParent(m_content);
    a.cancel->setGeometry(a.signOut->geometry());
    DarkLook::style(a.lastSync, 11, Theme::muted());
    form.full(a.lastSync, kNoteHeight, kNoteAdvance);
    DarkLook::style(a.error, 11, Theme::amber());
    a.error->setWordWrap(true);
    form.full(a.error, kNoteHeight, kNoteAdvance);
    connect(a.github, &QPushButton::clicked, this, [this] {
        beginOAuth(QStringLiteral("github"), QStringLiteral("Couldn't open the browser for GitHub sign-in"));
    });
    connect(a.google, &QPushButton::clicked, this, [this] {
        beginOAuth(QStringLiteral("google"), QStringLiteral("Couldn't open the browser for Google sign-in"));
    });
    connect(a.signOut, &QPushButton::clicked, this, &C::signOutTapped);
    connect(a.cancel, &QPushButton::clicked, this, &C::cancelSignIn);
    connect(a.syncNow, &QPushButton::clicked, this, &C::syncNowTapped);
}

const SettingsWindowController::Control* SettingsWindowController::control(PrefKey key) const
{
    const auto found =
        std::find_if(m_controls.begin(), m_controls.end(), [key](const Control& c) { return c.row->key == key; });
    return found == m_controls.end() ? nullptr : &*found;
}

QComboBox* SettingsWindowController::popup(PrefKey key) const
{
    const Control* c = control(key);
    return c ? c->popup : nullptr;
}

QLabel* SettingsWindowController::stepperValue(PrefKey key) const
{
    const Control* c = control(key);
    return c ? c->value : nullptr;
}

QPushButton* SettingsWindowController::stepButton(PrefKey key, int direction) const
{
    const Control* c = control(key);
    if (!c)
        return nullptr;
    return direction > 0 ? c->plus : c->minus;
}

QCheckBox* SettingsWindowController::checkBox(PrefKey key) const
{
    const Control* c = control(key);
    return c ? c->check : nullptr;
}

void SettingsWindowController::refreshControls()
{
    for (const Control& c : m_controls)
        refreshControl(c);
    m_startAtLoginBox->setChecked(m_startAtLogin.enabled());
}

void SettingsWindowController::refreshControl(const Control& c)
{
    const PrefKey key = c.row->key;
    if (c.popup)
        c.popup->setCurrentIndex(static_cast<int>(Prefs::choiceIndex(key)));
    if (c.value)
        c.value->setText(Prefs::stepperText(key));
    if (c.check)
        c.check->setChecked(Prefs::flag(key) != c.row->inverted);
}

void SettingsWindowController::preferenceChanged(PrefKey key)
{
    if (const Control* c = control(key))
        refreshControl(*c);
    // A sync or a removal of the row, wherever it ran, shows here at once.
    if (key == PrefKey::LastSyncDate || key == PrefKey::LeaderboardOptIn)
        showAccountState();
}

void SettingsWindowController::refreshAccountUI()
{
    showAccountState();
    const AccountState state = m_account.state ? m_account.state() : AccountState{};
    showError(state.user && state.user->thisRunOnly ? kThisRunOnly : QString());
}

void SettingsWindowController::showAccountState()
{
    const AccountState state = m_account.state ? m_account.state() : AccountState{};
    const std::optional<SignedInUser>& user = state.user;
    const AccountControls& a = m_accountControls;
    for (QWidget* view : m_oauthRowViews) {
        view->setVisible(!user);
        view->setEnabled(m_account.beginOAuth && state.serverConfigured);
    }
    a.cancel->setVisible(!user && state.waitingForBrowser);
    a.signOut->setVisible(user.has_value());
    a.syncNow->setVisible(user.has_value());
    a.lastSync->setVisible(user || !state.serverConfigured);
    if (!user && !state.serverConfigured) {
        a.status->setText(QStringLiteral("No leaderboard server is configured"));
        a.lastSync->setText(QStringLiteral("See \"Self-hosting the backend\" in the README"));
    } else if (!user) {
        a.status->setText(state.waitingForBrowser ? QStringLiteral("Waiting for the browser\u2026")
                                                  : QStringLiteral("Not signed in"));
    } else {
        a.status->setText(QStringLiteral("Signed in as ") +
                          Fmt::shown(user->email.value_or(QStringLiteral("unknown"))));
        const std::optional<QString> lastSync = Prefs::text(PrefKey::LastSyncDate);
        a.lastSync->setText(!Prefs::leaderboardOptIn() ? QStringLiteral("Not on the leaderboard")
                            : lastSync                 ? QStringLiteral("Last synced ") + *lastSync
                                                       : QStringLiteral("Not synced yet"));
    }
}

void SettingsWindowController::showSignInError(const QString& text)
{
    showAccountState();
    showError(QStringLiteral("Sign-in failed: ") + text);
}

void SettingsWindowController::resetShapeAndAlignment()
{
    Prefs::resetShapeAndAlignment();
    changed();
}

void SettingsWindowController::startAtLoginChanged()
{
    const std::optional<QString> failure = m_startAtLogin.setEnabled(m_startAtLoginBox->isChecked());
    m_startAtLoginBox->setChecked(m_startAtLogin.enabled());
    if (failure)
        showError(QStringLiteral("Couldn't change %1: %2").arg(m_startAtLogin.entryPath(), *failure));
}

void SettingsWindowController::cancelSignIn()
{
    if (m_account.cancelSignIn)
        m_account.cancelSignIn();
    refreshAccountUI();
}

void SettingsWindowController::leaveLeaderboard()
{
    const AccountState state = m_account.state ? m_account.state() : AccountState{};
    if (state.user && m_account.leave)
        m_account.leave(onThisThread(&SettingsWindowController::finishLeave));
}

SettingsAccount::Done
SettingsWindowController::onThisThread(void (SettingsWindowController::*done)(const std::optional<QString>&))
{
    // The account may complete on its network thread; the outcome reaches the controls on the GUI thread.
    const GuiPoster poster = m_poster;
    return [this, poster, done](std::optional<QString> error) {
        poster.post([this, done, error = std::move(error)] { (this->*done)(error); });
    };
}

void SettingsWindowController::signOutTapped()
{
    if (m_account.signOut)
        m_account.signOut();
    refreshAccountUI();
}

void SettingsWindowController::syncNowTapped()
{
    const std::optional<Stats> stats = statsProvider ? statsProvider() : std::nullopt;
    if (!stats) {
        showError(QStringLiteral("No stats available yet"));
        return;
    }
    m_accountControls.syncNow->setEnabled(false);
    const SettingsAccount::Done finish = onThisThread(&SettingsWindowController::finishSync);
    if (Prefs::flag(PrefKey::PrivateMode))
        finish(kPrivateModeRefusal);
    else if (!m_account.syncNow)
        finish(QStringLiteral("Not signed in"));
    else
        m_account.syncNow(*stats, finish);
}

void SettingsWindowController::changed()
{
    if (onChange)
        onChange();
}

void SettingsWindowController::beginOAuth(const QString& provider, const QString& failure)
{
    if (!m_account.beginOAuth || !m_account.beginOAuth(provider)) {
        showError(failure);
        return;
    }
    showError(QString());
    showAccountState();
    // The wait ends by itself after a while: then the section says so without a click.
    QTimer::singleShot(m_account.signInWaitMs, this, &SettingsWindowController::showAccountState);
}

void SettingsWindowController::showError(const QString& text)
{
    m_accountControls.error->setText(Fmt::shown(text));
    // A long message wraps onto more lines instead of being cut off; the form grows below it to make room.
    const int height = text.isEmpty()
                           ? kNoteHeight
                           : std::max(kNoteHeight, m_accountControls.error->heightForWidth(SettingsForm::innerWidth));
    m_accountControls.error->resize(SettingsForm::innerWidth, height);
    const int bottom = m_accountControls.error->y() + height + (kNoteAdvance - kNoteHeight) + kBottomMargin;
    m_content->setFixedHeight(std::max(m_documentHeight, bottom));
    // The line is at the end of the form: scrolled into view, once the scroll area has taken the new height.
    if (!text.isEmpty())
        QTimer::singleShot(0, this, [this] { m_scroll->ensureWidgetVisible(m_accountControls.error, 0, 0); });
}

void SettingsWindowController::finishLeave(const std::optional<QString>& error)
{
    if (error)
        showError(QStringLiteral("Couldn't leave the leaderboard: ") + *error);
    else
        showAccountState();
}

void SettingsWindowController::finishSync(const std::optional<QString>& error)
{
    m_accountControls.syncNow->setEnabled(true);
    if (error)
        showError(QStringLiteral("Sync failed: ") + *error);
    else
        refreshAccountUI();
}
