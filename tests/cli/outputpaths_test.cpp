// Where the outputs go when their names lead elsewhere: links, devices, pipes, "-", files with
// permissions or other names of their own. Nothing outside the output may change.
#include "support/clirunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include <sys/stat.h>

using namespace clitest;

namespace {

const std::string FourColours = (Data / "good" / "four-colours.bmp").string();
const std::string HtmlCode = readAll(Data / "good" / "four-colours.centred.html-code");
const std::string BlogCode = readAll(Data / "good" / "four-colours.centred.blog-code");

struct stat statusOf(const fs::path& path)
{
    struct stat status { };
    ::lstat(path.c_str(), &status);
    return status;
}

} // namespace

TEST_F(CliTest, writesThroughLinksAndKeepsWhatTheFileWas)
{
    fs::create_directories(file("real"));
    fs::create_directory_symlink("real", file("folder-link"));
    std::ofstream(file("real/code.blog")) << "earlier";
    ::chmod(file("real/code.blog").c_str(), 0600);
    std::ofstream(file("target.html")) << "earlier";
    ::chmod(file("target.html").c_str(), 0640);
    fs::create_symlink("target.html", file("link.html"));
    fs::create_symlink("link.html", file("link-to-link.html"));
    std::ofstream(file("shared.code")) << "earlier";
    fs::create_hard_link(file("shared.code"), file("other-name.code"));

    const Outcome o = run({ FourColours, "--columns", "2", "--rows", "2", "-o",
        file("link-to-link.html").string(), "--blog-code", file("folder-link/code.blog").string(),
        "--html-code", file("shared.code").string() });
    ASSERT_EQ(o.exit, 0) << o.err;

    EXPECT_TRUE(fs::is_symlink(file("link.html")));
    EXPECT_TRUE(fs::is_symlink(file("link-to-link.html")));
    EXPECT_TRUE(fs::is_symlink(file("folder-link")));
    EXPECT_TRUE(readAll(file("target.html")).starts_with("<HTML>"));
    EXPECT_EQ(statusOf(file("target.html")).st_mode & 0777, 0640u);
    EXPECT_EQ(readAll(file("real/code.blog")), BlogCode);
    EXPECT_EQ(statusOf(file("real/code.blog")).st_mode & 0777, 0600u);
    // Both names still lead to the one file, which holds the code.
    EXPECT_EQ(statusOf(file("shared.code")).st_ino, statusOf(file("other-name.code")).st_ino);
    EXPECT_EQ(readAll(file("other-name.code")), HtmlCode);
    EXPECT_EQ(std::distance(fs::directory_iterator(file("real")), fs::directory_iterator()), 1)
        << "no temporary file left beside the code";
    EXPECT_EQ(leftovers().size(), 7u);
}

TEST_F(CliTest, writesDevicesAndPipesInPlace)
{
    // A pipe read by another program, and a descriptor the shell opened on a file: the names
    // stay what they were and the bytes go through them.
    const fs::path pipe = file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string reader
        = "timeout 30 cat " + quoted(pipe.string()) + " >" + quoted(file("read").string()) + " & ";
    const Outcome o = run({ FourColours, "--columns", "2", "--rows", "2", "-o", "/dev/null",
                              "--html-code", pipe.string(), "--blog-code", "/proc/self/fd/3" },
        " 3>" + quoted(file("descriptor").string()) + "; status=$?; wait; exit $status", reader);
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_TRUE(S_ISFIFO(statusOf(pipe).st_mode));
    EXPECT_EQ(readAll(file("read")), HtmlCode);
    EXPECT_EQ(readAll(file("descriptor")), BlogCode);

    // A file of the system that takes no writing is told as such, and left alone.
    const Outcome refused = run({ FourColours, "-o", "/proc/version" });
    EXPECT_EQ(refused.exit, 4);
    EXPECT_EQ(refused.err,
        "Impossible d'écrire le fichier « /proc/version » : ce fichier ne peut pas être écrit.\n");
}

TEST_F(CliTest, dashSendsAnyOutputToTheStandardOutput)
{
    Outcome o = run({ FourColours, "--columns", "2", "--rows", "2", "--html-code", "-" });
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(o.out, HtmlCode) << "the code alone: the page gave the standard output up";

    // Two outputs cannot share it: nothing is written at all.
    o = run({ FourColours, "--blog-code", "-", "-o", file("page.html").string(), "--png", "-" });
    EXPECT_EQ(o.exit, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(leftovers(), std::vector<std::string> {});

    o = run({ FourColours, "-o", file("page.html").string(), "--png", "-" });
    ASSERT_EQ(o.exit, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("\x89PNG\r\n")) << o.out.substr(0, 8);
    EXPECT_FALSE(fs::exists(file("-")));
}

// Qt's GUI, started for the picture, says nothing in English when the system gives it no
// runtime folder, and the folder this run made for it is gone afterwards.
TEST_F(CliTest, pictureRunSaysNothingWithoutARuntimeFolder)
{
    const Outcome o
        = run({ FourColours, "-o", file("page.html").string(), "--png", file("page.png").string() },
            "", "TMPDIR=" + quoted(m_dir.string()) + " env -u XDG_RUNTIME_DIR ");
    EXPECT_EQ(o.exit, 0);
    EXPECT_EQ(o.err, "");
    auto names = leftovers();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string> { "page.html", "page.png" }));
}

TEST_F(CliTest, neverWritesOverItsOwnPicture)
{
    fs::copy_file(FourColours, file("photo.bmp"));
    fs::create_symlink("photo.bmp", file("photo-link.bmp"));
    const std::string before = readAll(file("photo.bmp"));
    for (const std::vector<std::string>& outputs :
        { std::vector<std::string> { "-o", file("photo.bmp").string() },
            { "--png", file("photo-link.bmp").string() },
            { "--html-code", file("other.txt").string(), "--blog-code",
                file("photo.bmp").string() } }) {
        std::vector<std::string> argv { file("photo.bmp").string() };
        argv.insert(argv.end(), outputs.begin(), outputs.end());
        const Outcome o = run(argv);
        EXPECT_EQ(o.exit, 4) << outputs[1];
        EXPECT_NE(o.err.find("c'est l'image à convertir"), std::string::npos) << o.err;
        EXPECT_EQ(readAll(file("photo.bmp")), before);
    }
    EXPECT_FALSE(fs::exists(file("other.txt")));
}

TEST_F(CliTest, neverWritesTwoOutputsToOneFile)
{
    std::ofstream(file("kept.html")) << "earlier";
    fs::create_hard_link(file("kept.html"), file("other-name.html"));
    fs::create_symlink("kept.html", file("link.html"));
    fs::create_directory(file("sub"));
    fs::create_symlink("later.html", file("dangling.html"));
    fs::create_directory_symlink("sub", file("linked"));
    const std::string here = file("").string();
    // Run in the test's folder, so that relative names spell the same new file another way.
    for (const std::vector<std::string>& outputs :
        { std::vector<std::string> { "-o", "same.txt", "--blog-code", "./same.txt" },
            { "-o", "same.txt", "--html-code", here + "same.txt" },
            { "-o", "new.html", "--html-code", "sub/../new.html" },
            { "--png", "sub/new.png", "--html-code", "linked/new.png" },
            { "-o", "linked/../new.html", "--html-code", here + "sub/../new.html" },
            { "-o", "link.html", "--png", "kept.html" },
            { "--html-code", "other-name.html", "--blog-code", here + "kept.html" },
            { "-o", "dangling.html", "--html-code", "./later.html" },
            { "-o", "sub/../code.txt.1", "--blog-code", "code.txt", "--dialect", "phpbb",
                "--split" } }) {
        std::vector<std::string> argv { FourColours };
        argv.insert(argv.end(), outputs.begin(), outputs.end());
        const Outcome o = run(argv, "", "cd " + quoted(here) + " && ");
        EXPECT_EQ(o.exit, 2) << outputs[1] << " " << outputs[3];
        EXPECT_NE(o.err.find("Une seule sortie peut aller dans le fichier"), std::string::npos)
            << o.err;
    }
    for (const char* name : { "same.txt", "new.html", "sub/new.png", "later.html", "code.txt" })
        EXPECT_FALSE(fs::exists(file(name))) << name;
    EXPECT_EQ(readAll(file("kept.html")), "earlier");
    // A device takes as many outputs as are sent to it.
    const Outcome o = run({ FourColours, "-o", "/dev/null", "--html-code", "/dev/null",
        "--blog-code", file("code.blog").string() });
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_EQ(readAll(file("code.blog")), BlogCode);
}
