#include "support/clirunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace clitest;

namespace {

const std::string FourColours = (Data / "good" / "four-colours.bmp").string();

} // namespace

TEST_F(CliTest, writesThePageByteForByte)
{
    Outcome o = run({ FourColours, "--no-centre" });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(o.out, readAll(Data / "good" / "four-colours.letter.html"));

    o = run({ FourColours, "--square", "--bold", "--no-centre", "-o", file("page.html").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(readAll(file("page.html")), readAll(Data / "good" / "four-colours.square-bold.html"));
}

TEST_F(CliTest, writesBothCodesAsThePanesHoldThem)
{
    const Outcome o = run(
        { FourColours, "--columns", "2", "--rows", "2", "--html-code", file("code.html").string(),
            "--blog-code", file("code.blog").string(), "-o", file("p.html").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(
        readAll(file("code.html")), readAll(Data / "good" / "four-colours.centred.html-code"));
    EXPECT_EQ(
        readAll(file("code.blog")), readAll(Data / "good" / "four-colours.centred.blog-code"));
}

TEST_F(CliTest, readsSizesWithEitherSeparatorAndRefusesThoseThatMakeNoCell)
{
    // "1,5" is one column and a half, as "1.5": one cell sampled with a step of 1.5.
    Outcome o = run({ FourColours, "--columns", "1,5", "--rows", " 2 ", "--no-centre" });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_NE(
        o.out.find(
            "\r\n<font color=\"#00FF00\">o</font><br>\r\n<font color=\"#FFFFFF\">o</font><br>\r\n"),
        std::string::npos)
        << o.out;
    for (const char* size : { "-5", "0.25", "12abc", "3,5,1" }) {
        o = run({ FourColours, "--rows", size, "-o", file("page.html").string() });
        EXPECT_EQ(o.exit, 2) << size;
        EXPECT_EQ(o.err.rfind("Dimensions invalides : --rows « ", 0), 0u) << o.err;
        EXPECT_TRUE(leftovers().empty()) << size;
    }
}

TEST_F(CliTest, pageGoesToATerminalOnlyWhenNothingElseIsAskedOrItIsNamed)
{
    // script gives the program a terminal for its standard output and copies what shows there.
    auto onTerminal = [&](const std::string& options) {
        const std::string command = std::string(MOSAIQ_CLI) + " " + quoted(FourColours) + " "
            + options + " --html-code " + quoted(file("code.html").string());
        const std::string line = "script -qec " + quoted(command) + " /dev/null >"
            + quoted(file("shown").string()) + " 2>&1";
        EXPECT_EQ(std::system(line.c_str()), 0) << line;
        return readAll(file("shown"));
    };
    EXPECT_EQ(onTerminal(""), "");
    EXPECT_NE(onTerminal("-o -").find("<HTML>"), std::string::npos);
    EXPECT_TRUE(fs::exists(file("code.html")));
    // Not a terminal: scripts keep the page they always had.
    const Outcome o = run({ FourColours, "--html-code", file("code.html").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("<HTML>"));
}

TEST_F(CliTest, writesThePageInWindows1252AndTheCodesInUtf8)
{
    const Outcome o = run({ FourColours, "--chars", "😀é", "--columns", "2", "--rows", "1",
        "--no-centre", "--html-code", file("code.html").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    // One row of two cells: the second character first (é), then the emoji.
    EXPECT_NE(
        o.out.find(">\xE9</font><font color=\"#FFFFFF\">&#128512;</font><br>"), std::string::npos)
        << o.out;
    EXPECT_EQ(readAll(file("code.html")),
        "<font color=\"#0000FF\">é</font><font color=\"#FFFFFF\">😀</font><br>");
}

TEST_F(CliTest, refusesARunWithTheWindowsMessages)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const Case cases[] = {
        { { "" }, "Veuillez charger une image...\n" },
        { { "", "--columns", "1" }, "Veuillez charger une image...\n" },
        { { FourColours, "--colonnes", "0" },
            "Dimensions invalides : --colonnes « 0 » ne donne aucune colonne ; il en faut au "
            "moins une.\n" },
        { { FourColours, "--rows", "" },
            "Dimensions invalides : --rows «  » n'est pas un nombre (par exemple 120, 37,5 ou "
            "37.5).\n" },
        { { FourColours, "--chars", "" }, "Définissez un caractères pour l'ASCII...\n" },
        { { FourColours, "--columns", "1E999" }, "Dimensions trop grandes\n" },
        { { FourColours, "--columns", "10001", "--rows", "10000" }, "Dimensions trop grandes\n" },
        { { FourColours, "--columns", "99999999999" }, "Dimensions trop grandes\n" },
        { { FourColours, "--rows", "1e308" }, "Dimensions trop grandes\n" },
        { { FourColours, "--columns", std::string(5000, '7') }, "Dimensions trop grandes\n" },
    };
    for (const auto& c : cases) {
        auto arguments = c.arguments;
        arguments.push_back("-o");
        arguments.push_back(file("page.html").string());
        const Outcome o = run(arguments);
        EXPECT_EQ(o.exit, 2);
        EXPECT_EQ(o.err, c.message);
        EXPECT_TRUE(leftovers().empty()) << "nothing may be written for a refused run";
    }
}

TEST_F(CliTest, reportsUnreadablePicturesAndLeavesNoFile)
{
    std::ofstream(file("empty.jpg"));
    std::ofstream(file("text.jpg")) << "ceci n'est pas une image";
    for (const std::string& picture : { file("empty.jpg").string(), file("text.jpg").string(),
             file("missing.gif").string(), m_dir.string() }) {
        const Outcome o = run({ picture, "-o", file("page.html").string() });
        EXPECT_EQ(o.exit, 3) << picture;
        EXPECT_EQ(o.err.rfind("Impossible de lire l'image « " + picture + " » : ", 0), 0u) << o.err;
        EXPECT_FALSE(fs::exists(file("page.html")));
    }
}

TEST_F(CliTest, reportsOutputThatCannotBeWritten)
{
    Outcome o = run({ FourColours, "-o", "/dev/full" });
    EXPECT_EQ(o.exit, 4);
    EXPECT_EQ(o.err, "Impossible d'écrire le fichier « /dev/full » : le disque est plein.\n");

    o = run({ FourColours }, " >/dev/full");
    EXPECT_EQ(o.exit, 4);

    o = run({ FourColours, "-o", m_dir.string() });
    EXPECT_EQ(o.exit, 4);
    EXPECT_EQ(
        o.err, "Impossible d'écrire le fichier « " + m_dir.string() + " » : c'est un dossier.\n");

    o = run({ FourColours, "-o", file("no-such-folder/page.html").string() });
    EXPECT_EQ(o.exit, 4);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(CliTest, replacesAnExistingPageOnlyWhenTheNewOneIsComplete)
{
    std::ofstream(file("page.html")) << "previous page";
    Outcome o = run({ file("missing.bmp").string(), "-o", file("page.html").string() });
    EXPECT_EQ(o.exit, 3);
    EXPECT_EQ(readAll(file("page.html")), "previous page");
    o = run({ FourColours, "--no-centre", "-o", file("page.html").string() });
    EXPECT_EQ(o.exit, 0);
    EXPECT_EQ(readAll(file("page.html")), readAll(Data / "good" / "four-colours.letter.html"));
    EXPECT_EQ(leftovers(), std::vector<std::string> { "page.html" });
}

TEST_F(CliTest, explainsItselfInFrench)
{
    Outcome o = run({ "--help" });
    EXPECT_EQ(o.exit, 0);
    EXPECT_NE(o.out.find("Utilisation : mosaiq-cli IMAGE [options]"), std::string::npos);
    o = run({ "--version" });
    EXPECT_EQ(o.out, "mosaiq-cli " MOSAIQ_VERSION "\n");
    o = run({ FourColours, "--nope" });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.err, "Option inconnue : --nope (voir --help).\n");
}

TEST_F(CliTest, reportsEveryBadPictureOfTheCorpusAndWritesNothing)
{
    // The fuzz targets' findings are inputs of those targets, not pictures: their replay tests
    // run them.
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(Data / "bad")) {
        if (entry.path().filename() == "fuzz")
            continue;
        // A folder is refused as a bad picture is, and would check nothing.
        ASSERT_TRUE(entry.is_regular_file()) << entry.path();
        ++pictures;
        const std::string picture = entry.path().string();
        const Outcome o = run(
            { picture, "-o", file("page.html").string(), "--html-code", file("code").string() });
        // One reason, one code: a picture over the pixel limit is refused as memory is.
        EXPECT_EQ(o.exit, entry.path().filename() == "huge-header.png" ? 5 : 3) << picture;
        EXPECT_EQ(o.err.rfind("Impossible de lire l'image « " + picture + " » : ", 0), 0u) << o.err;
        EXPECT_TRUE(leftovers().empty()) << picture;
    }
    EXPECT_GE(pictures, 9);
}

TEST_F(CliTest, readsAndWritesFilesWhateverTheirNames)
{
    for (const std::string name : { "avec des espaces", "éléphant à l'été", "latin1-\xE9t\xE9" }) {
        fs::copy_file(FourColours, file(name + ".bmp"));
        const Outcome o = run(
            { file(name + ".bmp").string(), "--no-centre", "-o", file(name + ".html").string() });
        EXPECT_EQ(o.exit, 0) << name << o.err;
        EXPECT_EQ(
            readAll(file(name + ".html")), readAll(Data / "good" / "four-colours.letter.html"))
            << name;
    }
}

TEST_F(CliTest, runsOutOfMemoryWithAMessageAndNoFileLeft)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer needs more address space than the limit leaves";
#else
    // A hundred million cells fit the limits but their HTML code, 3 GB, not in 400 MB.
    const Outcome o = run({ FourColours, "--columns", "10000000", "--rows", "10", "-o", "/dev/null",
                              "--html-code", file("code.html").string() },
        "", "ulimit -v 400000; ");
    EXPECT_EQ(o.exit, 5);
    EXPECT_EQ(o.err, "Mémoire insuffisante : réduisez les dimensions.\n");
    EXPECT_TRUE(leftovers().empty());
#endif
}
