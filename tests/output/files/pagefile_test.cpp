#include "output/files/pagefile.h"
#include "support/noisepicture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

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

TEST(PageFile, writtenInBackgroundHoldsTheSameBytesAndTellsAFullDisk)
{
    const auto path = std::filesystem::temp_directory_path() / "mosaiq-pagefile-background.html";
    // With its disk writes started as it goes too, as a file that replaces another is, and
    // with the caller a few blocks ahead of the thread, as the PNG is.
    for (const auto& [startWriteback, ahead] :
        { std::pair { false, 1 }, { true, 1 }, { true, 3 } }) {
        PageFile file;
        ASSERT_TRUE(file.open(path.string()));
        EXPECT_TRUE(file.write("head "));
        file.writeInBackground(startWriteback, ahead);
        // Lines of every length, across several blocks of the thread.
        std::string expected = "head ";
        for (int i = 0; i < 3000; ++i) {
            const std::string line(std::size_t(i * 7 % 2900), char('a' + i % 26));
            ASSERT_TRUE(file.writeLine(line));
            expected += line + "\r\n";
        }
        ASSERT_GT(expected.size(), std::size_t(3) << 20);
        // Flushed, the bytes so far are in the file while it stays open.
        ASSERT_TRUE(file.flush());
        EXPECT_EQ(std::filesystem::file_size(path), expected.size());
        EXPECT_TRUE(file.writeLine("tail"));
        EXPECT_TRUE(file.close());
        EXPECT_EQ(readAll(path), expected + "tail\r\n");
        std::filesystem::remove(path);
    }

    // A full disk fails the writes that follow and the close, with the system's reason, as
    // when the page is written on the caller's thread.
    std::string reasons[3];
    for (const int background : { 0, 1, 4 }) {
        PageFile full;
        ASSERT_TRUE(full.open("/dev/full"));
        if (background)
            full.writeInBackground(true, background);
        bool written = true;
        for (int i = 0; i < 100 && written; ++i)
            written = full.writeLine(std::string(100000, 'x'));
        EXPECT_FALSE(written && full.close());
        EXPECT_TRUE(full.failed());
        reasons[std::min(background, 2)] = full.errorText();
    }
    EXPECT_FALSE(reasons[0].empty());
    EXPECT_EQ(reasons[1], reasons[0]);
    EXPECT_EQ(reasons[2], reasons[0]);
}

namespace {

// Keeps every row as the sinks see it.
struct RowCopies : RowSink {
    std::string rows;
    void rowBuilt(const BuiltRow& row) override { rows += row.html; }
};

} // namespace

// Written in the background, the page lends the run its memory for the rows: the page and the
// rows the sinks see are those of a page written on the caller's thread, with rows smaller and
// larger than a block, in both modes and with characters the page holds otherwise.
TEST(PageFile, rowsMadeInTheBackgroundPagesMemoryAreThePagesOfAPlainOne)
{
    const NoisePicture noise(64, 48);
    const PixelBuffer& picture = noise.buffer;
    const auto path = std::filesystem::temp_directory_path() / "mosaiq-pagefile-lent.html";
    for (const CellMode mode : { CellMode::Letter, CellMode::Square }) {
        for (const std::u32string characters : { U"o<\"", U"é" }) {
            for (const double columns : { 700.0, 40000.0 }) {
                // On the caller's thread, then in the background one block or three ahead.
                std::string pages[3], rows[3];
                for (const int background : { 0, 1, 3 }) {
                    PageFile file;
                    ASSERT_TRUE(file.open(path.string()));
                    if (background)
                        file.writeInBackground(false, background);
                    RunStart start;
                    start.rows = columns > 1000 ? 3 : 40;
                    const RowInput input { columns, start.rows, mode, characters, picture };
                    FixedSettings settings(input, {});
                    RandomGlyphs random;
                    RowLoop loop(start, settings, file, random);
                    RowCopies copies;
                    loop.addSink(copies);
                    ASSERT_EQ(loop.runToEnd(), LoopStep::Finished);
                    ASSERT_TRUE(file.close());
                    pages[std::min(background, 2)] = readAll(path);
                    rows[std::min(background, 2)] = std::move(copies.rows);
                }
                for (const int k : { 1, 2 }) {
                    EXPECT_EQ(pages[k], pages[0]);
                    EXPECT_EQ(rows[k], rows[0]);
                }
                EXPECT_GT(rows[0].size(), std::size_t(columns) * 30);
            }
        }
    }
    std::filesystem::remove(path);
}
