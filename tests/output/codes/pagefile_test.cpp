#include "output/codes/pagefile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace mosaiq;

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

TEST(PageFile, endsEveryLineWithCarriageReturnAndLineFeed)
{
    const auto path = std::filesystem::temp_directory_path() / "mosaiq-pagefile-test.html";
    PageFile file;
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_TRUE(file.writeLine("a"));
    EXPECT_TRUE(file.writeLine(""));
    EXPECT_TRUE(file.write("b"));
    EXPECT_TRUE(file.close());
    EXPECT_EQ(readAll(path), "a\r\n\r\nb");
    // Opening again empties the file.
    ASSERT_TRUE(file.open(path.string()));
    EXPECT_TRUE(file.close());
    EXPECT_EQ(readAll(path), "");
    std::filesystem::remove(path);
}

TEST(PageFile, reportsWhyItCouldNotWrite)
{
    PageFile folder;
    EXPECT_FALSE(folder.open(std::filesystem::temp_directory_path().string()));
    EXPECT_EQ(folder.errorText(), "c'est un dossier");
    EXPECT_FALSE(folder.writeLine("x"));

    PageFile missing;
    EXPECT_FALSE(missing.open("/nonexistent-folder-of-mosaiq/temp.html"));
    EXPECT_EQ(missing.errorText(), "le dossier n'existe pas");

    // A full disk shows at the latest when the buffered rows are flushed.
    PageFile full;
    ASSERT_TRUE(full.open("/dev/full"));
    full.writeLine("row");
    EXPECT_FALSE(full.close());
    EXPECT_EQ(full.errorText(), "le disque est plein");
}
