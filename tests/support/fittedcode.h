#pragma once

#include "convert/rowloop.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"

#include <string>
#include <string_view>

namespace mosaiq {

// The bracket code, style tags included, that a real run of what measure measured writes at
// grid: its glyphs drawn from a generator at its first state, its page thrown away.
inline std::string fittedCode(const CodeMeasure& measure, GridSize grid)
{
    RunStart start = measure.start;
    start.rows = double(grid.rows);
    RowInput input = measure.input;
    input.columns = double(grid.columns);
    input.rows = start.rows;
    FixedSettings settings(input, measure.style);
    struct : PageSink {
        bool writeLine(std::string_view) override { return true; }
    } page;
    RandomGlyphs random;
    RowLoop loop(start, settings, page, random);
    BracketCode code(*measure.dialect, grid.rows, true, measure.start.colourForms);
    loop.addSink(code);
    loop.runToEnd();
    return code.takeCode(measure.style);
}

} // namespace mosaiq
