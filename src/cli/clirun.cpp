#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/clipictures.h"
#include "cli/pictureconversion.h"
#include "output/files/fileidentity.h"
#include "output/files/outputtarget.h"
#include "wording/cliwords.h"

#include <array>
#include <tuple>
#include <utility>

namespace mosaiq {

namespace {

    // Each output's name, beside the option that gives it; the posts go beside the blog code.
    constexpr std::size_t BlogCodeOutput = 2;
    std::array<std::pair<const char*, const std::string*>, 4> namedOutputs(
        const PictureOutputs& outputs)
    {
        return { {
            { "--page", &outputs.page },
            { "--html-code", &outputs.htmlCode },
            { "--blog-code", &outputs.blogCode },
            { "--png", &outputs.png },
        } };
    }

    // Why two outputs would go to one file, in French; empty when each has its own. Each output
    // is renamed into place when complete: two under one name would leave the last alone, the
    // other lost without a word.
    std::string sharedOutputFile(const PictureOutputs& outputs, bool split)
    {
        const auto named = namedOutputs(outputs);
        std::array<OutputPlace, std::tuple_size_v<decltype(named)>> places;
        for (std::size_t i = 0; i < named.size(); ++i) {
            const std::string& path = *named[i].second;
            if (!path.empty() && path != "-")
                places[i] = outputPlaceOf(path);
        }
        const OutputPlace& code = places[BlogCodeOutput];
        for (std::size_t i = 0; i < named.size(); ++i) {
            for (std::size_t j = i + 1; j < named.size(); ++j) {
                if (places[i].sameFileAs(places[j]))
                    return cli::fileTakenTwice(*named[i].second, named[i].first, named[j].first);
            }
            if (split && i != BlogCodeOutput && places[i].isNumberedAfter(code))
                return cli::fileTakenTwice(*named[i].second, named[i].first, "--split");
        }
        return {};
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
    if (const std::string clash = sharedOutputFile(outputs, options.split); !clash.empty()) {
        context.say(clash);
        return ExitRefused;
    }
    // The picture is read whole before any output is committed, so an output under its name
    // would silently put text art in place of the photo: a batch refuses it too.
    FileIdentity picture;
    if (fileIdentityOf(options.pictures.front(), picture)) {
        for (const auto& [option, output] : namedOutputs(outputs)) {
            FileIdentity id;
            if (fileIdentityOf(*output, id) && id == picture) {
                context.say(cli::outputIsThePicture(*output));
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
