#include "run/preparedrun.h"

#include "convert/gridproportions.h"
#include "convert/numbertext.h"
#include "run/gridbudget.h"
#include "run/runchoices.h"
#include "wording/runmessages.h"
#include "wording/runoptionwords.h"

namespace mosaiq {

namespace {

    // The options as the run takes them: square mode's "8" in place of the glyphs.
    RunOptions squared(RunOptions options)
    {
        takeSquareModeGlyphs(options.mode, options.glyphSource, options.characters);
        return options;
    }

    // The width over the height of a cell of the page the run writes, which a grid keeps the
    // picture's proportions by: one figure for every glyph of the page's Verdana, or the cell of
    // the monospace font that shapes are drawn in.
    double cellAspectOf(const RunOptions& options)
    {
        return options.shapes ? ShapeCellAspect : PageCellAspect;
    }

    StartFields fieldsOf(const RunOptions& options, std::string_view picturePath)
    {
        StartFields fields;
        fields.picturePath = picturePath;
        fields.glyphSource = options.glyphSource;
        fields.definedCharactersEmpty = options.characters.empty();
        return fields;
    }

} // namespace

std::string checkBeforePicture(const RunOptions& options, std::string_view picturePath)
{
    StartFields fields = fieldsOf(squared(options), picturePath);
    fields.columns = options.columns ? std::string_view(*options.columns) : "1";
    fields.rows = options.rows ? std::string_view(*options.rows) : "1";
    const StartCheck check = checkStart(fields);
    if (check != StartCheck::Passed && check != StartCheck::TooLarge)
        return startCheckMessage(check);
    return {};
}

PreparedRun prepareRun(const RunOptions& given, const PictureFacts& picture,
    const RandomGlyphs& random, bool budgetsBlogCode)
{
    PreparedRun run;
    run.refusal = runOptionsRefusal(given);
    if (run.refusal.empty())
        run.refusal = splitRefusal(given);
    if (!run.refusal.empty())
        return run;
    const RunOptions options = squared(given);
    run.dialect = findDialect(options.dialect);

    // A budget chooses the size, so the sizes are checked once it has. A side not given is the
    // picture's, or with the other given, what keeps the picture's proportions on the page.
    const std::int64_t width = picture.pixels.width, height = picture.pixels.height;
    const double aspect = cellAspectOf(options);
    run.columns = options.columns ? *options.columns
        : options.rows
        ? std::to_string(columnsForRows(width, height, numericValue(*options.rows), aspect))
        : std::to_string(width);
    run.rows = options.rows ? *options.rows
        : options.columns
        ? std::to_string(rowsForColumns(width, height, numericValue(*options.columns), aspect))
        : std::to_string(height);
    StartFields fields = fieldsOf(options, picture.path);
    fields.columns = options.fitLimit ? "1" : std::string_view(run.columns);
    fields.rows = options.fitLimit ? "1" : std::string_view(run.rows);
    if (const StartCheck check = checkStart(fields); check != StartCheck::Passed) {
        run.refusal = startCheckMessage(check);
        return run;
    }

    RunStart& start = run.start;
    start.glyphSource = options.glyphSource;
    start.treatment = options.treatment;
    start.background = options.background;
    start.style = options.style;
    start.mergeTolerance = options.mergeTolerance;
    start.bestRuns = options.bestRuns;
    if (options.bestRuns)
        start.colourForms = run.dialect->forms;
    if (options.paletteCount)
        start.palette = std::make_shared<const std::vector<ColourValue>>(
            choosePalette(picture.pixels, *options.paletteCount));
    else if (!options.paletteColours.empty())
        start.palette = std::make_shared<const std::vector<ColourValue>>(options.paletteColours);
    start.dither = options.dither;
    start.transparentBackground = options.transparentBackground;
    if (options.shapes) {
        ShapeOptions& shapes = start.shapes.emplace();
        shapes.set = *options.shapes;
        if (options.foregroundOnly)
            shapes.background = options.readerBackground;
        else if (run.dialect->backgroundOpen.empty())
            shapes.textBackground = options.readerBackground;
        if (options.glyphSource == GlyphSource::Random || given.charactersGiven)
            run.message = ShapesIgnoreCharacters;
    }
    run.characters = std::make_shared<const std::u32string>(decodeUtf8(options.characters));
    run.input.mode = options.mode;
    run.input.definedCharacters = *run.characters;
    run.input.picture = picture.pixels;

    if (options.fitLimit) {
        const CodeMeasure measure { start, run.input, budgetsBlogCode ? run.dialect : nullptr,
            options.style, random, options.fitUnit, aspect };
        BudgetGrid grid = gridForBudget(measure, *options.fitLimit);
        if (!grid.fits) {
            run.refusal = std::move(grid.message);
            return run;
        }
        run.message
            = run.message.empty() ? std::move(grid.message) : grid.message + "\n" + run.message;
        run.columns = std::move(grid.columns);
        run.rows = std::move(grid.rows);
        fields.columns = run.columns;
        fields.rows = run.rows;
        if (const StartCheck check = checkStart(fields); check != StartCheck::Passed) {
            run.refusal = startCheckMessage(check);
            return run;
        }
    }
    start.rows = numericValue(run.rows);
    run.input.columns = numericValue(run.columns);
    run.input.rows = start.rows;
    return run;
}

} // namespace mosaiq
