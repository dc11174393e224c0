// How many cells a phpBB post of 60,000 characters holds against the colour fidelity, as the
// tolerance of --merge grows: the plain merged runs against the best runs (--best-runs), on the
// photos of Debian's mate-backgrounds. "ΔE" is the mean CIEDE2000 difference between each written
// cell colour and its sampled colour at the grid --fit chooses. Then the cost: the processor time
// of a 1920 x 1080 grid at one cell per pixel, plain runs against best runs; and the bytes per
// cell of each dialect at 120 columns. With an argument, the frontier's points also go to that
// file, for scripts/frontier-plot.sh; "--cost" alone runs only the cost (for a profiler),
// "--frontier" only the frontier. The tolerances reach 80: at the same tolerance the best runs
// hold their cells closer than --merge, so their curve reaches a mean ΔE of 4 farther on.
// "--fine" samples the tolerances in quarter steps (as --merge takes them) and reads the most
// cells within each mean ΔE from the points alone, for both kinds of runs: whole tolerances
// leave wide gaps between grids, and reading between two points is only an estimate.
#include "convert/colourdifference.h"
#include "convert/mergedrow.h"
#include "convert/palette.h"
#include "convert/runchooser.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

using namespace mosaiq;

namespace {

const std::string Photos = "/usr/share/backgrounds/mate/nature/";

class NullPage : public PageSink {
public:
    bool writeLine(std::string_view) override { return true; }
};

// The mean difference between the sampled colours and those the runs give them.
class Fidelity : public RowSink {
public:
    Fidelity(double tolerance, bool best, ColourForms forms)
        : m_tolerance(tolerance)
        , m_best(best)
        , m_chooser(forms)
    {
    }
    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override
    {
        m_runs.assign(row.colours.begin(), row.colours.end());
        if (m_best)
            m_chooser.choose(m_runs, m_tolerance, m_starts);
        else
            groupRuns(m_runs, m_tolerance, m_starts);
        for (std::size_t i = 0; i < m_runs.size(); ++i) {
            if (m_runs[i] != row.colours[i])
                m_sum += ciede2000(labOf(row.colours[i]), labOf(m_runs[i]));
            ++m_cells;
        }
    }
    double mean() const { return m_cells ? m_sum / double(m_cells) : 0.0; }

private:
    double m_tolerance;
    bool m_best;
    RunChooser m_chooser;
    std::vector<ColourValue> m_runs;
    std::vector<std::uint32_t> m_starts;
    double m_sum = 0;
    std::int64_t m_cells = 0;
};

struct Point {
    std::int64_t cells = 0;
    double meanDifference = 0;
};

RowInput inputOf(const QImage& image, std::u32string_view characters)
{
    RowInput input;
    input.definedCharacters = characters;
    input.picture = { reinterpret_cast<const std::uint32_t*>(image.constBits()), image.width(),
        image.height(), image.bytesPerLine() / 4 };
    return input;
}

Point frontierPoint(const QImage& image, double tolerance, bool best)
{
    const ForumDialect& phpbb = *findDialect("phpbb");
    static const std::u32string characters = U"o";
    RunStart start;
    start.mergeTolerance = tolerance;
    start.bestRuns = best;
    start.colourForms = best ? phpbb.forms : ColourForms {};
    const RowInput input = inputOf(image, characters);
    const FitResult fit = fitGrid({ start, input, &phpbb, {}, RandomGlyphs() }, 60'000);

    RunStart plain;
    plain.rows = double(fit.grid.rows);
    RowInput gridInput = input;
    gridInput.columns = double(fit.grid.columns);
    gridInput.rows = double(fit.grid.rows);
    FixedSettings settings(gridInput, {});
    NullPage page;
    RandomGlyphs random;
    RowLoop loop(plain, settings, page, random);
    Fidelity fidelity(tolerance, best, start.colourForms);
    loop.addSink(fidelity);
    loop.runToEnd();
    return { fit.grid.columns * fit.grid.rows, fidelity.mean() };
}

// The cells reached at a mean difference of limit, read on the line between the two tolerances
// whose differences surround it (the points grow with the tolerance); 0 when none is below.
double cellsAt(const std::vector<Point>& points, double limit)
{
    double cells = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point& p = points[i];
        if (p.meanDifference > limit)
            continue;
        cells = std::max(cells, double(p.cells));
        if (i + 1 < points.size() && points[i + 1].meanDifference > limit) {
            const Point& q = points[i + 1];
            const double share = (limit - p.meanDifference) / (q.meanDifference - p.meanDifference);
            cells = std::max(cells, double(p.cells) + share * double(q.cells - p.cells));
        }
    }
    return cells;
}

// The most cells among the points whose mean difference is at most limit.
double cellsWithin(const std::vector<Point>& points, double limit)
{
    double cells = 0;
    for (const Point& p : points)
        if (p.meanDifference <= limit)
            cells = std::max(cells, double(p.cells));
    return cells;
}

double bytesPerCell(const QImage& image, const ForumDialect& dialect,
    std::optional<double> tolerance, bool best, bool palette = false)
{
    static const std::u32string characters = U"o";
    const GridSize grid = proportionalGrid(120, image.width(), image.height(), PageCellAspect);
    RunStart start;
    start.rows = double(grid.rows);
    start.mergeTolerance = tolerance;
    start.bestRuns = best;
    start.colourForms = best ? dialect.forms : ColourForms {};
    RowInput input = inputOf(image, characters);
    if (palette)
        start.palette
            = std::make_shared<const std::vector<ColourValue>>(choosePalette(input.picture, 16));
    input.columns = double(grid.columns);
    input.rows = double(grid.rows);
    FixedSettings settings(input, {});
    NullPage page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    BracketCode code(dialect, grid.rows, true, start.colourForms);
    loop.addSink(code);
    loop.runToEnd();
    return double(code.rows().size()) / double(grid.columns * grid.rows);
}

struct Cost {
    double wall = 1e9, processor = 1e9;
};

// The wall and processor times of a whole 1920 x 1080 grid at one cell per pixel in phpBB's
// code, merged at tolerance, plain or with the best runs: the best of three of each.
Cost costOf(const QImage& image, double tolerance, bool best)
{
    static const std::u32string characters = U"o";
    const ForumDialect& phpbb = *findDialect("phpbb");
    Cost fastest;
    for (int attempt = 0; attempt < 3; ++attempt) {
        RunStart start;
        start.rows = 1080;
        start.mergeTolerance = tolerance;
        start.bestRuns = best;
        start.colourForms = best ? phpbb.forms : ColourForms {};
        RowInput input = inputOf(image, characters);
        input.columns = 1920;
        input.rows = 1080;
        FixedSettings settings(input, {});
        NullPage page;
        RandomGlyphs random;
        const std::clock_t begin = std::clock();
        const auto wallBegin = std::chrono::steady_clock::now();
        RowLoop loop(start, settings, page, random);
        BracketCode code(phpbb, 1080, true, start.colourForms);
        loop.addSink(code);
        loop.runToEnd();
        fastest.processor
            = std::min(fastest.processor, double(std::clock() - begin) / CLOCKS_PER_SEC);
        fastest.wall = std::min(fastest.wall,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBegin).count());
    }
    return fastest;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string part = argc > 1 && argv[1][0] == '-' ? argv[1] : "";
    std::FILE* points = argc > 1 && part.empty() ? std::fopen(argv[1], "w") : nullptr;
    const std::vector<std::string> names { "LadyBird.jpg", "Storm.jpg", "Garden.jpg", "Aqua.jpg",
        "Dune.jpg" };
    const std::vector<double> tolerances { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 16, 20, 24,
        28, 32, 40, 52, 64, 80 };
    std::vector<QImage> images;
    for (const auto& name : names) {
        const QImage photo(QString::fromStdString(Photos + name));
        if (photo.isNull()) {
            std::printf("%s%s is missing: apt-get install mate-backgrounds\n", Photos.c_str(),
                name.c_str());
            return 1;
        }
        const QImage filled
            = photo.scaled(1920, 1080, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        images.push_back(
            filled.copy((filled.width() - 1920) / 2, (filled.height() - 1080) / 2, 1920, 1080)
                .convertToFormat(QImage::Format_RGB32));
    }

    if (part == "--fine") {
        // The tolerances in quarter steps, as a user may give them: the most cells a post holds
        // at a mean difference within the limit, read from the points themselves.
        std::printf("phpBB, 60,000 characters, tolerances 0 to 32 in quarter steps: the most "
                    "cells whose mean ΔE is within the limit\n");
        for (std::size_t p = 0; p < names.size(); ++p) {
            std::vector<Point> plain, best;
            for (int quarter = 0; quarter <= 128; ++quarter) {
                plain.push_back(frontierPoint(images[p], quarter / 4.0, false));
                best.push_back(frontierPoint(images[p], quarter / 4.0, true));
            }
            for (double limit : { 4.0, 2.0 }) {
                const double before = cellsWithin(plain, limit), after = cellsWithin(best, limit);
                std::printf("%-14s at mean ΔE %.0f: %.0f cells against %.0f, %.2f x (read between "
                            "points: %.2f x)\n",
                    names[p].c_str(), limit, after, before, after / before,
                    cellsAt(best, limit) / cellsAt(plain, limit));
            }
        }
        return 0;
    }

    std::printf("phpBB, 60,000 characters, 1920 x 1080 photos: cells / mean ΔE\n");
    for (std::size_t p = 0; p < names.size() && part != "--cost"; ++p) {
        std::printf("\n%s\n%10s %22s %22s\n", names[p].c_str(), "tolerance", "--merge",
            "--merge --best-runs");
        std::vector<Point> plain, best;
        for (double tolerance : tolerances) {
            plain.push_back(frontierPoint(images[p], tolerance, false));
            best.push_back(frontierPoint(images[p], tolerance, true));
            std::printf("%10.0f %12lld / %6.2f %12lld / %6.2f\n", tolerance,
                (long long)plain.back().cells, plain.back().meanDifference,
                (long long)best.back().cells, best.back().meanDifference);
            if (points)
                std::fprintf(points, "%s %g %lld %.4f %lld %.4f\n", names[p].c_str(), tolerance,
                    (long long)plain.back().cells, plain.back().meanDifference,
                    (long long)best.back().cells, best.back().meanDifference);
        }
        for (double limit : { 4.0, 2.0 }) {
            const double before = cellsAt(plain, limit), after = cellsAt(best, limit);
            std::printf("  at mean ΔE %.0f: %.0f cells against %.0f, %.2f x\n", limit, after,
                before, before > 0 ? after / before : 0.0);
        }
        if (points)
            std::fprintf(points, "\n\n");
    }
    if (points)
        std::fclose(points);

    std::printf("\nCost: 1920 x 1080 cells, phpBB, the rows' wall and processor times (best of "
                "3), --best-runs against --merge:\n");
    for (std::size_t p = 0; p < names.size() && part != "--frontier"; ++p) {
        for (double tolerance : { 2.0, 5.0 }) {
            const Cost plain = costOf(images[p], tolerance, false);
            const Cost best = costOf(images[p], tolerance, true);
            std::printf(
                "  %-13s --merge=%.0f wall %.3f s against %.3f s (%.2f x), processor %.3f s "
                "against %.3f s (%.2f x)\n",
                names[p].c_str(), tolerance, best.wall, plain.wall, best.wall / plain.wall,
                best.processor, plain.processor, best.processor / plain.processor);
        }
    }

    std::printf("\nBytes per cell at 120 columns (%s); --best-runs with --merge=4; the palette "
                "of 16 colours with --merge=0:\n%-10s %8s %10s %10s %12s %10s\n",
        names[0].c_str(), "dialect", "plain", "--merge=0", "--merge=4", "--best-runs",
        "palette 16");
    for (const ForumDialect& dialect : forumDialects()) {
        if (!part.empty())
            break;
        std::printf("%-10s %8.2f %10.2f %10.2f %12.2f %10.2f\n", std::string(dialect.name).c_str(),
            bytesPerCell(images[0], dialect, std::nullopt, false),
            bytesPerCell(images[0], dialect, 0.0, false),
            bytesPerCell(images[0], dialect, 4.0, false),
            bytesPerCell(images[0], dialect, 4.0, true),
            bytesPerCell(images[0], dialect, 0.0, false, true));
    }
    return 0;
}
