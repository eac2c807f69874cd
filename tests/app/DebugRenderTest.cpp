#include "tests/app/KorvelRun.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <gtest/gtest.h>

namespace {

class DebugRenderTest : public ::testing::Test
{
protected:
    TempDir home;

    // Renders with the flag into a file of the home folder and loads the picture.
    QImage render(const char* flag, const std::string& expectedOutput)
    {
        const std::string path = home.path() + "/out.png";
        const ProgramResult run = korvel(home, {flag, path});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, expectedOutput + path + "\n") << run.err;
        return QImage(QString::fromStdString(path));
    }
};

} // namespace

TEST_F(DebugRenderTest, TheCardIsWrittenAtItsSize)
{
    const std::string card = home.path() + "/out.png";
    const ProgramResult run = korvel(home, {"--card", card});
    EXPECT_EQ(run.out,
              "wrote " + std::to_string(QFile(QString::fromStdString(card)).size()) + " bytes to " + card + "\n");
    EXPECT_EQ(QImage(QString::fromStdString(card)).size(), QSize(1200, 630));
}

TEST_F(DebugRenderTest, NotchViewsFollowTheFlarePreference)
{
    const QImage view = render("--notchview", "wrote notch silhouette + 4x corner zoom to ");
    ASSERT_EQ(view.size(), QSize(440, 350));
    EXPECT_EQ(QColor(view.pixel(118, 40)), QColor(200, 129, 74)) << "desktop left of the default 202-wide notch";

    home.write("config/Korvel/Korvel.conf", "[General]\nkorvel.notchFlare=20\n");
    const QImage corner = render("--notchcorner", "wrote notch silhouette + 8x corner zoom to ");
    ASSERT_EQ(corner.size(), QSize(440, 470));
    // Flare 20: a 220-wide notch from x 110; its body begins at 130.
    EXPECT_EQ(QColor(corner.pixel(135, 40)), QColor(Qt::black));
    EXPECT_EQ(QColor(corner.pixel(125, 40)), QColor(200, 129, 74));
    // A flare that is no number draws the default notch.
    home.write("config/Korvel/Korvel.conf", "[General]\nkorvel.notchFlare=nan\n");
    EXPECT_EQ(render("--notchview", "wrote notch silhouette + 4x corner zoom to "), view);
}

TEST_F(DebugRenderTest, APictureThatCannotBeWrittenIsAnError)
{
    const std::string path = home.path() + "/missing/card.png";
    const ProgramResult failed = korvel(home, {"--card", path});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "");
    EXPECT_NE(failed.err.find("korvel: could not write " + path + ": "), std::string::npos) << failed.err;
}
