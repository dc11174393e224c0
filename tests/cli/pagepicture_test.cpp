// The picture of the page (--png): the cells in their colours where the preview puts them, at
// both scales, the same from a batch's threads as from a single call, refused whole when it
// cannot be written, and the files it replaces left whole until it is.
#include "support/clirunner.h"
#include "support/pnglines.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

using namespace clitest;

namespace {

const std::string FourColours = (Data / "good" / "four-colours.bmp").string();
const std::string Gradient = (Data / "good" / "gradient.gif").string();
// Qt's GUI must start offscreen by itself, on a machine without a display.
const std::string NoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";

// The smallest rectangle holding every pixel not of colour background.
QRect inkOf(const QImage& image, QRgb background)
{
    QRect ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

} // namespace

TEST_F(CliTest, pngShowsEachSquareCellInItsColourAtBothScales)
{
    const QImage source(QString::fromStdString(FourColours));
    ASSERT_EQ(source.size(), QSize(2, 2));
    QSize single;
    for (const int scale : { 1, 2 }) {
        SCOPED_TRACE(scale);
        const std::string png = file("page.png").string();
        const Outcome o
            = run({ FourColours, "--square", "--no-centre", "--background", "#000080", "--png", png,
                      "--scale", std::to_string(scale), "-o", file("page.html").string() },
                "", NoDisplay);
        ASSERT_EQ(o.exit, 0) << o.err;
        const QImage image(QString::fromStdString(png));
        ASSERT_FALSE(image.isNull());
        if (scale == 1)
            single = image.size();
        // Twice the size; the half pixels of scale 1 are rounded up.
        EXPECT_TRUE(
            image.width() >= scale * single.width() - 1 && image.width() <= scale * single.width())
            << image.width();
        EXPECT_TRUE(image.height() >= scale * single.height() - 1
            && image.height() <= scale * single.height())
            << image.height();
        // The squares sit side by side in the page's top left, on its background.
        const QRgb background = qRgb(0, 0, 128);
        EXPECT_EQ(image.pixel(0, 0), background);
        const QRect ink = inkOf(image, background);
        ASSERT_FALSE(ink.isEmpty());
        EXPECT_LT(ink.left(), 10 * scale) << "8 pixels of margin at 100 %";
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 2; ++column)
                EXPECT_EQ(image.pixel(ink.left() + (2 * column + 1) * ink.width() / 4,
                              ink.top() + (2 * row + 1) * ink.height() / 4),
                    source.pixel(column, row) | 0xFF000000u)
                    << "cell " << column << ", " << row;
    }
}

TEST_F(CliTest, batchPaintsEachPictureAsASingleCallDoes)
{
    fs::create_directory(file("outputs"));
    const std::vector<std::string> options { "--columns", "40", "--rows", "30", "--random",
        "--bold", "--scale", "2" };
    std::vector<std::string> batch { Gradient, FourColours, "--output-dir",
        file("outputs").string(), "--jobs", "2", "--png" };
    batch.insert(batch.end(), options.begin(), options.end());
    Outcome o = run(batch, "", NoDisplay);
    ASSERT_EQ(o.exit, 0) << o.err;
    for (const std::string& picture : { Gradient, FourColours }) {
        std::vector<std::string> single { picture, "-o", file("single.html").string(), "--png",
            file("single.png").string() };
        single.insert(single.end(), options.begin(), options.end());
        o = run(single, "", NoDisplay);
        ASSERT_EQ(o.exit, 0) << o.err;
        const fs::path base = file("outputs") / fs::path(picture).filename();
        const std::string lines = testsupport::pngLines(readAll(base.string() + ".png"));
        EXPECT_FALSE(lines.empty()) << picture;
        EXPECT_EQ(lines, testsupport::pngLines(readAll(file("single.png")))) << picture;
    }
    // Without --png, no GUI starts: a platform that needs a display is no obstacle.
    o = run({ FourColours, "-o", file("page.html").string() }, "",
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb ");
    EXPECT_EQ(o.exit, 0) << o.err;
}

TEST_F(CliTest, pngThatCannotBeWrittenLeavesNothingBehind)
{
    struct Case {
        std::vector<std::string> arguments;
        int exit;
        std::string message;
    };
    const std::string missing = file("missing/page.png").string();
    const std::vector<Case> cases {
        { { FourColours, "--png", missing }, 4,
            "Impossible d'écrire le fichier « " + missing + " » :" },
        // A row of 200000 letters is more than a million pixels wide.
        { { FourColours, "--png", file("wide.png").string(), "--columns", "200000", "--rows", "1" },
            2, "un fichier PNG lisible a au plus 1000000 pixels de côté" },
        { { FourColours, "--png", file("p.png").string(), "--scale", "3" }, 2,
            "Échelle invalide : « 3 » (1 ou 2)." },
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), { "-o", file("page.html").string() });
        const Outcome o = run(arguments, "", NoDisplay);
        EXPECT_EQ(o.exit, c.exit) << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        // Every output is complete before any takes its name: the page waits for the picture.
        EXPECT_TRUE(leftovers().empty()) << c.message;
    }
}

TEST_F(CliTest, pngRunLeavesTheFilesItReplacesWholeUntilItsEnd)
{
    std::ofstream(file("page.html")) << "ancienne page";
    std::ofstream(file("real.png")) << "ancienne image";
    fs::create_symlink("real.png", file("link.png"));
    const std::vector<std::string> outputs { "-o", file("page.html").string(), "--png",
        file("link.png").string() };
    // Refused once the page is made: what it would replace was only read.
    std::vector<std::string> wide { FourColours, "--columns", "200000", "--rows", "1" };
    wide.insert(wide.end(), outputs.begin(), outputs.end());
    EXPECT_EQ(run(wide, "", NoDisplay).exit, 2);
    EXPECT_EQ(readAll(file("page.html")), "ancienne page");
    EXPECT_EQ(readAll(file("real.png")), "ancienne image");
    std::vector<std::string> plain { FourColours };
    plain.insert(plain.end(), outputs.begin(), outputs.end());
    const Outcome o = run(plain, "", NoDisplay);
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_TRUE(readAll(file("page.html")).starts_with("<HTML>"));
    EXPECT_TRUE(fs::is_symlink(file("link.png")));
    EXPECT_TRUE(readAll(file("real.png")).starts_with("\x89PNG"));
    EXPECT_EQ(leftovers().size(), 3u);
}
