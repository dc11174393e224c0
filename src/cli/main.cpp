#include "cli/clioptions.h"
#include "cli/clipictures.h"
#include "cli/clirun.h"
#include "cli/interruption.h"
#include "cli/moduleloader.h"
#include "wording/cliwords.h"
#include "wording/runmessages.h"

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <new>

#include <unistd.h>

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const mosaiq::CliParse parse = mosaiq::parseCliOptions(arguments, ::isatty(STDOUT_FILENO) == 1);
    if (parse.options.help) {
        std::fputs(mosaiq::cli::HelpText, stdout);
        return 0;
    }
    if (parse.options.version) {
        std::printf("mosaiq-cli %s\n", MOSAIQ_VERSION);
        return 0;
    }
    if (!parse.error.empty()) {
        std::fprintf(stderr, "%s\n", parse.error.c_str());
        return mosaiq::ExitRefused;
    }
    // The user's locale, as Qt takes it when it starts.
    std::setlocale(LC_ALL, "");
    // Qt and the libraries of the other kinds of picture load only for the jobs that need them:
    // they take longer to load than a plain photo takes to convert.
    mosaiq::CliPictures pictures(mosaiq::pictureModulePath());
    const mosaiq::CliOptions& options = parse.options;
    const bool plain = std::all_of(options.pictures.begin(), options.pictures.end(),
        [](const std::string& picture) { return mosaiq::CliPictures::readsAlone(picture); });
    if (options.png && plain && !options.batch()) {
        // Only the picture of the page needs the module, once the page is made: it loads
        // meanwhile.
        pictures.loadModuleAside(argc, argv, true);
    } else if ((options.png || !plain) && !pictures.loadModule(argc, argv, options.png)
        && !options.batch()) {
        std::fprintf(stderr, "%s\n", pictures.failure().c_str());
        return options.png ? mosaiq::ExitWrite : mosaiq::ExitPicture;
    }
    // A batch without the module converts its plain photos; the others say what is missing.
    // A page of millions of cells goes out in large writes. The buffer is given: asked only for
    // a size, the C library keeps a buffer of one page.
    static char standardOutputBuffer[1 << 20];
    std::setvbuf(stdout, standardOutputBuffer, _IOFBF, sizeof standardOutputBuffer);
    mosaiq::catchInterruptions();
    try {
        const int exit = mosaiq::runCli(options, stdout, stderr, pictures);
        mosaiq::endIfInterrupted();
        return exit;
    } catch (const std::bad_alloc&) {
        // The output files asked for were removed on the way out; only the page on standard
        // output may be cut short.
        std::fprintf(stderr, "%s\n", mosaiq::NotEnoughMemory);
        return mosaiq::ExitMemory;
    }
}
