#include "cli/clioptions.h"
#include "cli/clirun.h"
#include "cli/runtimefolder.h"
#include "image/picturereader.h"
#include "wording/cliwords.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <memory>
#include <new>

int main(int argc, char* argv[])
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const mosaiq::CliParse parse = mosaiq::parseCliOptions(arguments);
    // Image format plugins are found through the application object; no display is needed. The
    // picture of the page needs fonts, hence Qt's GUI, which starts offscreen unless the user
    // chose a platform: a terminal without a display must do.
    // Outlives the application, which may use it until it goes.
    std::unique_ptr<mosaiq::RuntimeFolder> runtimeFolder;
    std::unique_ptr<QCoreApplication> application;
    if (parse.error.empty() && parse.options.png && !parse.options.help && !parse.options.version) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        runtimeFolder = std::make_unique<mosaiq::RuntimeFolder>();
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    mosaiq::setUpPictureReading();
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
