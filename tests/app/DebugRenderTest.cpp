#include "tests/support/RunProgram.h"
#include "tests/support/TempDir.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

class DebugRenderTest : public ::testing::Test
{
protected:
    TempDir home;

    ProgramResult korvel(const std::vector<std::string>& args)
    {
        return runProgram(KORVEL_BINARY, args,
                          {"HOME=" + home.path(), "TZ=UTC", "XDG_DATA_HOME=" + home.path() + "/data",
                           "XDG_CONFIG_HOME=" + home.path() + "/config"});
    }

    std::string out(const char* name) const { return home.path() + "/" + name; }

    void setFlare(double flare)
    {
        home.write("config/Korvel/Korvel.conf", "[General]\nkorvel.notchFlare=" + std::to_string(flare) + "\n");
    }
};

QColor at(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

} // namespace

TEST_F(DebugRenderTest, CardIsWrittenAtShareSize)
{
    const auto run = korvel({"--card", out("card.png")});
    EXPECT_EQ(run.status, 0);
    const QImage card(QString::fromStdString(out("card.png")));
    ASSERT_FALSE(card.isNull()) << run.out << run.err;
    EXPECT_EQ(card.size(), QSize(1200, 630));
    EXPECT_EQ(run.out, "wrote " + std::to_string(QFile(QString::fromStdString(out("card.png"))).size()) + " bytes to " +
                           out("card.png") + "\n");
}

TEST_F(DebugRenderTest, SpritesFilmstripHasSixRowsOfFourFrames)
{
    const auto run = korvel({"--sprites", out("sprites.png")});
    EXPECT_EQ(run.out, "wrote sprite filmstrip (6 sprites x 4 frames) to " + out("sprites.png") + "\n");
    const QImage strip(QString::fromStdString(out("sprites.png")));
    ASSERT_EQ(strip.size(), QSize(652, 334));
    EXPECT_EQ(at(strip, 2, 2), QColor(44, 44, 46));
    // Each frame cell is a collapsed notch: black in the middle of its body.
    for (int row = 0; row < 6; ++row)
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(at(strip, 10 + 158 * k + 79, 22 + 54 * row + 16), QColor(Qt::black)) << row << " " << k;
}

TEST_F(DebugRenderTest, NotchViewShowsTheSceneAndTheMagnifiedCorner)
{
    const auto run = korvel({"--notchview", out("view.png")});
    EXPECT_EQ(run.out, "wrote notch silhouette + 4x corner zoom to " + out("view.png") + "\n");
    const QImage view(QString::fromStdString(out("view.png")));
    ASSERT_EQ(view.size(), QSize(440, 350));
    EXPECT_EQ(at(view, 5, 100), QColor(200, 129, 74)) << "desktop";
    EXPECT_EQ(at(view, 5, 10), QColor(30, 30, 30)) << "menu bar";
    EXPECT_EQ(at(view, 220, 40), QColor(Qt::black)) << "notch body";
    EXPECT_EQ(at(view, 119 - 1, 40), QColor(200, 129, 74)) << "left of the default 202-wide notch, below the bar";
    // The crop starts 5 points left of the flare, so its left columns show the menu bar, magnified.
    EXPECT_EQ(at(view, (440 - 136) / 2 + 8, 225), QColor(30, 30, 30));
    EXPECT_EQ(at(view, (440 - 136) / 2 + 8, 220 + 110), QColor(200, 129, 74));
}

TEST_F(DebugRenderTest, NotchCornerFollowsTheFlarePreference)
{
    setFlare(20);
    const auto run = korvel({"--notchcorner", out("corner.png")});
    EXPECT_EQ(run.out, "wrote notch silhouette + 8x corner zoom to " + out("corner.png") + "\n");
    const QImage corner(QString::fromStdString(out("corner.png")));
    ASSERT_EQ(corner.size(), QSize(440, 470));
    // Flare 20: a 220-wide notch from x 110; its body begins at 130.
    EXPECT_EQ(at(corner, 135, 40), QColor(Qt::black));
    EXPECT_EQ(at(corner, 125, 40), QColor(200, 129, 74));
}

TEST_F(DebugRenderTest, DefaultPathsAreUsedWhenTheFlagIsLast)
{
    const auto run = korvel({"--stats-dir", "x", "--notchview"});
    EXPECT_EQ(run.out, "wrote notch silhouette + 4x corner zoom to /tmp/korvel-notchview.png\n");
}
