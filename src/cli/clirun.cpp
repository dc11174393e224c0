#include "cli/clirun.h"

#include "cli/outputfile.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "image/picturereader.h"
#include "output/blogcode.h"
#include "output/codecollector.h"
#include "wording/cliwords.h"
#include "wording/runmessages.h"

#include <memory>
#include <string>

namespace mosaiq {

namespace {

    void say(std::FILE* err, const std::string& message)
    {
        std::fputs(message.c_str(), err);
        std::fputc('\n', err);
    }

    bool writeWhole(const std::string& path, const std::string& text, std::FILE* err)
    {
        OutputFile output(path);
        if (!output.open() || !output.file().write(text) || !output.commit()) {
            say(err, cli::cannotWriteFile(path, output.errorText()));
            return false;
        }
        return true;
    }

} // namespace

int runCli(const CliOptions& options, std::FILE* out, std::FILE* err)
{
    // The window's checks, in its order; the sizes default to the picture's, known only once it
    // is read, so they are checked again afterwards.
    StartFields fields;
    fields.picturePath = options.picture;
    fields.columns = options.columns ? std::string_view(*options.columns) : std::string_view("1");
    fields.rows = options.rows ? std::string_view(*options.rows) : std::string_view("1");
    fields.glyphSource = options.glyphSource;
    fields.definedCharactersEmpty = options.characters.empty();
    StartCheck check = checkStart(fields);
    if (check != StartCheck::Passed && check != StartCheck::TooLarge) {
        say(err, startCheckMessage(check));
        return ExitRefused;
    }

    const Picture picture = readPictureNative(options.picture);
    if (picture.isNull()) {
        say(err, cli::cannotReadPicture(options.picture, pictureErrorText(picture).toStdString()));
        return ExitPicture;
    }
    const std::string columns = options.columns.value_or(std::to_string(picture.image.width()));
    const std::string rows = options.rows.value_or(std::to_string(picture.image.height()));
    fields.columns = columns;
    fields.rows = rows;
    check = checkStart(fields);
    if (check != StartCheck::Passed) {
        say(err, startCheckMessage(check));
        return ExitRefused;
    }

    RunStart start;
    start.glyphSource = options.glyphSource;
    start.treatment = options.treatment;
    start.background = options.background;
    start.style = options.style;
    start.rows = numericValue(rows);

    const std::u32string characters = decodeUtf8(options.characters);
    RowInput input;
    input.columns = numericValue(columns);
    input.rows = start.rows;
    input.mode = options.mode;
    input.definedCharacters = characters;
    input.picture = picture.pixels();
    FixedSettings settings(input, options.style);

    std::unique_ptr<OutputFile> pageOutput;
    PageFile standardOutput;
    PageFile* page = &standardOutput;
    const bool toStandardOutput = options.pagePath.empty() || options.pagePath == "-";
    if (toStandardOutput) {
        standardOutput.attach(out);
    } else {
        pageOutput = std::make_unique<OutputFile>(options.pagePath);
        if (!pageOutput->open()) {
            say(err, cli::cannotWriteFile(options.pagePath, pageOutput->errorText()));
            return ExitWrite;
        }
        page = &pageOutput->file();
    }
    auto pageFailed = [&] {
        say(err,
            toStandardOutput ? cli::cannotWriteStandardOutput(page->errorText())
                             : cli::cannotWriteFile(options.pagePath, pageOutput->errorText()));
        return ExitWrite;
    };

    RowLoop loop(start, settings, *page);
    // The codes are kept only when asked for: the page alone streams in one row of memory.
    CodeCollector codes(
        loop.rowCount(), !options.htmlCodePath.empty(), !options.blogCodePath.empty());
    if (!options.htmlCodePath.empty() || !options.blogCodePath.empty())
        loop.addSink(codes);
    const LoopStep result = loop.runToEnd();
    if (result == LoopStep::Refused) {
        say(err, rowOutcomeMessage(loop.refusal()));
        return ExitRefused;
    }
    if (result == LoopStep::PageFailed
        || (toStandardOutput ? !page->close() : !pageOutput->commit()))
        return pageFailed();

    const StyleFlags& style = options.style;
    if (!options.blogCodePath.empty()) {
        std::string& blog = codes.blogCode();
        WrapBlogCode(blog, style.bold, style.italic, style.centred);
        if (!writeWhole(options.blogCodePath, blog, err))
            return ExitWrite;
    }
    if (!options.htmlCodePath.empty()) {
        std::string& html = codes.htmlRows();
        WrapHtmlCode(html, style.bold, style.italic, style.centred);
        if (!writeWhole(options.htmlCodePath, html, err))
            return ExitWrite;
    }
    return ExitOk;
}

} // namespace mosaiq
