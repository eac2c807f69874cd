#include "ui/settings/SettingsWindowController.h"

#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/Sprites.h"
#include "ui/settings/SettingsForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>

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

constexpr double kDefaultFlare = 11;
constexpr double kDefaultRound = 13;
constexpr double kMaxFlare = 40;
constexpr double kMaxRound = 30;
constexpr double kMinShape = 1;
constexpr int kShapeStep = 2;

const QString kPrivateModeRefusal = QStringLiteral("Private mode is on -- nothing leaves this computer");

QPalette darkPalette()
{
    QPalette p;
    const QColor panel(28, 30, 30);
    p.setColor(QPalette::Window, Theme::bg());
    p.setColor(QPalette::WindowText, Theme::fg());
    p.setColor(QPalette::Base, QColor(18, 20, 20));
    p.setColor(QPalette::AlternateBase, panel);
    p.setColor(QPalette::Text, Theme::fg());
    p.setColor(QPalette::Button, panel);
    p.setColor(QPalette::ButtonText, Theme::fg());
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(64, 67, 66));
    p.setColor(QPalette::Midlight, QColor(46, 49, 48));
    p.setColor(QPalette::Mid, QColor(36, 38, 38));
    p.setColor(QPalette::Dark, QColor(12, 13, 13));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, Theme::blue());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, panel);
    p.setColor(QPalette::ToolTipText, Theme::fg());
    p.setColor(QPalette::PlaceholderText, Theme::muted());
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, Theme::muted());
    return p;
}

QLabel* makeLabel()
{
    return new QLabel;
}

void style(QLabel* label, double pixelSize, const QColor& colour)
{
    label->setFont(Font::pixel(pixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QComboBox* popup(const QStringList& items)
{
    auto* box = new QComboBox;
    box->addItems(items);
    return box;
}

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

// A stored 0 means "never set": the shape label then shows the built-in default.
QString shapeText(double stored, double fallback)
{
    const double shown = stored == 0 ? fallback : stored;
    // Through a double, so any stored value prints without overflow; + 0.0 turns -0 into 0.
    return QString::number(std::trunc(shown) + 0.0, 'f', 0);
}

int64_t saturatingAdd(int64_t value, int delta)
{
    if (delta > 0 && value > std::numeric_limits<int64_t>::max() - delta)
        return std::numeric_limits<int64_t>::max();
    if (delta < 0 && value < std::numeric_limits<int64_t>::min() - delta)
        return std::numeric_limits<int64_t>::min();
    return value + delta;
}

} // namespace

SettingsWindowController::SettingsWindowController(StartAtLogin startAtLogin)
    : notchRightStatPopup(popup(Prefs::wingStatLabels())), notchSpritePopup(popup(spriteNames())),
      accentPopup(popup(accentNames())),
      cardStylePopup(popup({QStringLiteral("Scanlines"), QStringLiteral("Solid"), QStringLiteral("Light streaks")})),
      flareLabel(makeLabel()), roundLabel(makeLabel()), widthLabel(makeLabel()), xOffsetLabel(makeLabel()),
      heightLabel(makeLabel()),
      // A single ampersand in a button title marks a shortcut letter; doubled, it shows as itself.
      resetShapeButton(new QPushButton(QStringLiteral("Reset shape && alignment"))),
      leaderboardCheckbox(new QCheckBox(QStringLiteral("Join the leaderboard"))),
      privateModeCheckbox(new QCheckBox(QStringLiteral("Private mode (nothing leaves this computer)"))),
      startAtLoginCheckbox(new QCheckBox(QStringLiteral("Start at login"))), accountStatusLabel(makeLabel()),
      githubButton(new QPushButton(QStringLiteral("Sign in with GitHub"))),
      googleButton(new QPushButton(QStringLiteral("Continue with Google"))),
      signOutButton(new QPushButton(QStringLiteral("Sign out"))),
      syncNowButton(new QPushButton(QStringLiteral("Sync now"))), lastSyncLabel(makeLabel()),
      accountErrorLabel(makeLabel()), oauthRowViews{githubButton, googleButton},
      m_startAtLogin(std::move(startAtLogin)), m_window(std::make_unique<QWidget>()), m_poster(this)
{
    Font::registerFont();
    buildWindow();
    buildUI();
    connectActions();
    centreWindow();
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
    m_window->setPalette(darkPalette());
    m_window->setAutoFillBackground(true);
    m_window->resize(SettingsForm::width, kCreatedHeight);
    m_content = new QWidget;
    m_content->setAutoFillBackground(true);
    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(m_content);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
}

void SettingsWindowController::buildUI()
{
    SettingsForm form(m_content);
    form.header(QStringLiteral("Notch"));
    form.row(QStringLiteral("Right stat"), notchRightStatPopup);
    form.row(QStringLiteral("Left sprite"), notchSpritePopup);
    form.row(QStringLiteral("Accent color"), accentPopup);
    form.header(QStringLiteral("Card"));
    form.row(QStringLiteral("Card style"), cardStylePopup);
    form.header(QStringLiteral("Notch shape & alignment"));
    using C = SettingsWindowController;
    form.row(QStringLiteral("Flare (top corners)"),
             makeStepper(form, flareLabel, "flareMinus", &C::flareMinus, "flarePlus", &C::flarePlus));
    form.row(QStringLiteral("Bottom radius"),
             makeStepper(form, roundLabel, "roundMinus", &C::roundMinus, "roundPlus", &C::roundPlus));
    form.row(QStringLiteral("Width offset"),
             makeStepper(form, widthLabel, "widthMinus", &C::widthMinus, "widthPlus", &C::widthPlus));
    form.row(QStringLiteral("X offset"), makeStepper(form, xOffsetLabel, "xMinus", &C::xMinus, "xPlus", &C::xPlus));
    form.row(QStringLiteral("Height offset"),
             makeStepper(form, heightLabel, "heightMinus", &C::heightMinus, "heightPlus", &C::heightPlus));
    form.full(resetShapeButton, kButtonHeight, kButtonAdvance);
    form.header(QStringLiteral("Privacy"));
    form.full(leaderboardCheckbox, kCheckboxHeight, kCheckboxAdvance);
    form.full(privateModeCheckbox, kCheckboxHeight, kCheckboxAdvance);
    form.full(startAtLoginCheckbox, kCheckboxHeight, kCheckboxAdvance);
    form.header(QStringLiteral("Account"));
    style(accountStatusLabel, 12, Theme::fg());
    form.full(accountStatusLabel, kStatusHeight, kStatusAdvance);
    for (QPushButton* button : {githubButton, googleButton, signOutButton, syncNowButton})
        form.full(button, kButtonHeight, kButtonAdvance);
    style(lastSyncLabel, 11, Theme::muted());
    form.full(lastSyncLabel, kNoteHeight, kNoteAdvance);
    style(accountErrorLabel, 11, Theme::amber());
    accountErrorLabel->setWordWrap(true);
    form.full(accountErrorLabel, kNoteHeight, kNoteAdvance);

    m_documentHeight = form.y() + kBottomMargin;
    m_content->setFixedSize(SettingsForm::width, m_documentHeight);
    const int visible = std::min(m_documentHeight, kMaxVisibleHeight);
    m_window->resize(SettingsForm::width, visible);
    m_window->setMinimumSize(SettingsForm::width, kMinHeight);
    refreshControls();
    refreshAccountUI();
}

QWidget* SettingsWindowController::makeStepper(const SettingsForm& form, QLabel* value, const char* minusName,
                                               void (SettingsWindowController::*minus)(), const char* plusName,
                                               void (SettingsWindowController::*plus)())
{
    auto* minusButton = new QPushButton(QStringLiteral("\u2212"));
    auto* plusButton = new QPushButton(QStringLiteral("+"));
    minusButton->setObjectName(QLatin1String(minusName));
    plusButton->setObjectName(QLatin1String(plusName));
    connect(minusButton, &QPushButton::clicked, this, minus);
    connect(plusButton, &QPushButton::clicked, this, plus);
    return form.stepper(value, minusButton, plusButton);
}

void SettingsWindowController::connectActions()
{
    using C = SettingsWindowController;
    // "activated" and "clicked" come from the user only, so refreshing the controls never writes back.
    connect(notchRightStatPopup, &QComboBox::activated, this, &C::rightStatChanged);
    connect(notchSpritePopup, &QComboBox::activated, this, &C::spriteChanged);
    connect(accentPopup, &QComboBox::activated, this, &C::accentChanged);
    connect(cardStylePopup, &QComboBox::activated, this, &C::cardStyleChanged);
    connect(resetShapeButton, &QPushButton::clicked, this, &C::resetShapeAndAlignment);
    connect(leaderboardCheckbox, &QCheckBox::clicked, this, &C::leaderboardChanged);
    connect(privateModeCheckbox, &QCheckBox::clicked, this, &C::privateModeChanged);
    connect(startAtLoginCheckbox, &QCheckBox::clicked, this, &C::startAtLoginChanged);
    connect(githubButton, &QPushButton::clicked, this, &C::githubTapped);
    connect(googleButton, &QPushButton::clicked, this, &C::googleTapped);
    connect(signOutButton, &QPushButton::clicked, this, &C::signOutTapped);
    connect(syncNowButton, &QPushButton::clicked, this, &C::syncNowTapped);
}

void SettingsWindowController::refreshControls()
{
    notchRightStatPopup->setCurrentIndex(static_cast<int>(Prefs::wingStat()));
    notchSpritePopup->setCurrentIndex(Prefs::spriteKind());
    accentPopup->setCurrentIndex(Prefs::accentTheme());
    cardStylePopup->setCurrentIndex(static_cast<int>(Prefs::cardBackground()));
    leaderboardCheckbox->setChecked(Prefs::leaderboardOptIn());
    privateModeCheckbox->setChecked(Prefs::flag(PrefKey::PrivateMode));
    startAtLoginCheckbox->setChecked(m_startAtLogin.enabled());
    refreshShapeLabels();
}

void SettingsWindowController::refreshShapeLabels()
{
    flareLabel->setText(shapeText(Prefs::real(PrefKey::NotchFlare), kDefaultFlare));
    roundLabel->setText(shapeText(Prefs::real(PrefKey::NotchRound), kDefaultRound));
    widthLabel->setText(QString::number(Prefs::integer(PrefKey::NotchWidthOffset)));
    xOffsetLabel->setText(QString::number(Prefs::integer(PrefKey::NotchXOffset)));
    heightLabel->setText(QString::number(Prefs::integer(PrefKey::NotchHeightOffset)));
}

void SettingsWindowController::refreshAccountUI()
{
    showError(QString());
    const std::optional<SignedInUser> user = m_account.session ? m_account.session() : std::nullopt;
    for (QWidget* view : oauthRowViews) {
        view->setVisible(!user);
        view->setEnabled(static_cast<bool>(m_account.beginOAuth));
    }
    signOutButton->setVisible(user.has_value());
    syncNowButton->setVisible(user.has_value());
    lastSyncLabel->setVisible(user.has_value());
    if (!user) {
        accountStatusLabel->setText(QStringLiteral("Not signed in"));
        return;
    }
    accountStatusLabel->setText(QStringLiteral("Signed in as ") + user->email.value_or(QStringLiteral("unknown")));
    const std::optional<QString> lastSync = Prefs::text(PrefKey::LastSyncDate);
    lastSyncLabel->setText(lastSync ? QStringLiteral("Last synced ") + *lastSync : QStringLiteral("Not synced yet"));
}

void SettingsWindowController::rightStatChanged()
{
    storeIndex(PrefKey::WingStat, notchRightStatPopup);
}

void SettingsWindowController::spriteChanged()
{
    storeIndex(PrefKey::SpriteKind, notchSpritePopup);
}

void SettingsWindowController::accentChanged()
{
    storeIndex(PrefKey::AccentTheme, accentPopup);
}

void SettingsWindowController::cardStyleChanged()
{
    storeIndex(PrefKey::CardBackground, cardStylePopup);
}

void SettingsWindowController::flarePlus()
{
    stepReal(PrefKey::NotchFlare, kDefaultFlare, kShapeStep, kMaxFlare);
}

void SettingsWindowController::flareMinus()
{
    stepReal(PrefKey::NotchFlare, kDefaultFlare, -kShapeStep, kMinShape);
}

void SettingsWindowController::roundPlus()
{
    stepReal(PrefKey::NotchRound, kDefaultRound, kShapeStep, kMaxRound);
}

void SettingsWindowController::roundMinus()
{
    stepReal(PrefKey::NotchRound, kDefaultRound, -kShapeStep, kMinShape);
}

void SettingsWindowController::widthPlus()
{
    stepInteger(PrefKey::NotchWidthOffset, kShapeStep);
}

void SettingsWindowController::widthMinus()
{
    stepInteger(PrefKey::NotchWidthOffset, -kShapeStep);
}

void SettingsWindowController::xPlus()
{
    stepInteger(PrefKey::NotchXOffset, kShapeStep);
}

void SettingsWindowController::xMinus()
{
    stepInteger(PrefKey::NotchXOffset, -kShapeStep);
}

void SettingsWindowController::heightPlus()
{
    stepInteger(PrefKey::NotchHeightOffset, kShapeStep);
}

void SettingsWindowController::heightMinus()
{
    stepInteger(PrefKey::NotchHeightOffset, -kShapeStep);
}

void SettingsWindowController::resetShapeAndAlignment()
{
    Prefs::remove(PrefKey::NotchFlare);
    Prefs::remove(PrefKey::NotchRound);
    Prefs::resetNotchAlignment();
    refreshShapeLabels();
    changed();
}

void SettingsWindowController::leaderboardChanged()
{
    Prefs::setFlag(PrefKey::LeaderboardOptIn, leaderboardCheckbox->checkState() == Qt::Checked);
    changed();
}

void SettingsWindowController::privateModeChanged()
{
    Prefs::setFlag(PrefKey::PrivateMode, privateModeCheckbox->checkState() == Qt::Checked);
    changed();
}

void SettingsWindowController::startAtLoginChanged()
{
    const std::optional<QString> failure = m_startAtLogin.setEnabled(startAtLoginCheckbox->isChecked());
    startAtLoginCheckbox->setChecked(m_startAtLogin.enabled());
    if (failure)
        showError(QStringLiteral("Couldn't change %1: %2").arg(m_startAtLogin.entryPath(), *failure));
}

void SettingsWindowController::githubTapped()
{
    beginOAuth(QStringLiteral("github"), QStringLiteral("Couldn't open the browser for GitHub sign-in"));
}

void SettingsWindowController::googleTapped()
{
    beginOAuth(QStringLiteral("google"), QStringLiteral("Couldn't open the browser for Google sign-in"));
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
    syncNowButton->setEnabled(false);
    // The account may complete on its network thread; the outcome reaches the controls on the GUI thread.
    const GuiPoster poster = m_poster;
    auto finish = [this, poster](std::optional<QString> error) {
        poster.post([this, error = std::move(error)] { finishSync(error); });
    };
    if (Prefs::flag(PrefKey::PrivateMode))
        finish(kPrivateModeRefusal);
    else if (!m_account.syncNow)
        finish(QStringLiteral("Not signed in"));
    else
        m_account.syncNow(*stats, finish);
}

void SettingsWindowController::storeIndex(PrefKey key, const QComboBox* popup)
{
    Prefs::setInteger(key, popup->currentIndex());
    changed();
}

void SettingsWindowController::stepReal(PrefKey key, double fromDefault, double delta, double bound)
{
    const double value = Prefs::real(key);
    double next = fromDefault + delta;
    if (value != 0)
        next = delta > 0 ? std::min(value + delta, bound) : std::max(value + delta, bound);
    Prefs::setReal(key, next);
    refreshShapeLabels();
    changed();
}

void SettingsWindowController::stepInteger(PrefKey key, int delta)
{
    Prefs::setInteger(key, saturatingAdd(Prefs::integer(key), delta));
    refreshShapeLabels();
    changed();
}

void SettingsWindowController::changed()
{
    if (onChange)
        onChange();
}

void SettingsWindowController::beginOAuth(const QString& provider, const QString& failure)
{
    if (!m_account.beginOAuth || !m_account.beginOAuth(provider))
        showError(failure);
}

void SettingsWindowController::showError(const QString& text)
{
    accountErrorLabel->setText(text);
    // A long message wraps onto more lines instead of being cut off; the form grows below it to make room.
    const int height = text.isEmpty()
                           ? kNoteHeight
                           : std::max(kNoteHeight, accountErrorLabel->heightForWidth(SettingsForm::innerWidth));
    accountErrorLabel->resize(SettingsForm::innerWidth, height);
    const int bottom = accountErrorLabel->y() + height + (kNoteAdvance - kNoteHeight) + kBottomMargin;
    m_content->setFixedHeight(std::max(m_documentHeight, bottom));
}

void SettingsWindowController::finishSync(const std::optional<QString>& error)
{
    syncNowButton->setEnabled(true);
    if (error)
        showError(QStringLiteral("Sync failed: ") + *error);
    else
        refreshAccountUI();
}
