#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/clipictures.h"
#include "cli/fileidentity.h"
#include "cli/pictureconversion.h"
#include "wording/cliwords.h"

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
    const PictureOutputs outputs { options.pagePath, options.htmlCodePath, options.blogCodePath,
        options.pngPath };
    // The picture is read whole before any output is committed, so an output under its name
    // would silently put text art in place of the photo: a batch refuses it too.
    FileIdentity picture;
    if (fileIdentityOf(options.pictures.front(), picture)) {
        for (const std::string& output :
            { outputs.page, outputs.htmlCode, outputs.blogCode, outputs.png }) {
            FileIdentity id;
            if (fileIdentityOf(output, id) && id == picture) {
                context.say(cli::outputIsThePicture(output));
                return ExitWrite;
            }
        }
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
