// mosaiq-cli loads Qt and the libraries of the rarer pictures only for the jobs that need them,
// and a missing module or library gives a message naming the Debian package to install.
#include "cli/clipictures.h"
#include "cli/moduleloader.h"
#include "support/clirunner.h"

using namespace clitest;

namespace {

const std::string Plain = (Data / "good" / "orientation-6.jpg").string();
const std::string Profiled = (Data / "good" / "p3.jpg").string();
const std::string Bitmap = (Data / "good" / "four-colours.bmp").string();
const std::string NoModule = "/nonexistent/mosaiq-cli-pictures.so";

} // namespace

TEST_F(CliTest, loadsQtOnlyForTheJobsThatNeedIt)
{
    const std::string page = file("page.html").string();
    const struct {
        std::vector<std::string> arguments;
        bool qt;
    } cases[] = {
        { { "--version" }, false },
        { { "--help" }, false },
        { { Plain, "-o", page, "--html-code", file("code.txt").string() }, false },
        { { Profiled, "-o", page }, true },
        { { Bitmap, "-o", page }, true },
        { { Plain, "-o", page, "--png", file("page.png").string() }, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments.back());
        // glibc's loader says what it loads: the program has no switch of its own for it.
        const Outcome o = run(c.arguments, "", "LD_DEBUG=libs ");
        EXPECT_EQ(o.exit, 0) << o.err;
        EXPECT_EQ(o.err.find("libQt6Core.so.6") != std::string::npos, c.qt);
        EXPECT_EQ(o.err.find("libheif.so") != std::string::npos, c.qt);
    }
}

TEST_F(CliTest, withoutItsModuleConvertsPlainPhotosAndNamesThePackageForTheRest)
{
    // The program alone in a folder, as if its module had been removed.
    const fs::path alone = file("mosaiq-cli");
    fs::copy_file(MOSAIQ_CLI, alone);
    auto runAlone = [&](const std::string& picture, const std::string& page,
                        const std::string& more = {}) {
        const std::string command = quoted(alone.string()) + " " + quoted(picture) + " -o "
            + quoted(page) + more + " 2>" + quoted(file("err").string());
        const int status = std::system(command.c_str());
        return Outcome { WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", readAll(file("err")) };
    };
    Outcome o = runAlone(Plain, file("page.html").string());
    EXPECT_EQ(o.exit, 0) << o.err;
    EXPECT_TRUE(fs::exists(file("page.html")));
    o = runAlone(Bitmap, file("other.html").string());
    EXPECT_EQ(o.exit, 3);
    EXPECT_NE(o.err.find("apt install --reinstall mosaiq"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(file("other.html")));
    // The module for --png loads while the photo is converted: missing, it fails the run as
    // it did before any conversion, with the page it would have replaced left as it was.
    const std::string page = readAll(file("page.html"));
    fs::remove(file("err"));
    o = runAlone(Plain, file("page.html").string(),
        " --png " + quoted(file("page.png").string()) + " --columns 7");
    EXPECT_EQ(o.exit, 4);
    EXPECT_NE(o.err.find("apt install --reinstall mosaiq"), std::string::npos) << o.err;
    EXPECT_FALSE(fs::exists(file("page.png")));
    EXPECT_EQ(readAll(file("page.html")), page);
}

TEST(PictureLoading, aMissingLibraryOrModuleIsNamedWithItsPackage)
{
    const mosaiq::ModuleLoad load = mosaiq::loadPictureModule(NoModule);
    EXPECT_EQ(load.module, nullptr);
    EXPECT_NE(load.failure.find(NoModule), std::string::npos) << load.failure;
    EXPECT_NE(load.failure.find("« mosaiq »"), std::string::npos) << load.failure;
    EXPECT_NE(load.failure.find("ce fichier n'existe pas"), std::string::npos) << load.failure;
    const std::string heif = mosaiq::moduleFailureText(
        "libheif.so.1: cannot open shared object file: No such file or directory", NoModule);
    EXPECT_NE(heif.find("apt install libheif1"), std::string::npos) << heif;
    const std::string gui = mosaiq::moduleFailureText(
        "libQt6Gui.so.6: cannot open shared object file: No such file or directory", NoModule);
    EXPECT_NE(gui.find("« libqt6gui6 »"), std::string::npos) << gui;

    mosaiq::CliPictures pictures(NoModule);
    int argc = 1;
    char name[] = "mosaiq-cli";
    char* argv[] = { name, nullptr };
    EXPECT_FALSE(pictures.loadModule(argc, argv, true));
    EXPECT_EQ(pictures.failure(), load.failure);
    const mosaiq::LoadedPicture photo = pictures.read(Plain, mosaiq::ReadingThreads::WithHelper);
    EXPECT_FALSE(photo.isNull()) << photo.failure;
    const mosaiq::LoadedPicture other = pictures.read(Bitmap, mosaiq::ReadingThreads::WithHelper);
    EXPECT_TRUE(other.isNull());
    EXPECT_EQ(other.failure, load.failure);
    EXPECT_EQ(pictures.paintPage(nullptr, 1), nullptr);
}

// Where /proc/self/exe cannot be read (some containers), the module is sought where the install
// rules put it, never in the folder the user happens to stand in.
TEST(PictureLoading, aProgramThatCannotFindItselfSeeksTheModuleWhereItIsInstalled)
{
    const std::string installed = mosaiq::pictureModulePathOf("");
    EXPECT_TRUE(installed.starts_with('/')) << installed;
    EXPECT_TRUE(installed.ends_with("/mosaiq/mosaiq-cli-pictures.so")) << installed;
    EXPECT_EQ(mosaiq::pictureModulePathOf("mosaiq-cli"), installed);
    const fs::path program = MOSAIQ_CLI;
    EXPECT_EQ(mosaiq::pictureModulePathOf(program.string()),
        (program.parent_path() / "mosaiq-cli-pictures.so").string());
    if (!fs::exists(installed)) {
        const mosaiq::ModuleLoad load = mosaiq::loadPictureModule(installed);
        EXPECT_NE(load.failure.find("« " + installed + " »"), std::string::npos) << load.failure;
    }
}
