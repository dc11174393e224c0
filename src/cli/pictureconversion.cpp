#include "cli/pictureconversion.h"

#include "cli/clirun.h"
#include "cli/outputfile.h"
#include "cli/pagepicture.h"
#include "cli/pngfile.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codecollector.h"
#include "output/codes/codefit.h"
#include "output/codes/postsplit.h"
#include "output/preview/pagerecord.h"
#include "wording/cliwords.h"
#include "wording/forumwords.h"
#include "wording/pngwords.h"
#include "wording/runmessages.h"

#include <memory>
#include <optional>

namespace mosaiq {

namespace {

    bool writeWhole(const std::string& path, std::string_view text, const ConversionContext& c)
    {
        OutputFile output(path);
        if (!output.open() || !output.file().write(text) || !output.commit()) {
            c.say(output.failureText());
            return false;
        }
        return true;
    }

    // The page when another output took the standard output: made, and thrown away.
    class NoPage : public PageSink {
    public:
        bool writeLine(std::string_view) override { return true; }
    };

} // namespace

int convertPicture(const CliOptions& options, const std::string& picture,
    const PictureOutputs& outputs, RandomGlyphs& random, const ConversionContext& context)
{
    const auto& say = context.say;
    // The window's checks, in its order; the sizes default to the picture's, known only once it
    // is read, so they are checked again afterwards.
    StartFields fields;
    fields.picturePath = picture;
    fields.columns = options.columns ? std::string_view(*options.columns) : std::string_view("1");
    fields.rows = options.rows ? std::string_view(*options.rows) : std::string_view("1");
    fields.glyphSource = options.glyphSource;
    fields.definedCharactersEmpty = options.characters.empty();
    StartCheck check = checkStart(fields);
    if (check != StartCheck::Passed && check != StartCheck::TooLarge) {
        say(startCheckMessage(check));
        return ExitRefused;
    }

    const Picture loaded = context.readPicture(picture);
    if (loaded.isNull()) {
        say(cli::cannotReadPicture(picture, pictureErrorText(loaded).toStdString()));
        return loaded.error == PictureError::TooLarge ? ExitMemory : ExitPicture;
    }

    RunStart start;
    start.glyphSource = options.glyphSource;
    start.treatment = options.treatment;
    start.background = options.background;
    start.style = options.style;
    start.mergeTolerance = options.mergeTolerance;
    const std::u32string characters = decodeUtf8(options.characters);
    RowInput input;
    input.mode = options.mode;
    input.definedCharacters = characters;
    input.picture = loaded.pixels();

    const ForumDialect& dialect = *findDialect(options.dialect);
    const bool bracket = !outputs.blogCode.empty() && options.bracketFromCells();
    // Whatever measures a grid draws from copies of the generator as the run will start it.
    const RandomGlyphs randomAtStart = random;
    auto measureOf = [&](const ForumDialect* code) {
        return CodeMeasure { start, input, code, options.style, randomAtStart };
    };

    std::string columns = options.columns.value_or(std::to_string(loaded.image.width()));
    std::string rows = options.rows.value_or(std::to_string(loaded.image.height()));
    if (options.fitLimit) {
        // The bracket code when it is written, else the HTML code.
        const FitResult fit
            = fitGrid(measureOf(outputs.blogCode.empty() ? nullptr : &dialect), *options.fitLimit);
        if (!fit.fits) {
            say(cli::limitTooSmall(
                *options.fitLimit, fit.grid.columns, fit.grid.rows, fit.characters));
            return ExitRefused;
        }
        say(cli::chosenGrid(fit.grid.columns, fit.grid.rows, fit.characters, *options.fitLimit));
        columns = std::to_string(fit.grid.columns);
        rows = std::to_string(fit.grid.rows);
    }
    fields.columns = columns;
    fields.rows = rows;
    check = checkStart(fields);
    if (check != StartCheck::Passed) {
        say(startCheckMessage(check));
        return ExitRefused;
    }
    start.rows = numericValue(rows);
    input.columns = numericValue(columns);
    input.rows = start.rows;
    FixedSettings settings(input, options.style);

    std::unique_ptr<OutputFile> pageOutput;
    PageFile streamOutput;
    NoPage noPage;
    PageSink* page = &noPage;
    const bool toStream = outputs.page == "-";
    if (toStream) {
        streamOutput.attach(context.pageStream);
        page = &streamOutput;
    } else if (!outputs.page.empty()) {
        pageOutput = std::make_unique<OutputFile>(outputs.page);
        if (!pageOutput->open()) {
            say(pageOutput->failureText());
            return ExitWrite;
        }
        page = &pageOutput->file();
    }
    auto pageFailed = [&] {
        say(toStream ? cli::cannotWriteStandardOutput(streamOutput.errorText())
                     : pageOutput->failureText());
        return ExitWrite;
    };

    RowLoop loop(start, settings, *page, random);
    // The codes are kept only when asked for: the page alone streams in one row of memory.
    const bool keepHtml = !outputs.htmlCode.empty();
    const bool translateBlog = !outputs.blogCode.empty() && !bracket;
    CodeCollector codes(loop.rowCount(), keepHtml, translateBlog);
    if (keepHtml || translateBlog)
        loop.addSink(codes);
    std::optional<BracketCode> bracketCode;
    if (bracket) {
        bracketCode.emplace(dialect, loop.rowCount());
        loop.addSink(*bracketCode);
    }
    // The picture of the page keeps four bytes a cell until it is painted.
    std::shared_ptr<PageRecord> record;
    if (!outputs.png.empty()) {
        record = std::make_shared<PageRecord>(start.background, start.style);
        loop.addSink(*record);
    }
    const LoopStep result = loop.runToEnd();
    if (result == LoopStep::Refused) {
        say(rowOutcomeMessage(loop.refusal()));
        return ExitRefused;
    }
    if (result == LoopStep::PageFailed)
        return pageFailed();

    // The posts are made before the page is committed: a code that cannot be split refuses the
    // run whole.
    PostSplit posts;
    if (options.split && bracketCode) {
        const std::string opening = bracketCode->openingTags(options.style);
        const std::string closing = bracketCode->closingTags(options.style);
        const std::size_t size = sizeIn(opening, dialect.unit)
            + sizeIn(bracketCode->rows(), dialect.unit) + sizeIn(closing, dialect.unit);
        if (size > dialect.postLimit) {
            posts = splitIntoPosts(bracketCode->rows(), bracketCode->rowEnds(), opening, closing,
                dialect.postLimit, dialect.unit);
            if (posts.rowTooLong) {
                const std::int64_t fitting = columnsForPosts(measureOf(&dialect),
                    loopCount(input.columns), loop.rowCount(), dialect.postLimit);
                say(cli::rowTooLongForPost(posts.rowTooLong, dialect.postLimit,
                    dialect.unit == LimitUnit::Bytes ? cli::UnitBytes : cli::UnitCharacters,
                    dialect.name, fitting));
                return ExitRefused;
            }
        }
    }
    // A picture too large to save refuses the run whole too, before the page is committed.
    std::optional<PagePicture> pagePicture;
    if (record) {
        record->setComplete();
        pagePicture.emplace(std::move(record), options.scale);
        if (!pagePicture->fits()) {
            say(cli::pngTooLarge(
                pagePicture->width(), pagePicture->height(), PngFile::LargestSide));
            return ExitRefused;
        }
    }
    if (toStream ? !streamOutput.close() : pageOutput && !pageOutput->commit())
        return pageFailed();

    const StyleFlags& style = options.style;
    if (!outputs.blogCode.empty()) {
        // A blog code translated from the rows is wrapped in the room its collector kept.
        const SharedCode blog
            = bracketCode ? SharedCode(bracketCode->takeCode(style)) : codes.takeBlogCode(style);
        if (!writeWhole(outputs.blogCode, blog.view(), context))
            return ExitWrite;
        for (std::size_t i = 0; i < posts.parts.size(); ++i) {
            if (!writeWhole(
                    outputs.blogCode + "." + std::to_string(i + 1), posts.parts[i], context))
                return ExitWrite;
        }
        if (!posts.parts.empty())
            say(cli::codeSplit(posts.parts.size(), outputs.blogCode + ".1",
                outputs.blogCode + "." + std::to_string(posts.parts.size())));
    }
    if (keepHtml) {
        if (!writeWhole(outputs.htmlCode, codes.takeHtmlCode(style).view(), context))
            return ExitWrite;
    }
    if (pagePicture) {
        std::string failure;
        if (!pagePicture->save(outputs.png, failure)) {
            say(failure);
            return ExitWrite;
        }
    }
    return ExitOk;
}

} // namespace mosaiq
