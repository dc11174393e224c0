// How much of a picture each character carries: mosaiq-cli's shape sets, square and letter mode
// beside chafa (Debian's, installed by hand), on five photos of Debian's mate-backgrounds at
// 100 x 50 and 200 x 100 cells. Each program runs as users run it, in its own process; its text
// is read back into cells, which one renderer draws in DejaVu Sans Mono for both programs; the
// drawing and the picture, both averaged onto 2 x 4 blocks a cell (the detail a cell could
// carry), are compared by the SSIM of their luma and the mean CIEDE2000 of their colours.
//
// figures_bench [--srgb] [--pictures DIR] [PHOTO...]
//   --srgb           blend the glyphs and average the blocks in sRGB-encoded values, as most
//                    browsers blend text, rather than in linear light
//   --chafa-option OPTION
//                    give chafa OPTION too (once for each), as "--work=9" or
//                    "--glyph-file=/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"
//   --pictures DIR   also write each drawing at 100 x 50 cells as DIR/PHOTO-NAME.png, and the
//                    picture stretched to the same size as DIR/PHOTO-picture.png
//   PHOTO            a file of /usr/share/backgrounds/mate/nature/, or any picture by its
//                    absolute path (default: the five of frontier_bench)
#include "convert/figures/blockimage.h"
#include "convert/figures/cellrenderer.h"
#include "convert/figures/textgrid.h"
#include "support/childrun.h"

#include "convert/glyphshapes.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string Photos = "/usr/share/backgrounds/mate/nature/";
const std::vector<std::string> DefaultPhotos { "LadyBird.jpg", "Storm.jpg", "Garden.jpg",
    "Aqua.jpg", "Dune.jpg" };

// The page's background of mosaiq-cli (--background), behind letter mode's cells.
constexpr std::uint32_t PageGround = 0x000000;
// The background of a reader's page (--reader-background by default), behind every text that
// colours only its characters: mosaiq-cli's --foreground-only and chafa's --fg-only (told it
// with --bg), so that both fit their ink over the background they are drawn on.
constexpr std::uint32_t ReaderGround = 0xFFFFFF;
const std::string ReaderGroundText = "ffffff";
constexpr std::uint32_t TerminalInk = 0x000000; // chafa's ink before its first colour

// The cell of the PNG drawings: 12 x 23 pixels is within 1 % of the font's 0.517.
constexpr int PictureCellWidth = 12, PictureCellHeight = 23;

struct GridSize {
    int columns, rows;
};
const std::vector<GridSize> Grids { { 100, 50 }, { 200, 100 } };
const GridSize PictureGrid { 100, 50 };

enum class Maker { Mosaiq, Chafa };

// One way of making the text: who makes it, with which options.
struct Contender {
    Maker maker;
    std::string name; // in the table and the PNG's file name
    std::vector<std::string> options;
    bool shapes; // counted for the program's best (square and letter mode are references)
    bool foregroundOnly;
};

std::vector<Contender> contenders()
{
    std::vector<Contender> all { { Maker::Mosaiq, "mosaiq-letter", {}, false, false },
        { Maker::Mosaiq, "mosaiq-square", { "--square" }, false, false } };
    for (const bool foregroundOnly : { false, true }) {
        for (const char* set : { "ascii", "blocks", "braille", "all" }) {
            Contender c { Maker::Mosaiq, std::string("mosaiq-") + set, { "--shapes", set }, true,
                foregroundOnly };
            if (foregroundOnly) {
                c.name += "-fg-only";
                c.options.push_back("--foreground-only");
            }
            all.push_back(c);
        }
        // chafa's "all" less what no DejaVu font draws (the Symbols for Legacy Computing, the
        // scan lines U+23BA-U+23BD), which the renderer would leave bare, and less the wide
        // characters that its default leaves out too, each two cells of a terminal.
        for (const char* set : { "block", "ascii", "all-legacy-wide-23ba..23bd" }) {
            const std::string shortName = std::string(set).substr(0, std::string(set).find('-'));
            Contender c { Maker::Chafa, "chafa-" + shortName, { "--symbols", set }, true,
                foregroundOnly };
            if (foregroundOnly) {
                c.name += "-fg-only";
                c.options.push_back("--fg-only");
            }
            all.push_back(c);
        }
    }
    return all;
}

struct Figures {
    double ssim = 0;
    double difference = 0; // mean CIEDE2000
    double pageBytes = 0; // per cell, mosaiq-cli's only
    double codeBytes = 0; // per cell, its phpBB code
    int missingCells = 0; // with a glyph neither font has
    std::string error;
};

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

double bytesPerCell(const std::string& path, const GridSize& grid)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 ? double(info.st_size) / (grid.columns * grid.rows)
                                            : 0.0;
}

std::string chafaFontRatio()
{
    return std::to_string(mosaiq::ShapeFontAdvance) + "/"
        + std::to_string(mosaiq::ShapeFontAscender + mosaiq::ShapeFontDescender);
}

// The text of a run, read into cells; its bytes into figures.
TextReading runMosaiq(const std::string& workDir, const std::string& photo, const GridSize& grid,
    const Contender& c, Figures& figures)
{
    const std::string page = workDir + "/page.html", html = workDir + "/html-code.txt",
                      code = workDir + "/phpbb-code.txt";
    std::vector<std::string> argv { MOSAIQ_CLI, photo, "--columns", std::to_string(grid.columns),
        "--rows", std::to_string(grid.rows), "-o", page, "--html-code", html, "--blog-code", code,
        "--dialect", "phpbb" };
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    if (!childrun::run(argv, "/dev/null", false).succeeded())
        return { {}, "mosaiq-cli failed" };
    figures.pageBytes = bytesPerCell(page, grid);
    figures.codeBytes = bytesPerCell(code, grid);
    return readHtmlCode(fileText(html), PageGround);
}

TextReading runChafa(const std::string& workDir, const std::string& photo, const GridSize& grid,
    const Contender& c, const std::vector<std::string>& extra)
{
    const std::string out = workDir + "/chafa.txt";
    // --stretch: the picture fills the whole grid, as mosaiq-cli's does with both sides given.
    std::vector<std::string> argv { "chafa", "--format", "symbols", "--size",
        std::to_string(grid.columns) + "x" + std::to_string(grid.rows), "--stretch", "--font-ratio",
        chafaFontRatio(), "--colors", "full", "--bg", ReaderGroundText };
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back(photo);
    if (!childrun::run(argv, out, true).succeeded())
        return { {}, "chafa failed (apt-get install chafa)" };
    return readAnsiText(fileText(out), TerminalInk, ReaderGround);
}

struct Options {
    Light light = Light::Linear;
    std::string picturesDir; // empty: no PNG
    std::vector<std::string> chafaOptions;
    std::vector<std::string> photos;
    std::string workDir; // the runs' files, this process's own
};

// What every contender's measure on one photo at one grid shares.
struct Measuring {
    const Options& options;
    CellRenderer& renderer;
    std::string photo; // its path
    GridSize grid;
    BlockImage picture; // averaged onto the grid's blocks
};

std::string stemOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/') + 1;
    return path.substr(slash, path.rfind('.') - slash);
}

Figures measure(const Contender& c, Measuring& m)
{
    Figures figures;
    const GridSize& grid = m.grid;
    const TextReading reading = c.maker == Maker::Mosaiq
        ? runMosaiq(m.options.workDir, m.photo, grid, c, figures)
        : runChafa(m.options.workDir, m.photo, grid, c, m.options.chafaOptions);
    if (!reading.grid) {
        figures.error = reading.error;
        return figures;
    }
    const TextGrid& cells = *reading.grid;
    if (cells.columns != grid.columns || cells.rows != grid.rows) {
        figures.error
            = "a grid of " + std::to_string(cells.columns) + " x " + std::to_string(cells.rows);
        return figures;
    }
    const BlockImage drawn = m.renderer.renderBlocks(cells, m.options.light);
    figures.ssim = lumaSsim(m.picture, drawn);
    figures.difference = meanCiede2000(m.picture, drawn);
    figures.missingCells = m.renderer.lastMissingCells();
    if (!m.options.picturesDir.empty() && grid.columns == PictureGrid.columns
        && grid.rows == PictureGrid.rows)
        m.renderer.renderImage(cells, PictureCellWidth, PictureCellHeight, m.options.light)
            .save(QString::fromStdString(
                m.options.picturesDir + "/" + stemOf(m.photo) + "-" + c.name + ".png"));
    return figures;
}

// A program's best of its shape sets, by each measure on its own.
struct Best {
    double ssim = -1;
    std::string ssimName;
    double difference = std::numeric_limits<double>::infinity();
    std::string differenceName;

    void add(const Contender& c, const Figures& f)
    {
        if (!f.error.empty())
            return;
        if (f.ssim > ssim) {
            ssim = f.ssim;
            ssimName = c.name;
        }
        if (f.difference < difference) {
            difference = f.difference;
            differenceName = c.name;
        }
    }
};

void printRow(const Contender& c, const Figures& f)
{
    if (!f.error.empty()) {
        std::printf("  %-24s %s\n", c.name.c_str(), f.error.c_str());
        return;
    }
    std::printf("  %-24s %6.3f %8.2f", c.name.c_str(), f.ssim, f.difference);
    if (c.maker == Maker::Mosaiq)
        std::printf(" %9.1f %9.1f", f.pageBytes, f.codeBytes);
    else
        std::printf(" %9s %9s", "", "");
    if (f.missingCells > 0)
        std::printf("  %d cells without glyph", f.missingCells);
    std::printf("\n");
}

// Whether Mosaiq's best is at least chafa's by both measures, and by how much.
bool printVerdict(const char* what, const Best& mosaiq, const Best& chafa)
{
    const bool met = mosaiq.ssim >= chafa.ssim && mosaiq.difference <= chafa.difference;
    std::printf("  %s: Mosaiq %.4f (%s) / %.3f (%s), chafa %.4f (%s) / %.3f (%s): %s (SSIM "
                "%+.4f, ΔE %+.3f)\n",
        what, mosaiq.ssim, mosaiq.ssimName.c_str(), mosaiq.difference,
        mosaiq.differenceName.c_str(), chafa.ssim, chafa.ssimName.c_str(), chafa.difference,
        chafa.differenceName.c_str(), met ? "at least as good" : "SHORT", mosaiq.ssim - chafa.ssim,
        mosaiq.difference - chafa.difference);
    return met;
}

Options readOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--srgb")
            options.light = Light::Encoded;
        else if (arg == "--pictures" && i + 1 < argc)
            options.picturesDir = argv[++i];
        else if (arg == "--chafa-option" && i + 1 < argc)
            options.chafaOptions.push_back(argv[++i]);
        else
            options.photos.push_back(arg);
    }
    if (options.photos.empty())
        options.photos = DefaultPhotos;
    // A folder of its own, so that two runs of the bench never read each other's files.
    char workDir[] = "/tmp/mosaiq-figures-bench.XXXXXX";
    if (::mkdtemp(workDir))
        options.workDir = workDir;
    return options;
}

// Each program's best with backgrounds and foreground only.
struct Bests {
    Best mosaiq[2], chafa[2]; // by foregroundOnly

    void add(const Contender& c, const Figures& f)
    {
        if (c.shapes)
            (c.maker == Maker::Mosaiq ? mosaiq : chafa)[c.foregroundOnly].add(c, f);
    }
};

// The table of one photo at one grid and its two verdicts: how many were met.
int measureGrid(Measuring& m, const QImage& image)
{
    std::printf("\n%s (%d x %d), %d x %d cells\n  %-24s %6s %8s %9s %9s\n", stemOf(m.photo).c_str(),
        image.width(), image.height(), m.grid.columns, m.grid.rows, "", "SSIM", "ΔE00", "page B",
        "phpBB B");
    Bests bests;
    for (const Contender& c : contenders()) {
        const Figures f = measure(c, m);
        printRow(c, f);
        bests.add(c, f);
    }
    return int(printVerdict("with background", bests.mosaiq[0], bests.chafa[0]))
        + int(printVerdict("foreground only", bests.mosaiq[1], bests.chafa[1]));
}

// The picture stretched to the PNG drawings' size, for the side-by-side pictures.
void savePicture(const QImage& image, const Options& options, const std::string& photo)
{
    image
        .scaled(PictureGrid.columns * PictureCellWidth, PictureGrid.rows * PictureCellHeight,
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .save(QString::fromStdString(options.picturesDir + "/" + stemOf(photo) + "-picture.png"));
}

void printMissing(const CellRenderer& renderer)
{
    if (renderer.missingGlyphs().empty())
        return;
    std::printf("characters neither DejaVu font has:");
    for (const char32_t c : renderer.missingGlyphs())
        std::printf(" U+%04X", unsigned(c));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    const Options options = readOptions(argc, argv);
    if (options.workDir.empty()) {
        std::printf("cannot make a folder in /tmp\n");
        return 1;
    }
    CellRenderer renderer(MOSAIQ_MONOSPACE_FONT, MOSAIQ_FALLBACK_FONT);
    std::printf("SSIM of the luma and mean ΔE00 over 2 x 4 blocks a cell, glyphs blended in %s; "
                "bytes per cell of the page and the phpBB code\n",
        options.light == Light::Linear ? "linear light" : "sRGB-encoded values");
    int goals = 0, met = 0;
    for (const std::string& name : options.photos) {
        const std::string photo = name.starts_with('/') ? name : Photos + name;
        const QImage image(QString::fromStdString(photo));
        if (image.isNull()) {
            std::printf("%s is missing: apt-get install mate-backgrounds\n", photo.c_str());
            std::filesystem::remove_all(options.workDir);
            return 1;
        }
        if (!options.picturesDir.empty())
            savePicture(image, options, photo);
        for (const GridSize& grid : Grids) {
            Measuring m { options, renderer, photo, grid,
                averagePicture(image, grid.columns * CellRenderer::BlockColumns,
                    grid.rows * CellRenderer::BlockRows, options.light) };
            met += measureGrid(m, image);
            goals += 2;
        }
    }
    std::printf("\nMosaiq's best at least chafa's in %d of %d comparisons\n", met, goals);
    printMissing(renderer);
    std::filesystem::remove_all(options.workDir);
    return 0;
}
