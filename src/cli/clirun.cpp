#include "cli/clirun.h"

#include "cli/batchrun.h"
#include "cli/clipictures.h"
#include "cli/fileidentity.h"
#include "cli/pictureconversion.h"
#include "wording/cliwords.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

namespace mosaiq {

namespace {

    // Where a file still to be made would be: through the links that lead there, dangling
    // ones included, since the output follows them and makes the file they name.
    std::filesystem::path placeOf(std::filesystem::path path, std::error_code& error)
    {
        for (int hops = 0; hops < 40 && std::filesystem::is_symlink(path, error); ++hops) {
            std::filesystem::path target = std::filesystem::read_symlink(path, error);
            if (error)
                return {};
            path = target.is_absolute() ? std::move(target) : path.parent_path() / target;
        }
        return std::filesystem::weakly_canonical(path, error);
    }

    // Whether two output names lead to one file: the same regular file, whatever links or
    // other names lead to it, or one place for a file still to be made. A device or a pipe is
    // written as it is, so /dev/null may take several outputs.
    bool sameFile(const std::string& first, const std::string& second)
    {
        FileIdentity a, b;
        const bool hasA = fileIdentityOf(first, a), hasB = fileIdentityOf(second, b);
        if (hasA || hasB)
            return hasA && hasB && a == b;
        std::error_code error;
        if (std::filesystem::exists(first, error) || std::filesystem::exists(second, error))
            return false;
        const auto placeA = placeOf(first, error);
        if (error)
            return false;
        const auto placeB = placeOf(second, error);
        return !error && placeA == placeB;
    }

    // Whether path would be one of the posts that --split writes beside the code at code: in
    // its folder, under its name followed by a dot and a number.
    bool isPostOf(const std::string& path, const std::string& code)
    {
        std::error_code error;
        const std::filesystem::path place = placeOf(path, error);
        if (error)
            return false;
        const std::filesystem::path codePlace = placeOf(code, error);
        if (error || place.parent_path() != codePlace.parent_path())
            return false;
        const std::string name = place.filename().string();
        const std::string stem = codePlace.filename().string() + '.';
        return name.size() > stem.size() && name.starts_with(stem)
            && name.find_first_not_of("0123456789", stem.size()) == std::string::npos;
    }

    // Each output's name, beside the option that gives it.
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
        auto isFile = [](const std::string& path) { return !path.empty() && path != "-"; };
        for (std::size_t i = 0; i < named.size(); ++i) {
            const std::string& path = *named[i].second;
            if (!isFile(path))
                continue;
            for (std::size_t j = i + 1; j < named.size(); ++j) {
                if (isFile(*named[j].second) && sameFile(path, *named[j].second))
                    return cli::fileTakenTwice(path, named[i].first, named[j].first);
            }
            if (split && &path != &outputs.blogCode && isFile(outputs.blogCode)
                && isPostOf(path, outputs.blogCode))
                return cli::fileTakenTwice(path, named[i].first, "--split");
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
