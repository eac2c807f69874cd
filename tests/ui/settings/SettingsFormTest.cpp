#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QImage>
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

    void press(PrefKey key, int direction, int times = 1)
    {
        QPushButton* button = settings.stepButton(key, direction);
        ASSERT_NE(button, nullptr);
        for (int i = 0; i < times; ++i)
            button->click();
    }

    QString shown(PrefKey key) const { return settings.stepperValue(key)->text(); }

    QStringList shape() const
    {
        return {shown(PrefKey::NotchFlare), shown(PrefKey::NotchRound), shown(PrefKey::NotchWidthOffset),
                shown(PrefKey::NotchXOffset), shown(PrefKey::NotchHeightOffset)};
    }

    // The form's direct elements, top to bottom (hidden ones keep their slots).
    std::vector<const QWidget*> elements() const
    {
        std::vector<const QWidget*> list;
        for (const QWidget* w : settings.contentView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            list.push_back(w);
        std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
        return list;
    }
};

} // namespace

TEST_F(SettingsFormTest, ElementsStayInsideTheFormAndNoTwoOverlap)
{
    // Cancelling a sign-in takes the place of "Sign out": the two are never shown together.
    auto list = elements();
    std::erase(list, settings.accountControls().cancel);
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_TRUE(settings.contentView()->rect().contains(list[i]->geometry())) << list[i]->y();
        for (size_t j = i + 1; j < list.size(); ++j)
            EXPECT_FALSE(list[i]->geometry().intersects(list[j]->geometry()))
                << list[i]->metaObject()->className() << " at y " << list[i]->y() << " and "
                << list[j]->metaObject()->className() << " at y " << list[j]->y();
    }
}

TEST_F(SettingsFormTest, TextsFitTheirLabels)
{
    for (const QLabel* label : settings.contentView()->findChildren<QLabel*>()) {
        if (!label->wordWrap()) {
            EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
    }
}

TEST_F(SettingsFormTest, ControlsFollowChangesMadeElsewhere)
{
    Prefs::setReal(PrefKey::NotchRound, 17.9);
    Prefs::setInteger(PrefKey::NotchXOffset, -8);
    Prefs::setInteger(PrefKey::AccentTheme, 99);
    EXPECT_EQ(shown(PrefKey::NotchRound), QStringLiteral("17"));
    EXPECT_EQ(shown(PrefKey::NotchXOffset), QStringLiteral("-8"));
    EXPECT_EQ(settings.popup(PrefKey::AccentTheme)->currentText(), QStringLiteral("Violet"))
        << "clamped as the overlay reads it";
    EXPECT_EQ(changes, 0) << "following a change writes nothing back";
}

TEST_F(SettingsFormTest, FlareStopsAtFortyAndResetRestoresTheShapeWithOneChange)
{
    press(PrefKey::NotchFlare, 1, 20);
    press(PrefKey::NotchWidthOffset, 1);
    EXPECT_EQ(shown(PrefKey::NotchFlare), QStringLiteral("40"));
    EXPECT_EQ(changes, 21) << "one call per press";
    changes = 0;
    settings.resetShapeButton()->click();
    EXPECT_EQ(shape(), (QStringList{"11", "13", "0", "0", "0"}));
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(Prefs::has(PrefKey::NotchFlare) || Prefs::has(PrefKey::NotchRound));
}

TEST_F(SettingsFormTest, EveryPopupChoiceIsOneWriteAndOneReportInADarkList)
{
    for (const PrefKey key : {PrefKey::WingStat, PrefKey::SpriteKind, PrefKey::AccentTheme, PrefKey::CardBackground}) {
        QComboBox* popup = settings.popup(key);
        popup->showPopup();
        const QImage list = popup->view()->window()->grab().toImage();
        popup->hidePopup();
        const QColor corner = list.pixelColor(list.width() / 2, list.height() - 3);
        EXPECT_LT(corner.value(), 80) << Prefs::row(key).name << " opens a light list: " << corner.name().toStdString();
        changes = 0;
        QTest::keyClick(settings.popup(key), Qt::Key_Down);
        QTest::keyClick(settings.popup(key), Qt::Key_Down);
        EXPECT_EQ(Prefs::integer(key), 2) << Prefs::row(key).name;
        EXPECT_EQ(changes, 2) << Prefs::row(key).name;
    }
}

TEST_F(SettingsFormTest, StartAtLoginWritesTheAutostartEntry)
{
    settings.startAtLoginBox()->click();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Desktop Entry]\n")) &&
                text.contains(QStringLiteral("\nExec=\"/opt/My Apps/korvel\"\n")))
        << text.toStdString();
    EXPECT_EQ(changes, 0) << "no preference changed";
    settings.startAtLoginBox()->setChecked(false);
    settings.refreshControls();
    EXPECT_TRUE(settings.startAtLoginBox()->isChecked()) << "read back from the file";
}

TEST_F(SettingsFormTest, AnAutostartEntryThatCannotBeWrittenIsSaid)
{
    config.write("blocked", "a file where the autostart folder should be");
    const QString blocked = QString::fromStdString(config.path() + "/blocked/korvel.desktop");
    SettingsWindowController other{StartAtLogin(blocked, QStringLiteral("/usr/bin/korvel"))};
    other.startAtLoginBox()->click();
    EXPECT_FALSE(other.startAtLoginBox()->isChecked()) << "the box shows what is on disk";
    EXPECT_TRUE(other.accountControls().error->text().startsWith(QStringLiteral("Couldn't change ") + blocked));
}

TEST_F(SettingsFormTest, AnInvertedCheckBoxIsCheckedWhileItsPreferenceIsOff)
{
    QCheckBox* keep = settings.checkBox(PrefKey::ForgetDeletedLogs);
    ASSERT_NE(keep, nullptr);
    EXPECT_TRUE(keep->isChecked());
    keep->click();
    EXPECT_TRUE(Prefs::flag(PrefKey::ForgetDeletedLogs));
    EXPECT_EQ(changes, 1);
}
