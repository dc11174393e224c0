#include "cli/pictureconversion.h"

#include "cli/clirun.h"
#include "cli/interruption.h"
#include "convert/numbertext.h"
#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/codes/codefit.h"
#include "output/codes/codestats.h"
#include "output/files/runfiles.h"
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

namespace mosaiq {

namespace {

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

        int writeFailed(const std::string& message);
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
        std::optional<RunFiles> m_files;
        std::optional<CodeOutputs> m_codes;
        std::shared_ptr<PageRecord> m_record;
        std::optional<CodeStats> m_stats;
        std::unique_ptr<PageImage> m_pagePicture;
    };

    int PictureConversion::writeFailed(const std::string& message)
    {
        if (interrupted())
            return ExitInterrupted;
        m_context.say(message);
        return ExitWrite;
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

    int PictureConversion::run()
    {
        m_writing.emplace();
        const StyleFlags& style = m_options.style;
        m_files.emplace(RunFiles::Names { m_outputs.page, m_outputs.htmlCode, m_outputs.blogCode,
                            m_options.split, m_outputs.png },
            m_context.pageStream, m_context.pageInBackground);
        if (!m_files->open())
            return writeFailed(m_files->failureText());
        FixedSettings settings(m_input, style);
        RowLoop loop(m_start, settings, m_files->page(), m_random);
        if (m_files->htmlCode() || m_files->blogCode()) {
            m_codes.emplace(
                CodeOutputs::Sinks { m_files->htmlCode(), m_files->blogCode(), m_files->posts() },
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
        while (result == LoopStep::RowWritten && !(m_codes && m_codes->failed()) && !interrupted())
            result = loop.step();
        if (interrupted())
            return ExitInterrupted;
        if (result == LoopStep::Refused) {
            m_context.say(rowOutcomeMessage(loop.refusal()));
            return ExitRefused;
        }
        if (result == LoopStep::PageFailed)
            return writeFailed(m_files->pageFailed());
        if (m_codes)
            m_codes->finish();
        if (m_files->codesFailed())
            return writeFailed(m_files->failureText());
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
            // drops the cached copies of the files about to be replaced.
            m_files->uncacheReplaced();
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
        if (!m_files->close())
            return writeFailed(m_files->failureText());
        if (m_pagePicture) {
            std::string error;
            PageFile& png = *m_files->png();
            if (!m_pagePicture->write(png, error, m_context.pngThreads, interrupted)
                || !png.close())
                return writeFailed(m_files->pngFailed(error));
        }
        if (!m_files->commit())
            return writeFailed(m_files->failureText());
        if (const std::size_t posts = m_files->postCount())
            m_context.say(cli::codeSplit(posts, m_files->postPath(1), m_files->postPath(posts)));
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
