#include "prefs/Prefs.h"

#include "prefs/PrefFile.h"
#include "tests/support/PrefsGuard.h"

#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <limits>
#include <set>
#include <stdlib.h>

namespace {

class PrefsTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
};

} // namespace

TEST_F(PrefsTest, EveryKeyHasItsOwnName)
{
    std::set<std::string> names;
    for (const PrefRow& row : Prefs::table()) {
        EXPECT_EQ(std::string(row.name).rfind("korvel.", 0), 0u) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(&Prefs::row(row.key), &row);
    }
}

TEST_F(PrefsTest, AStoredZeroShapeReadsAsNeverSet)
{
    Prefs::setReal(PrefKey::NotchFlare, 0.0);
    EXPECT_EQ(Prefs::notchFlare(), Prefs::row(PrefKey::NotchFlare).fallback);
    Prefs::setReal(PrefKey::NotchRound, 9);
    EXPECT_EQ(Prefs::expandedRound(), 12) << "the expanded outline is 3 rounder";
}

TEST_F(PrefsTest, EnumeratedChoicesAreClampedOrFallBackToTheLast)
{
    Prefs::setInteger(PrefKey::AccentTheme, -3);
    Prefs::setInteger(PrefKey::SpriteKind, 7);
    Prefs::setInteger(PrefKey::WingStat, -1);
    EXPECT_EQ(Prefs::accentChoice(), AccentChoice::Cobalt);
    EXPECT_EQ(Prefs::spriteFigure(), SpriteFigure::Anchor);
    EXPECT_EQ(Prefs::wingFigure(), WingFigure::Sessions);
    EXPECT_EQ(Prefs::choiceIndex(PrefKey::WingStat), -1) << "the popup shows what is stored";
}

TEST_F(PrefsTest, StepsStopAtTheBoundInTheirDirection)
{
    Prefs::step(PrefKey::NotchFlare, 1);
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 13) << "the first step starts from the default";
    Prefs::setReal(PrefKey::NotchFlare, 39);
    Prefs::step(PrefKey::NotchFlare, 1);
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 40);
    Prefs::setReal(PrefKey::NotchFlare, -5);
    Prefs::step(PrefKey::NotchFlare, 1);
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), 3) << "a value below the bound reads as the bound";
    Prefs::setReal(PrefKey::NotchRound, 2);
    Prefs::step(PrefKey::NotchRound, -1);
    EXPECT_EQ(Prefs::stepperText(PrefKey::NotchRound), QStringLiteral("1"));
}

TEST_F(PrefsTest, IntegerStepsSaturateInsteadOfWrapping)
{
    Prefs::setInteger(PrefKey::NotchWidthOffset, std::numeric_limits<int64_t>::max() - 1);
    Prefs::step(PrefKey::NotchWidthOffset, 1);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchWidthOffset), std::numeric_limits<int64_t>::max());
    Prefs::setInteger(PrefKey::NotchXOffset, 0);
    Prefs::step(PrefKey::NotchXOffset, -1);
    EXPECT_EQ(Prefs::stepperText(PrefKey::NotchXOffset), QStringLiteral("-2"));
}

TEST_F(PrefsTest, OnlyRealChangesAreAnnounced)
{
    QSignalSpy spy(&Prefs::notifier(), &PrefsNotifier::changed);
    Prefs::setInteger(PrefKey::MsLines, 5);
    Prefs::setInteger(PrefKey::MsLines, 5);
    Prefs::remove(PrefKey::MsStreak);
    Prefs::remove(PrefKey::MsLines);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[0][0].value<PrefKey>(), PrefKey::MsLines);
}

TEST_F(PrefsTest, ValuesOutOfRangeInTheFileReadAsTheirRowAllows)
{
    // What a user's hand could leave in the file: text, as the file holds it.
    const std::pair<const char*, const char*> stored[] = {
        {"korvel.notchFlare", "nan"},          {"korvel.notchRound", "1e308"}, {"korvel.notchWidthOffset", "inf"},
        {"korvel.notchXOffset", "-7"},         {"korvel.msLines", "lots"},     {"korvel.lastSyncTimestamp", "-inf"},
        {"korvel.notchHeightOffset", "1e308"},
    };
    QSettings file(QStringLiteral("Korvel"), QStringLiteral("Korvel"));
    for (const auto& [name, text] : stored)
        file.setValue(QString::fromLatin1(name), QString::fromLatin1(text));
    EXPECT_EQ(Prefs::real(PrefKey::NotchFlare), Prefs::row(PrefKey::NotchFlare).fallback) << "not a number";
    EXPECT_EQ(Prefs::real(PrefKey::NotchRound), Prefs::row(PrefKey::NotchRound).max) << "beyond the bound";
    EXPECT_EQ(Prefs::integer(PrefKey::NotchWidthOffset), 0) << "no whole number";
    EXPECT_EQ(Prefs::integer(PrefKey::NotchXOffset), -7);
    EXPECT_EQ(Prefs::integer(PrefKey::NotchHeightOffset), 0);
    EXPECT_EQ(Prefs::integer(PrefKey::MsLines), 0);
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), 0);
    file.setValue(QStringLiteral("korvel.notchRound"), QStringLiteral("-5"));
    EXPECT_EQ(Prefs::real(PrefKey::NotchRound), Prefs::row(PrefKey::NotchRound).min);
    EXPECT_EQ(file.value(QStringLiteral("korvel.notchFlare")).toString(), QStringLiteral("nan"))
        << "reading rewrites nothing";
}

TEST_F(PrefsTest, TheCommandLineReadsTheFlagsPrefsWrote)
{
    // The file's folder is Korvel/ under the configuration folder the command line looks in.
    const QString file = QSettings(QStringLiteral("Korvel"), QStringLiteral("Korvel")).fileName();
    const QString config = QFileInfo(QFileInfo(file).path()).path();
    setenv("XDG_CONFIG_HOME", config.toLocal8Bit().constData(), 1);
    ASSERT_EQ(PrefFile::path(), file.toStdString());
    EXPECT_TRUE(PrefFile::flag(PrefKey::StreakProtection)) << "absent: the row's fallback";
    Prefs::setFlag(PrefKey::StreakProtection, false);
    Prefs::setFlag(PrefKey::ForgetDeletedLogs, true);
    EXPECT_FALSE(PrefFile::flag(PrefKey::StreakProtection));
    EXPECT_TRUE(PrefFile::flag(PrefKey::ForgetDeletedLogs));
    unsetenv("XDG_CONFIG_HOME");
}
