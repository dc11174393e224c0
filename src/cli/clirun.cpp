#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/clipictures.h"
#include "cli/pictureconversion.h"
#include "output/files/outputnames.h"
#include "wording/cliwords.h"

#include <array>

namespace mosaiq {

namespace {

    // Each output's name, beside the option that gives it; the posts go beside the blog code.
    constexpr std::size_t BlogCodeOutput = 2;
    std::array<NamedOutput, 4> namedOutputs(const PictureOutputs& outputs)
    {
        return { {
            { "--page", &outputs.page },
            { "--html-code", &outputs.htmlCode },
            { "--blog-code", &outputs.blogCode },
            { "--png", &outputs.png },
        } };
    }

} // namespace

int runCli(const CliOptions& options, std::FILE* out, std::FILE* err, const CliPictures& pictures)
{
    if (options.batch())
        return runBatch(options, err, pictures);
    ConversionContext context;
    context.pageStream = out;
    context.pageInBackground = true;
    context.say = [err](const std::string& message) {
        std::fputs(message.c_str(), err);
        std::fputc('\n', err);
    };
    const PictureOutputs outputs { options.pagePath, options.htmlCodePath, options.blogCodePath,
        options.pngPath };
    const auto named = namedOutputs(outputs);
    if (const std::string clash
        = sharedOutputFile(named, options.split ? "--split" : nullptr, BlogCodeOutput);
        !clash.empty()) {
        context.say(clash);
        return ExitRefused;
    }
    // A batch refuses an output over its picture too.
    if (const std::string* over = outputOverPicture(options.pictures.front(), named)) {
        context.say(cli::outputIsThePicture(*over));
        return ExitWrite;
    }
    serveConversion(context, pictures, ReadingThreads::WithHelper);
    // A fresh generator: the random glyphs of the window's first run after a start.
    RandomGlyphs random;
    return convertPicture(options, options.pictures.front(), outputs, random, context);
}

void serveConversion(
    ConversionContext& context, const CliPictures& pictures, ReadingThreads threads)
{
    context.readPicture
        = [&pictures, threads](const std::string& path) { return pictures.read(path, threads); };
    context.paintPage
        = [&pictures, say = context.say](std::shared_ptr<const PageRecord> record, int scale) {
              std::unique_ptr<PageImage> page = pictures.paintPage(std::move(record), scale);
              if (!page)
                  say(pictures.failure());
              return page;
          };
}

} // namespace mosaiq
