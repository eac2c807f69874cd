#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
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

    void press(const char* name, int times = 1)
    {
        auto* button = settings.contentView()->findChild<QPushButton*>(QLatin1String(name));
        ASSERT_NE(button, nullptr) << name;
        for (int i = 0; i < times; ++i)
            button->click();
    }

    int labelY(const QString& text) const
    {
        for (const QLabel* label : settings.contentView()->findChildren<QLabel*>())
            if (label->text() == text)
                return label->y();
        return -1;
    }

    QStringList shape() const
    {
        return {settings.flareLabel->text(), settings.roundLabel->text(), settings.widthLabel->text(),
                settings.xOffsetLabel->text(), settings.heightLabel->text()};
    }
};

} // namespace

TEST_F(SettingsFormTest, FormStandsAtItsPositions)
{
    EXPECT_EQ(settings.contentView()->size(), QSize(460, 850)) << "the Privacy section's third box adds 30";
    for (const auto& [title, y] : std::vector<std::pair<QString, int>>{
             {"NOTCH", 20}, {"CARD", 160}, {"NOTCH SHAPE & ALIGNMENT", 232}, {"PRIVACY", 474}, {"ACCOUNT", 602}})
        EXPECT_EQ(labelY(title), y) << title.toStdString();
    EXPECT_EQ(labelY("Right stat"), 48) << "a row's title sits 4 below its control";

    // clang-format off
    const std::vector<std::pair<const QWidget*, QRect>> frames{
        {settings.notchRightStatPopup, {246, 44, 190, 24}},   {settings.notchSpritePopup, {246, 78, 190, 24}},
        {settings.accentPopup, {246, 112, 190, 24}},          {settings.cardStylePopup, {246, 184, 190, 24}},
        {settings.flareLabel->parentWidget(), {246, 256, 190, 24}}, {settings.flareLabel, {36, 4, 118, 16}},
        {settings.heightLabel->parentWidget(), {246, 392, 190, 24}}, {settings.resetShapeButton, {24, 426, 412, 24}},
        {settings.leaderboardCheckbox, {24, 498, 412, 20}},  {settings.privateModeCheckbox, {24, 528, 412, 20}},
        {settings.startAtLoginCheckbox, {24, 558, 412, 20}}, {settings.accountStatusLabel, {24, 626, 412, 18}},
        {settings.githubButton, {24, 654, 412, 24}},         {settings.googleButton, {24, 688, 412, 24}},
        {settings.signOutButton, {24, 722, 412, 24}},        {settings.syncNowButton, {24, 756, 412, 24}},
        {settings.lastSyncLabel, {24, 790, 412, 16}},        {settings.accountErrorLabel, {24, 816, 412, 16}},
    };
    // clang-format on
    for (const auto& [widget, frame] : frames)
        EXPECT_EQ(widget->geometry(), frame) << widget->metaObject()->className() << " at y " << frame.y();
    EXPECT_EQ(settings.resetShapeButton->text(), QStringLiteral("Reset shape && alignment"))
        << "shown as one ampersand, not as a shortcut mark";
}

TEST_F(SettingsFormTest, ControlsShowTheStoredPreferencesAndSteppersKeepTheirBoundsAndResetRestoresTheShape)
{
    EXPECT_EQ((QStringList{settings.notchRightStatPopup->currentText(), settings.notchSpritePopup->currentText(),
                           settings.cardStylePopup->currentText()}),
              (QStringList{"Lines today", "Ship", "Scanlines"}));
    EXPECT_TRUE(settings.leaderboardCheckbox->isChecked() && !settings.privateModeCheckbox->isChecked());

    Prefs::setReal(PrefKey::NotchFlare, 0.0);
    Prefs::setReal(PrefKey::NotchRound, 17.9);
    Prefs::setInteger(PrefKey::NotchXOffset, -8);
    Prefs::setInteger(PrefKey::AccentTheme, 99);
    settings.refreshControls();
    EXPECT_EQ(shape(), (QStringList{"11", "17", "0", "-8", "0"})) << "a stored 0 reads as the default";
    EXPECT_EQ(settings.accentPopup->currentText(), QStringLiteral("Violet")) << "clamped as the overlay reads it";
    EXPECT_EQ(changes, 0) << "refreshing writes nothing back";

    settings.resetShapeButton->click();
    changes = 0;
    press("flarePlus");
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 13) << "the first step starts from the default";
    press("flarePlus", 19);
    press("roundMinus", 7);
    press("widthMinus", 3);
    press("xPlus");
    press("heightMinus");
    EXPECT_EQ(shape(), (QStringList{"40", "1", "-6", "2", "-2"}));
    EXPECT_EQ(changes, 32) << "one call per press";
    Prefs::remove(PrefKey::NotchFlare);
    press("flareMinus");
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 9);
    Prefs::setInteger(PrefKey::NotchWidthOffset, std::numeric_limits<int64_t>::max() - 1);
    press("widthPlus", 2);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchWidthOffset), std::numeric_limits<int64_t>::max()) << "no wrap-around";

    changes = 0;
    settings.resetShapeButton->click();
    EXPECT_EQ(shape(), (QStringList{"11", "13", "0", "0", "0"}));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Prefs::has(PrefKey::NotchFlare) || Prefs::has(PrefKey::NotchRound));
}

TEST_F(SettingsFormTest, EveryPopupAndCheckBoxWritesItsKeyAndReportsOnce)
{
    for (const auto& [popup, key] :
         std::vector<std::pair<QComboBox*, PrefKey>>{{settings.notchRightStatPopup, PrefKey::WingStat},
                                                     {settings.notchSpritePopup, PrefKey::SpriteKind},
                                                     {settings.accentPopup, PrefKey::AccentTheme},
                                                     {settings.cardStylePopup, PrefKey::CardBackground}}) {
        changes = 0;
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Down);
        EXPECT_EQ(Prefs::integer(key), 2) << Prefs::spec(key).name;
        EXPECT_EQ(changes, 2) << Prefs::spec(key).name;
    }
    changes = 0;
    settings.leaderboardCheckbox->click();
    settings.privateModeCheckbox->click();
    EXPECT_TRUE(Prefs::has(PrefKey::LeaderboardOptIn) && !Prefs::leaderboardOptIn());
    EXPECT_TRUE(Prefs::flag(PrefKey::PrivateMode));
    EXPECT_EQ(changes, 2);
}

TEST_F(SettingsFormTest, StartAtLoginWritesAndRemovesTheAutostartEntry)
{
    settings.startAtLoginCheckbox->click();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")) &&
                text.contains(QStringLiteral("\nExec=\"/opt/My Apps/korvel\"\n")))
        << text.toStdString();
    EXPECT_EQ(changes, 0) << "no preference changed";
    settings.startAtLoginCheckbox->setChecked(false);
    settings.refreshControls();
    EXPECT_TRUE(settings.startAtLoginCheckbox->isChecked()) << "read back from the file";
    settings.startAtLoginCheckbox->click();
    EXPECT_FALSE(QFile::exists(entry));

    config.write("blocked", "a file where the autostart folder should be");
    const QString blocked = QString::fromStdString(config.path() + "/blocked/korvel.desktop");
    SettingsWindowController other{StartAtLogin(blocked, QStringLiteral("/usr/bin/korvel"))};
    other.startAtLoginCheckbox->click();
    EXPECT_FALSE(other.startAtLoginCheckbox->isChecked()) << "the box shows what is on disk";
    EXPECT_TRUE(other.accountErrorLabel->text().startsWith(QStringLiteral("Couldn't change ") + blocked));
}
