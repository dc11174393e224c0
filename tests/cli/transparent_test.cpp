// --transparent background: the cells a picture leaves transparent show the page's background in
// the page and its PNG, and are spaces without colour in the codes, in every mode; a picture
// without transparency comes out the same with the option as without.
#include "support/clirunner.h"
#include "support/pnglines.h"

#include <QImage>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace clitest;

namespace {

const std::string FourColours = (Data / "good" / "four-colours.bmp").string();
const std::string NoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
const std::string NoBreakSpace = "\xC2\xA0";

// The code's rows, "<br>" and line ends left out; the wrapping tags, on the first and last
// rows, too.
std::vector<std::string> rowsOf(const std::string& code, const std::string& end)
{
    std::vector<std::string> rows;
    for (std::size_t at = 0; at < code.size();) {
        const std::size_t next = code.find(end, at);
        if (next == std::string::npos)
            break;
        rows.push_back(code.substr(at, next - at));
        at = next + end.size();
    }
    return rows;
}

// The arguments of a run of picture at four by three cells on a navy page, its transparent
// cells shown, writing the page, both codes and the PNG into folder; then more.
std::vector<std::string> transparentRun(const std::filesystem::path& folder,
    const std::string& picture, const std::vector<std::string>& more)
{
    const auto file = [&](const char* name) { return folder / name; };
    std::vector<std::string> arguments = { picture, "--columns", "4", "--rows", "3", "--no-centre",
        "--background", "#000080", "--transparent", "background", "-o", file("page.html").string(),
        "--html-code", file("code.html").string(), "--blog-code", file("code.blog").string(),
        "--png", file("page.png").string() };
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

} // namespace

TEST_F(CliTest, transparentCellsShowThePageBackgroundAndAreSpacesInTheCodes)
{
    // Eight by six pixels: the top two rows clear (alpha below half), the rest opaque red.
    QImage picture(8, 6, QImage::Format_ARGB32);
    picture.fill(qRgba(255, 0, 0, 255));
    for (int x = 0; x < 8; ++x) {
        picture.setPixel(x, 0, qRgba(0, 0, 0, 0));
        picture.setPixel(x, 1, qRgba(0, 200, 0, 100));
    }
    const std::string logo = file("logo.png").string();
    ASSERT_TRUE(picture.save(QString::fromStdString(logo)));

    const std::vector<std::vector<std::string>> modes
        = { {}, { "--square" }, { "--shapes", "blocks" } };
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.empty() ? "letters" : mode[0]);
        const Outcome o = run(transparentRun(file(""), logo, mode), "", NoDisplay);
        ASSERT_EQ(o.exit, 0) << o.err;

        // The first row of cells covers the clear band: four spaces without a tag.
        const std::vector<std::string> html = rowsOf(readAll(file("code.html")), "<br>");
        ASSERT_EQ(html.size(), 3u);
        EXPECT_EQ(html[0], NoBreakSpace + NoBreakSpace + NoBreakSpace + NoBreakSpace);
        EXPECT_NE(html[2].find("FF0000"), std::string::npos) << html[2];
        const std::vector<std::string> blog = rowsOf(readAll(file("code.blog")), "\r\n");
        ASSERT_GE(blog.size(), 3u);
        EXPECT_EQ(blog[0], NoBreakSpace + NoBreakSpace + NoBreakSpace + NoBreakSpace);
        // The page keeps every cell, those of the band in its background.
        const std::string page = readAll(file("page.html"));
        std::size_t grounds = 0;
        for (std::size_t at = page.find("#000080\">"); at != std::string::npos;
             at = page.find("#000080\">", at + 1))
            ++grounds;
        EXPECT_GE(grounds, 4u) << page;

        // In the picture, the band is the page's background, the rest red.
        const QImage png(QString::fromStdString(file("page.png").string()));
        ASSERT_FALSE(png.isNull());
        const QRgb background = qRgb(0, 0, 128);
        for (int x = 0; x < png.width(); ++x)
            for (int y = 0; y < 19; ++y) // the margin and the first row
                ASSERT_EQ(png.pixel(x, y), background) << x << ", " << y;
        if (mode.empty()) {
            // A forum's code, written from the cells, leaves them without colour too.
            const Outcome forum = run({ logo, "--columns", "4", "--rows", "3", "--no-centre",
                "--transparent", "background", "--dialect", "phpbb", "--blog-code", "-" });
            ASSERT_EQ(forum.exit, 0) << forum.err;
            EXPECT_EQ(rowsOf(forum.out, "\r\n").at(0),
                NoBreakSpace + NoBreakSpace + NoBreakSpace + NoBreakSpace);
            continue; // a letter's ink is thin
        }
        EXPECT_EQ(png.pixel(png.width() / 2, png.height() * 2 / 3), qRgb(255, 0, 0));
    }
}

TEST_F(CliTest, transparentCellsCutMergedRunsInEveryMode)
{
    // Eight by six pixels, four by three cells: on the first row of cells, red, two cells clear,
    // then the page's own navy, which must keep its tag; below, red throughout.
    QImage picture(8, 6, QImage::Format_ARGB32);
    picture.fill(qRgba(255, 0, 0, 255));
    for (int y = 0; y < 2; ++y) {
        for (int x = 2; x < 6; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 0, 0));
        for (int x = 6; x < 8; ++x)
            picture.setPixel(x, y, qRgba(0, 0, 128, 255));
    }
    const std::string band = file("band.png").string();
    ASSERT_TRUE(picture.save(QString::fromStdString(band)));

    const std::vector<std::vector<std::string>> modes = { { "--chars", "o" }, { "--square" },
        { "--shapes", "blocks" }, { "--shapes", "blocks", "--best-runs" } };
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.back());
        for (const char* name : { "page.html", "code.html", "code.blog", "page.png" })
            std::filesystem::remove(file(name));
        std::vector<std::string> more = { "--merge=10" };
        more.insert(more.end(), mode.begin(), mode.end());
        const Outcome o = run(transparentRun(file(""), band, more), "", NoDisplay);
        ASSERT_EQ(o.exit, 0) << o.err;

        const std::vector<std::string> html = rowsOf(readAll(file("code.html")), "<br>");
        const std::vector<std::string> blog = rowsOf(readAll(file("code.blog")), "\r\n");
        ASSERT_EQ(html.size(), 3u);
        ASSERT_GE(blog.size(), 3u);
        // The clear cells: two spaces without tag between two runs, the red one closed before.
        const std::size_t spaces = html[0].find(NoBreakSpace + NoBreakSpace);
        ASSERT_NE(spaces, std::string::npos) << html[0];
        EXPECT_TRUE(html[0].substr(0, spaces).ends_with("</font>")
            || html[0].substr(0, spaces).ends_with("</span>"))
            << html[0];
        EXPECT_EQ(html[0].substr(spaces + 4, 1), "<") << html[0];
        // The opaque rows stay one run each; the blog code says what the HTML code says.
        EXPECT_EQ(html[1], html[2]);
        EXPECT_EQ(html[1].find("<font"), html[1].rfind("<font")) << html[1];
        const std::size_t blogSpaces = blog[0].find(NoBreakSpace + NoBreakSpace);
        ASSERT_NE(blogSpaces, std::string::npos) << blog[0];
        EXPECT_EQ(blog[0].substr(blogSpaces + 4, 1), "[") << blog[0];
        EXPECT_EQ(blog[1], blog[2]);

        // The page keeps the clear cells, in its background: one tag of it more than the code.
        const auto navies = [](const std::string& text) {
            std::size_t count = 0;
            for (std::size_t at = text.find("#000080"); at != std::string::npos;
                 at = text.find("#000080", at + 1))
                ++count;
            return count;
        };
        const std::string page = readAll(file("page.html"));
        const std::size_t pageRow = page.find("<br>");
        const std::string pageFirst = page.substr(0, pageRow).substr(page.rfind('\n', pageRow) + 1);
        EXPECT_GT(navies(pageFirst), navies(html[0])) << pageFirst;
        const QImage png(QString::fromStdString(file("page.png").string()));
        ASSERT_FALSE(png.isNull());
        if (mode.front() != "--chars") // a letter's ink is thin
            EXPECT_EQ(png.pixel(png.width() / 2, 10), qRgb(0, 0, 128));
    }
}

TEST_F(CliTest, transparentChangesNothingInAnOpaquePictureAndRefusesAnUnknownValue)
{
    // The PNG's lines: its compressor may pack the same lines two ways on a busy machine.
    auto outputs = [&](const std::vector<std::string>& more) {
        std::vector<std::string> arguments = { FourColours, "-o", file("page.html").string(),
            "--html-code", file("code.html").string(), "--blog-code", file("code.blog").string(),
            "--png", file("page.png").string() };
        arguments.insert(arguments.end(), more.begin(), more.end());
        const Outcome o = run(arguments, "", NoDisplay);
        EXPECT_EQ(o.exit, 0) << o.err;
        return std::vector<std::string> { readAll(file("page.html")), readAll(file("code.html")),
            readAll(file("code.blog")), testsupport::pngLines(readAll(file("page.png"))) };
    };
    EXPECT_EQ(outputs({ "--square", "--transparent", "background" }), outputs({ "--square" }));
    EXPECT_EQ(
        outputs({ "--transparence=fond", "--shapes", "all" }), outputs({ "--shapes", "all" }));

    const Outcome o = run({ FourColours, "--transparent", "white" });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.err,
        "Valeur inconnue pour --transparent : « white » (background : les cases transparentes "
        "prennent le fond de la page).\n");
}
