#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class SettingsFormTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    TempDir config;
    QString entry = QString::fromStdString(config.path() + "/autostart/korvel.desktop");
    SettingsWindowController settings{StartAtLogin(entry, QStringLiteral("/opt/My Apps/korvel"))};
    int changes = 0;

    void SetUp() override
    {
        settings.onChange = [this] { ++changes; };
    }

    QPushButton* button(const char* name) const
    {
        auto* found = settings.contentView()->findChild<QPushButton*>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    void press(const char* name, int times = 1)
    {
        for (int i = 0; i < times; ++i)
            button(name)->click();
    }

    int headerY(const QString& title) const
    {
        for (const QLabel* label : settings.contentView()->findChildren<QLabel*>())
            if (label->text() == title)
                return label->y();
        return -1;
    }

    QStringList shapeLabels() const
    {
        return {settings.flareLabel->text(), settings.roundLabel->text(), settings.widthLabel->text(),
                settings.xOffsetLabel->text(), settings.heightLabel->text()};
    }
};

} // namespace

TEST_F(SettingsFormTest, FormStandsAtItsPositions)
{
    EXPECT_EQ(settings.window()->windowTitle(), QStringLiteral("Korvel Settings"));
    EXPECT_EQ(settings.window()->size(), QSize(460, 560));
    EXPECT_EQ(settings.window()->minimumSize(), QSize(460, 300));
    EXPECT_EQ(settings.contentView()->size(), QSize(460, 850));
    const auto* scroll = settings.window()->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    const std::vector<std::pair<QString, int>> headers{
        {"NOTCH", 20}, {"CARD", 160}, {"NOTCH SHAPE & ALIGNMENT", 232}, {"PRIVACY", 474}, {"ACCOUNT", 602}};
    for (const auto& [title, y] : headers)
        EXPECT_EQ(headerY(title), y) << title.toStdString();
    EXPECT_EQ(headerY("Right stat"), 48) << "a row's title sits 4 below its control";

    const std::vector<std::pair<const QWidget*, QRect>> controls{
        {settings.notchRightStatPopup, {246, 44, 190, 24}},
        {settings.notchSpritePopup, {246, 78, 190, 24}},
        {settings.accentPopup, {246, 112, 190, 24}},
        {settings.cardStylePopup, {246, 184, 190, 24}},
        {settings.flareLabel->parentWidget(), {246, 256, 190, 24}},
        {settings.heightLabel->parentWidget(), {246, 392, 190, 24}},
        {settings.flareLabel, {36, 4, 118, 16}},
        {settings.resetShapeButton, {24, 426, 412, 24}},
        {settings.leaderboardCheckbox, {24, 498, 412, 20}},
        {settings.privateModeCheckbox, {24, 528, 412, 20}},
        {settings.startAtLoginCheckbox, {24, 558, 412, 20}},
        {settings.accountStatusLabel, {24, 626, 412, 18}},
        {settings.githubButton, {24, 654, 412, 24}},
        {settings.googleButton, {24, 688, 412, 24}},
        {settings.signOutButton, {24, 722, 412, 24}},
        {settings.syncNowButton, {24, 756, 412, 24}},
        {settings.lastSyncLabel, {24, 790, 412, 16}},
        {settings.accountErrorLabel, {24, 816, 412, 16}},
    };
    for (const auto& [widget, frame] : controls)
        EXPECT_EQ(widget->geometry(), frame) << widget->metaObject()->className() << " at y " << frame.y();
    EXPECT_EQ(button("flareMinus")->geometry(), QRect(0, 0, 32, 24));
    EXPECT_EQ(button("flarePlus")->geometry(), QRect(158, 0, 32, 24));
    EXPECT_EQ(button("flareMinus")->text(), QStringLiteral("\u2212"));
    EXPECT_EQ(settings.resetShapeButton->text(), QStringLiteral("Reset shape && alignment"))
        << "shown as a single ampersand, not as a shortcut mark";
}

TEST_F(SettingsFormTest, FreshPreferencesShowTheDefaults)
{
    EXPECT_EQ(settings.notchRightStatPopup->currentText(), QStringLiteral("Lines today"));
    EXPECT_EQ(settings.notchSpritePopup->currentText(), QStringLiteral("Ship"));
    EXPECT_EQ(settings.accentPopup->currentText(), QStringLiteral("Cobalt"));
    EXPECT_EQ(settings.cardStylePopup->currentText(), QStringLiteral("Scanlines"));
    EXPECT_EQ(shapeLabels(), (QStringList{"11", "13", "0", "0", "0"}));
    EXPECT_TRUE(settings.leaderboardCheckbox->isChecked());
    EXPECT_FALSE(settings.privateModeCheckbox->isChecked());
    EXPECT_FALSE(settings.startAtLoginCheckbox->isChecked());

    Prefs::setReal(PrefKey::NotchFlare, 0.0);
    Prefs::setReal(PrefKey::NotchRound, 17.9);
    Prefs::setInteger(PrefKey::NotchXOffset, -8);
    Prefs::setInteger(PrefKey::AccentTheme, 99);
    settings.refreshControls();
    EXPECT_EQ(shapeLabels(), (QStringList{"11", "17", "0", "-8", "0"})) << "a stored 0 reads as the default";
    EXPECT_EQ(settings.accentPopup->currentText(), QStringLiteral("Violet")) << "clamped like the overlay reads it";
    EXPECT_EQ(changes, 0) << "refreshing writes nothing back";
}

TEST_F(SettingsFormTest, SteppersKeepTheirBoundsAndStartFromTheDefaults)
{
    press("flarePlus");
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 13);
    press("flarePlus", 19);
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 40);
    EXPECT_EQ(changes, 20) << "one call per press";

    press("roundMinus", 6);
    EXPECT_EQ(Prefs::real(PrefKey::NotchRound), 1);
    press("roundMinus");
    EXPECT_EQ(Prefs::real(PrefKey::NotchRound), 1);
    press("widthMinus", 3);
    press("xPlus");
    press("heightMinus");
    EXPECT_EQ(shapeLabels(), (QStringList{"40", "1", "-6", "2", "-2"}));

    Prefs::remove(PrefKey::NotchFlare);
    Prefs::remove(PrefKey::NotchRound);
    press("flareMinus");
    press("roundPlus");
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 9);
    EXPECT_EQ(Prefs::real(PrefKey::NotchRound), 15);

    Prefs::setInteger(PrefKey::NotchWidthOffset, std::numeric_limits<int64_t>::max() - 1);
    press("widthPlus", 2);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchWidthOffset), std::numeric_limits<int64_t>::max()) << "no wrap-around";
}

TEST_F(SettingsFormTest, ResetRestoresTheShapeWithOneChange)
{
    press("flarePlus");
    press("roundPlus");
    press("widthPlus");
    press("xMinus");
    press("heightPlus");
    changes = 0;
    settings.resetShapeButton->click();
    EXPECT_EQ(shapeLabels(), (QStringList{"11", "13", "0", "0", "0"}));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Prefs::has(PrefKey::NotchFlare));
    EXPECT_FALSE(Prefs::has(PrefKey::NotchRound));
    EXPECT_EQ(Prefs::integer(PrefKey::NotchHeightOffset), 0);
}

TEST_F(SettingsFormTest, EveryPopupAndCheckBoxWritesItsKeyOnce)
{
    const std::vector<std::pair<QComboBox*, PrefKey>> popups{{settings.notchRightStatPopup, PrefKey::WingStat},
                                                             {settings.notchSpritePopup, PrefKey::SpriteKind},
                                                             {settings.accentPopup, PrefKey::AccentTheme},
                                                             {settings.cardStylePopup, PrefKey::CardBackground}};
    for (const auto& [popup, key] : popups) {
        changes = 0;
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Down);
        EXPECT_EQ(Prefs::integer(key), 2) << Prefs::spec(key).name;
        EXPECT_EQ(changes, 2) << Prefs::spec(key).name;
    }

    changes = 0;
    settings.leaderboardCheckbox->click();
    EXPECT_TRUE(Prefs::has(PrefKey::LeaderboardOptIn));
    EXPECT_FALSE(Prefs::leaderboardOptIn());
    settings.privateModeCheckbox->click();
    EXPECT_TRUE(Prefs::flag(PrefKey::PrivateMode));
    EXPECT_EQ(changes, 2);
}

TEST_F(SettingsFormTest, StartAtLoginWritesAndRemovesTheAutostartEntry)
{
    settings.startAtLoginCheckbox->click();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"/opt/My Apps/korvel\"\n"))) << text.toStdString();
    EXPECT_TRUE(settings.startAtLoginCheckbox->isChecked());
    EXPECT_EQ(changes, 0) << "no preference changed";

    settings.refreshControls();
    EXPECT_TRUE(settings.startAtLoginCheckbox->isChecked()) << "read back from the file";
    settings.startAtLoginCheckbox->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(settings.startAtLoginCheckbox->isChecked());
}

TEST_F(SettingsFormTest, StartAtLoginThatCannotBeWrittenSaysWhyAndStaysOff)
{
    config.write("blocked", "a file where the autostart folder should be");
    const QString blocked = QString::fromStdString(config.path() + "/blocked/korvel.desktop");
    SettingsWindowController other{StartAtLogin(blocked, QStringLiteral("/usr/bin/korvel"))};
    other.startAtLoginCheckbox->click();
    EXPECT_FALSE(other.startAtLoginCheckbox->isChecked());
    EXPECT_TRUE(other.accountErrorLabel->text().startsWith(QStringLiteral("Couldn't change ") + blocked))
        << other.accountErrorLabel->text().toStdString();
}
