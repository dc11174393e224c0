#include "cli/pictureconversion.h"

#include "cli/clirun.h"
#include "cli/interruption.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"
#include "output/codes/codestats.h"
#include "output/files/codefile.h"
#include "output/files/outputfile.h"
#include "output/png/pngfile.h"
#include "output/preview/pagerecord.h"
#include "run/codeoutputs.h"
#include "run/gridbudget.h"
#include "run/preparedrun.h"
#include "wording/cliwords.h"
#include "wording/forumwords.h"
#include "wording/picturewords.h"
#include "wording/pngwords.h"
#include "wording/runmessages.h"

#include <memory>
#include <optional>
#include <system_error>
#include <thread>

namespace mosaiq {

namespace {

    // The PNG comes from its painting threads a strip at a time, each strip about a megabyte:
    // a thread that finds the disk writes a few strips behind goes on painting rather than
    // wait for them.
    constexpr int PngBlocksAhead = 4;

    // The page when another output took the standard output: made, and thrown away.
    class NoPage : public PageSink {
    public:
        bool writeLine(std::string_view) override { return true; }
    };

    // One picture's conversion in its steps: the checks, the reading, the grid, the run, which
    // writes every output as the rows come, and the committing, which puts them under their
    // names once all are complete.
    class PictureConversion {
    public:
        PictureConversion(const CliOptions& options, const std::string& picture,
            const PictureOutputs& outputs, RandomGlyphs& random, const ConversionContext& context)
            : m_options(options)
            , m_picture(picture)
            , m_outputs(outputs)
            , m_random(random)
            , m_context(context)
            , m_dialect(*findDialect(options.dialect))
        {
        }

        int convert()
        {
            int exit = check();
            if (exit == ExitOk)
                exit = read();
            if (exit == ExitOk)
                exit = chooseGrid();
            if (exit == ExitOk)
                exit = run();
            if (exit == ExitOk)
                exit = pictureWhole();
            if (exit == ExitOk)
                exit = commit();
            return exit;
        }

    private:
        int check();
        int read();
        int chooseGrid();
        int run();
        int pictureWhole();
        int commit();

        bool openOutputs();
        int writeFailed(const std::string& message);
        int pageFailed();
        bool codesFailed();
        CodeMeasure measureOf(const ForumDialect* code) const
        {
            return CodeMeasure { m_start, m_input, code, m_options.style, m_randomAtStart,
                m_options.fitUnit };
        }

        const CliOptions& m_options;
        const std::string& m_picture;
        const PictureOutputs& m_outputs;
        RandomGlyphs& m_random;
        const ConversionContext& m_context;
        const ForumDialect& m_dialect;

        LoadedPicture m_loaded;
        std::shared_ptr<const std::u32string> m_characters; // what m_input views
        RunStart m_start;
        RowInput m_input;
        // Whatever measures a grid draws from copies of the generator as the run will start it.
        RandomGlyphs m_randomAtStart;

        // Declared before the outputs, so that the signals wait until their temporary files
        // are gone.
        std::optional<WritingOutputs> m_writing;
        std::unique_ptr<OutputFile> m_pageOutput;
        PageFile m_streamPage;
        NoPage m_noPage;
        PageSink* m_page = &m_noPage;
        std::optional<CodeFile> m_htmlCode;
        std::optional<CodeFile> m_blogCode;
        std::optional<PostFiles> m_posts;
        std::optional<CodeOutputs> m_codes;
        std::shared_ptr<PageRecord> m_record;
        std::optional<CodeStats> m_stats;
        std::unique_ptr<PageImage> m_pagePicture;
        std::unique_ptr<OutputFile> m_pngOutput;
        // Declared after the outputs it reads, so that it ends before they go.
        std::jthread m_uncaching;
    };

    int PictureConversion::writeFailed(const std::string& message)
    {
        if (interrupted())
            return ExitInterrupted;
        m_context.say(message);
        return ExitWrite;
    }

    int PictureConversion::pageFailed()
    {
        return writeFailed(m_pageOutput ? m_pageOutput->failureText()
                                        : cli::cannotWriteStandardOutput(m_streamPage.errorText()));
    }

    // The window's checks, in its order, before the picture is read.
    int PictureConversion::check()
    {
        const std::string refusal = checkBeforePicture(m_options, m_picture);
        if (!refusal.empty())
            m_context.say(refusal);
        return refusal.empty() ? ExitOk : ExitRefused;
    }

    int PictureConversion::read()
    {
        m_loaded = m_context.readPicture(m_picture);
        if (m_loaded.isNull()) {
            m_context.say(cli::cannotReadPicture(m_picture, m_loaded.failure));
            return m_loaded.error == PictureError::TooLarge ? ExitMemory : ExitPicture;
        }
        // The palette is chosen from every pixel, so it waits for the whole picture.
        if (m_options.paletteCount && pictureWhole() != ExitOk)
            return ExitPicture;
        m_randomAtStart = m_random;
        return ExitOk;
    }

    // A photo converted while its rows were still decoded: if its data broke off, the outputs
    // made from it are dropped as for a picture that could not be read.
    int PictureConversion::pictureWhole()
    {
        const RowArrival* arrival = m_loaded.pixels.arrival;
        if (!arrival || arrival->complete())
            return ExitOk;
        m_context.say(cli::cannotReadPicture(m_picture, pictureErrorWords(PictureError::Damaged)));
        return ExitPicture;
    }

    // The checks again with the picture's sizes, and the grid of a size budget, which measures
    // the bracket code when it is written, else the HTML code.
    int PictureConversion::chooseGrid()
    {
        PreparedRun run = prepareRun(m_options, { m_picture, m_loaded.pixels }, m_randomAtStart,
            !m_outputs.blogCode.empty());
        if (!run.message.empty())
            m_context.say(run.message);
        if (!run.refusal.empty()) {
            m_context.say(run.refusal);
            return ExitRefused;
        }
        m_start = std::move(run.start);
        m_input = run.input;
        m_characters = std::move(run.characters);
        return ExitOk;
    }

    // Every output file is opened before the first row, so that one that cannot be made
    // refuses the run before any work.
    bool PictureConversion::openOutputs()
    {
        if (m_outputs.page == "-") {
            m_streamPage.attach(m_context.pageStream);
            if (m_context.pageInBackground)
                m_streamPage.writeInBackground();
            m_page = &m_streamPage;
        } else if (!m_outputs.page.empty()) {
            m_pageOutput = std::make_unique<OutputFile>(m_outputs.page);
            m_page = &m_pageOutput->file();
            if (!m_pageOutput->open()) {
                pageFailed();
                return false;
            }
            if (m_context.pageInBackground)
                m_pageOutput->file().writeInBackground(m_pageOutput->replacesFile());
        }
        for (auto* code : { &m_blogCode, &m_htmlCode }) {
            if (*code && !(*code)->open()) {
                writeFailed((*code)->failureText());
                return false;
            }
        }
        // The codes are written beside the page, so that the run's thread only makes them:
        // each is then started on its disk as it goes when it replaces a file, as the page is.
        if (m_context.pageInBackground) {
            for (auto* code : { &m_blogCode, &m_htmlCode }) {
                if (*code)
                    (*code)->writeInBackground();
            }
        }
        if (!m_outputs.png.empty()) {
            m_pngOutput = std::make_unique<OutputFile>(m_outputs.png);
            if (!m_pngOutput->open()) {
                writeFailed(m_pngOutput->failureText());
                return false;
            }
            // A PNG that replaces a file has its disk writes started as it is written, as the
            // page has: the rename would otherwise wait for them all after the last strip.
            if (m_context.pageInBackground && m_pngOutput->replacesFile())
                m_pngOutput->file().writeInBackground(true, PngBlocksAhead);
        }
        return true;
    }

    bool PictureConversion::codesFailed()
    {
        return m_codes && m_codes->failed();
    }

    int PictureConversion::run()
    {
        m_writing.emplace();
        const StyleFlags& style = m_options.style;
        if (!m_outputs.htmlCode.empty())
            m_htmlCode.emplace(m_outputs.htmlCode);
        if (!m_outputs.blogCode.empty())
            m_blogCode.emplace(m_outputs.blogCode);
        if (m_blogCode && m_options.split)
            m_posts.emplace(m_outputs.blogCode);
        if (!openOutputs())
            return ExitWrite;
        FixedSettings settings(m_input, style);
        RowLoop loop(m_start, settings, *m_page, m_random);
        if (m_htmlCode || m_blogCode) {
            m_codes.emplace(
                CodeOutputs::Sinks { m_htmlCode ? &*m_htmlCode : nullptr,
                    m_blogCode ? &*m_blogCode : nullptr, m_posts ? &*m_posts : nullptr },
                m_dialect, m_options.bracketFromCells(), style, m_start.colourForms);
            loop.addSink(*m_codes);
        }
        // The picture of the page keeps four bytes a cell until it is painted.
        if (!m_outputs.png.empty()) {
            m_record = std::make_shared<PageRecord>(m_start.background, style);
            loop.addSink(*m_record);
        }
        if (m_options.stats) {
            m_stats.emplace();
            loop.addSink(*m_stats);
        }
        LoopStep result = loop.step();
        while (result == LoopStep::RowWritten && !codesFailed() && !interrupted())
            result = loop.step();
        if (interrupted())
            return ExitInterrupted;
        if (result == LoopStep::Refused) {
            m_context.say(rowOutcomeMessage(loop.refusal()));
            return ExitRefused;
        }
        if (result == LoopStep::PageFailed)
            return pageFailed();
        if (m_codes)
            m_codes->finish();
        if (m_posts && m_posts->failed())
            return writeFailed(m_posts->failureText());
        for (auto* code : { &m_blogCode, &m_htmlCode }) {
            if (*code && (*code)->failed())
                return writeFailed((*code)->failureText());
        }
        // A code that cannot be posted, a row longer than a post or a message, refuses the run
        // whole.
        if (m_codes && m_codes->rowTooLong()) {
            m_context.say(postRowRefusal(measureOf(&m_dialect), loopCount(m_input.columns),
                loop.rowCount(), m_codes->rowTooLong(), m_dialect.rowPerMessage));
            return ExitRefused;
        }
        // So does a picture too large to save.
        if (m_record) {
            m_record->setComplete();
            // The page is laid out for its picture on this thread alone: meanwhile another
            // drops the cached copies of the files about to be replaced, which the renames
            // would otherwise drop after the last strip.
            if (m_context.pageInBackground) {
                try {
                    m_uncaching = std::jthread([this] {
                        for (const OutputFile* output : { m_pageOutput.get(), m_pngOutput.get() })
                            if (output)
                                output->uncacheReplaced();
                    });
                } catch (const std::system_error&) {
                    // No thread: the renames drop them.
                }
            }
            m_pagePicture = m_context.paintPage(std::move(m_record), m_options.scale);
            if (!m_pagePicture)
                return ExitWrite;
            if (!m_pagePicture->fits()) {
                m_context.say(cli::pngTooLarge(
                    m_pagePicture->width(), m_pagePicture->height(), PngFile::LargestSide));
                return ExitRefused;
            }
        }
        return ExitOk;
    }

    int PictureConversion::commit()
    {
        // Everything is complete and closed before anything takes its name: a failure here
        // leaves the earlier outputs as they were.
        if (m_page == &m_streamPage ? !m_streamPage.close()
                                    : m_pageOutput && !m_pageOutput->file().close())
            return pageFailed();
        for (auto* code : { &m_blogCode, &m_htmlCode }) {
            if (*code && !(*code)->finish())
                return writeFailed((*code)->failureText());
        }
        if (m_pagePicture) {
            std::string error;
            if (!m_pagePicture->write(m_pngOutput->file(), error, m_context.pngThreads, interrupted)
                || !m_pngOutput->file().close())
                return writeFailed(
                    m_pngOutput->failureText(error.empty() ? m_pngOutput->errorText() : error));
        }
        if (m_uncaching.joinable())
            m_uncaching.join();
        if (m_pageOutput && !m_pageOutput->commit())
            return pageFailed();
        if (m_blogCode && !m_blogCode->commit())
            return writeFailed(m_blogCode->failureText());
        if (m_posts && !m_posts->commit())
            return writeFailed(m_posts->failureText());
        if (m_posts && m_posts->parts() > 0)
            m_context.say(cli::codeSplit(
                m_posts->parts(), m_posts->partPath(1), m_posts->partPath(m_posts->parts())));
        if (m_htmlCode && !m_htmlCode->commit())
            return writeFailed(m_htmlCode->failureText());
        if (m_pngOutput && !m_pngOutput->commit())
            return writeFailed(m_pngOutput->failureText());
        if (m_stats)
            m_context.say(
                statsText(*m_stats, m_codes ? m_codes->blogBytes() : 0, m_options.dialect));
        return ExitOk;
    }

} // namespace

int convertPicture(const CliOptions& options, const std::string& picture,
    const PictureOutputs& outputs, RandomGlyphs& random, const ConversionContext& context)
{
    return PictureConversion(options, picture, outputs, random, context).convert();
}

} // namespace mosaiq
