#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/clipictures.h"
#include "cli/pictureconversion.h"

namespace mosaiq {

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
    serveConversion(context, pictures, ReadingThreads::WithHelper);
    // A fresh generator: the random glyphs of the window's first run after a start.
    RandomGlyphs random;
    return convertPicture(options, options.pictures.front(),
        { options.pagePath, options.htmlCodePath, options.blogCodePath, options.pngPath }, random,
        context);
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
