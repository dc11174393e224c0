#include "output/files/outputtarget.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

using namespace mosaiq;
namespace fs = std::filesystem;

// The way each kind of name is written, from the names alone: nothing is changed by looking.
TEST(OutputTarget, choosesAWayThatHarmsNothingTheNameLeadsTo)
{
    const fs::path dir
        = fs::temp_directory_path() / ("mosaiq-target-" + std::to_string(::getpid()));
    fs::create_directories(dir / "deep" / "real");
    fs::create_directory_symlink("deep/real", dir / "folder");
    std::ofstream(dir / "deep" / "real" / "page.html") << "x";
    fs::create_symlink("../missing/new.html", dir / "deep" / "real" / "dangling");
    fs::create_symlink("loop-b", dir / "loop-a");
    fs::create_symlink("loop-a", dir / "loop-b");
    std::ofstream(dir / "shared") << "x";
    fs::create_hard_link(dir / "shared", dir / "other-name");

    using Way = OutputTarget::Way;
    // A relative link in a linked folder leads from where the folder leads: "folder/.." is
    // "deep", not the folder above the link.
    const OutputTarget dangling = resolveOutputTarget((dir / "folder" / "dangling").string());
    EXPECT_EQ(dangling.way, Way::Replace);
    EXPECT_FALSE(dangling.exists);
    EXPECT_EQ(fs::weakly_canonical(dangling.path),
        fs::weakly_canonical(dir / "deep" / "missing" / "new.html"));

    const OutputTarget page = resolveOutputTarget((dir / "folder" / "page.html").string());
    EXPECT_EQ(page.way, Way::Replace);
    EXPECT_TRUE(page.exists);
    EXPECT_EQ(resolveOutputTarget((dir / "shared").string()).way, Way::Refill);
    EXPECT_EQ(resolveOutputTarget("-").way, Way::StandardOutput);
    EXPECT_EQ(resolveOutputTarget("/dev/null").way, Way::InPlace);

    EXPECT_EQ(resolveOutputTarget((dir / "loop-a").string()).reasonText(),
        "trop de liens symboliques à suivre");
    EXPECT_EQ(resolveOutputTarget(dir.string()).reasonText(), "c'est un dossier");
    EXPECT_EQ(resolveOutputTarget("/proc/new.html").reasonText(),
        "aucun fichier n'est créé dans un dossier du système");
    EXPECT_EQ(resolveOutputTarget("/dev/new.html").reasonText(),
        "aucun fichier n'est créé dans un dossier du système");
    fs::remove_all(dir);
}

// A folder whose file system ignores case takes "PAGE.html" and "page.html" for one new file, and
// "CODE.TXT.2" for a post of "code.txt"; elsewhere they are three files.
TEST(OutputTarget, namesDifferingInCaseAreOneFileWhereTheFolderIgnoresCase)
{
    OutputPlace upper, lower, post;
    for (OutputPlace* place : { &upper, &lower, &post }) {
        place->file = true;
        place->folder = "/media/stick";
    }
    upper.name = "PAGE.html";
    lower.name = "page.html";
    post.name = "PAGE.HTML.2";
    EXPECT_FALSE(upper.sameFileAs(lower));
    EXPECT_FALSE(post.isNumberedAfter(lower));
    upper.foldsCase = lower.foldsCase = post.foldsCase = true;
    EXPECT_TRUE(upper.sameFileAs(lower));
    EXPECT_TRUE(post.isNumberedAfter(lower));
    lower.folder = "/media/other";
    EXPECT_FALSE(upper.sameFileAs(lower));
}
