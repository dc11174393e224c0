#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/pictureconversion.h"

namespace mosaiq {

int runCli(const CliOptions& options, std::FILE* out, std::FILE* err)
{
    if (options.batch())
        return runBatch(options, err);
    ConversionContext context;
    context.pageStream = out;
    context.say = [err](const std::string& message) {
        std::fputs(message.c_str(), err);
        std::fputc('\n', err);
    };
    // A fresh generator: the random glyphs of the window's first run after a start.
    RandomGlyphs random;
    return convertPicture(options, options.pictures.front(),
        { options.pagePath, options.htmlCodePath, options.blogCodePath, options.pngPath }, random,
        context);
}

} // namespace mosaiq
