#pragma once

#include "convert/conversionrun.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace mosaiq {

// What a run reads from its caller as it goes. The window answers from its controls, so a
// change the user makes between rows counts from the next row; other callers answer with fixed
// values.
class RunSettings {
public:
    virtual ~RunSettings() = default;
    // The options of the next row. The views in it stay valid until the next call.
    virtual RowInput rowInput() = 0;
    // The styles whose closing tags end the page, read when the last row is written.
    virtual StyleFlags closingStyle() = 0;
};

// Where the page goes, one line at a time, without line ends.
class PageSink {
public:
    virtual ~PageSink() = default;
    // False once anything failed; the run then ends.
    virtual bool writeLine(std::string_view line) = 0;
    // Memory in which the run may build its rows, which writeLine() then finds in place (see
    // RowMemory); nullptr: none.
    virtual RowMemory* rowLender() { return nullptr; }
};

// One row as the run made it.
struct BuiltRow {
    std::int64_t number = 0; // 1 for the first row
    std::string_view html; // the row for the codes: UTF-8, "<br>" included
    std::string_view page; // the same row as the page holds it
    CellMode mode = CellMode::Letter;
    // Each cell's colour and glyph; empty unless some sink asked for cells or the run merges.
    std::span<const ColourValue> colours;
    std::span<const Glyph> glyphs;
    // When the run merges cells: the first cell of each run sharing one colour tag (the cells'
    // colours are then their runs'). Empty when every cell has its own markup.
    std::span<const std::uint32_t> runStarts;
    // The colours as sampled, before merged runs replaced them; with colours.
    std::span<const ColourValue> sampledColours = {};
    // With runStarts, where the destination's colour tags nest: each run's depth (from 1) and
    // TagLayers::TakesBack where it takes back the tag at that depth, still open, instead of
    // opening its own. Empty: each run has a tag of its own. Writers whose tags do not nest
    // ignore it: every cell's colour is still its run's.
    std::span<const std::uint8_t> runNesting = {};
    // When the run chooses cells by shape: each cell's background (colours are then the inks),
    // and the glyphs and inks that the codes colouring only the text write (fitted over the
    // background their reader sees, or the cells' own). Empty otherwise, whatever was asked.
    std::span<const ColourValue> backgrounds = {};
    std::span<const Glyph> textGlyphs = {};
    std::span<const ColourValue> textColours = {};
    // When the run merges cells chosen by shape (runStarts are then the inks' runs): the first
    // cell of each run of one background (backgrounds are then their runs'), and the runs of
    // textColours, which are then their runs', with their nesting as runNesting has it.
    std::span<const std::uint32_t> backgroundRunStarts = {};
    std::span<const std::uint32_t> textRunStarts = {};
    std::span<const std::uint8_t> textRunNesting = {};
    // With --transparent background: 1 for each cell the picture leaves transparent, which the
    // codes write as a space without colour (its colours are the page's background). Empty when
    // the row has none.
    std::span<const std::uint8_t> transparent = {};
};

// Whatever else is made of the rows besides the page: the codes, a picture of the page.
class RowSink {
public:
    virtual ~RowSink() = default;
    // Whether rowBuilt() needs the cells' colours and glyphs, which cost a little to keep.
    virtual bool wantsCells() const { return false; }
    virtual void rowBuilt(const BuiltRow& row) = 0;
};

// What one step of a run did.
enum class LoopStep : std::uint8_t {
    RowWritten, // a row went to the page and the sinks; more may follow
    Finished, // the trailer was written: the page is complete
    Refused, // a row could not be made (see refusal())
    PageFailed, // the page sink failed
};

// The one row loop of the program: the window, mosaiq-cli, the tests, the fuzzers and the
// benchmarks all drive it. It writes the page's header, one line per row and the trailer, and
// hands each row to the sinks. Between steps the caller may do what it likes (the window shows
// progress, serves its events and looks for a stop); a caller that stops simply ends the loop,
// and the page keeps its header and the rows written so far, without trailer.
class RowLoop {
public:
    RowLoop(const RunStart& start, RunSettings& settings, PageSink& page, RandomGlyphs& random);

    // Sinks are added before the first step; the loop does not own them.
    void addSink(RowSink& sink);

    // Writes the header on the first call, then one row per call; the call after the last row
    // writes the trailer and returns Finished.
    LoopStep step();

    // Steps until the page is complete or something fails.
    LoopStep runToEnd();

    // Before the first step: starts at row first, with no header, the rows before it being
    // another loop's (the page in the browser shares a run between two workers).
    void startAt(std::int64_t first);

    std::int64_t rowsDone() const { return m_run.rowsDone(); }
    std::int64_t rowCount() const { return m_run.rowCount(); }
    // The percentage to show after the last row written, with the row count that row was made
    // with.
    int percent() const { return m_percent; }
    RowOutcome refusal() const { return m_refusal; }

private:
    ConversionRun m_run;
    RunSettings& m_settings;
    PageSink& m_page;
    std::vector<RowSink*> m_sinks;
    bool m_headerWritten = false;
    bool m_done = false;
    int m_percent = 0;
    RowOutcome m_refusal = RowOutcome::Written;
};

// Settings that never change during the run: mosaiq-cli, the tests and the benchmarks.
class FixedSettings : public RunSettings {
public:
    FixedSettings(const RowInput& input, const StyleFlags& style)
        : m_input(input)
        , m_style(style)
    {
    }
    RowInput rowInput() override { return m_input; }
    StyleFlags closingStyle() override { return m_style; }

private:
    RowInput m_input;
    StyleFlags m_style;
};

} // namespace mosaiq
