#include "cli/clioptions.h"
#include "cli/clirun.h"
#include "image/picturereader.h"
#include "wording/cliwords.h"

#include <QCoreApplication>

#include <clocale>
#include <cstdio>
#include <new>

int main(int argc, char* argv[])
{
    // Image format plugins are found through the application object; no display is needed.
    QCoreApplication application(argc, argv);
    mosaiq::setUpPictureReading();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const mosaiq::CliParse parse = mosaiq::parseCliOptions(arguments);
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
    // A page of millions of cells goes out in large writes.
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    try {
        return mosaiq::runCli(parse.options, stdout, stderr);
    } catch (const std::bad_alloc&) {
        // The output files asked for were removed on the way out; only the page on standard
        // output may be cut short.
        std::fprintf(stderr, "%s\n", mosaiq::cli::NotEnoughMemory);
        return mosaiq::ExitMemory;
    }
}
