#include "cli/batchrun.h"

#include "cli/clirun.h"
#include "cli/interruption.h"
#include "cli/pictureconversion.h"
#include "output/files/fileidentity.h"
#include "output/files/outputnames.h"
#include "output/files/outputtarget.h"
#include "wording/batchwords.h"
#include "wording/cliwords.h"
#include "wording/runmessages.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <unistd.h>
#include <utility>

namespace mosaiq {

namespace {

    std::string fileNameOf(const std::string& path)
    {
        std::string name = path.substr(path.find_last_of('/') + 1);
        return name.empty() || name == "." || name == ".." ? "image" : name;
    }

    // "photo.jpg" with n = 2 gives "photo-2.jpg"; a name without extension gets "-2" at its end.
    std::string numbered(const std::string& name, int n)
    {
        const std::size_t dot = name.find_last_of('.');
        std::string suffix(1, '-');
        suffix += std::to_string(n);
        if (dot == std::string::npos || dot == 0)
            return name + suffix;
        return name.substr(0, dot) + suffix + name.substr(dot);
    }

    // Writes the batch's messages whole, one thread at a time, and keeps the progress line at
    // the bottom of a terminal.
    class BatchReporter {
    public:
        BatchReporter(std::FILE* err, std::size_t total)
            : m_err(err)
            , m_total(total)
            , m_terminal(::isatty(::fileno(err)) == 1)
        {
        }

        void say(const std::string& message)
        {
            const std::lock_guard lock(m_mutex);
            clearProgress();
            std::fputs(message.c_str(), m_err);
            std::fputc('\n', m_err);
            showProgress();
        }

        void begin()
        {
            const std::lock_guard lock(m_mutex);
            showProgress();
        }

        void pictureDone()
        {
            const std::lock_guard lock(m_mutex);
            ++m_done;
            showProgress();
        }

        void finish(const std::string& summary)
        {
            const std::lock_guard lock(m_mutex);
            clearProgress();
            std::fputs(summary.c_str(), m_err);
            std::fputc('\n', m_err);
            std::fflush(m_err);
        }

    private:
        void clearProgress()
        {
            if (m_terminal)
                std::fputs("\r\033[K", m_err);
        }
        void showProgress()
        {
            if (!m_terminal)
                return;
            std::fputc('\r', m_err);
            std::fputs(cli::batchProgress(m_done, m_total).c_str(), m_err);
            std::fflush(m_err);
        }

        std::mutex m_mutex;
        std::FILE* m_err;
        std::size_t m_total;
        std::size_t m_done = 0;
        bool m_terminal;
    };

} // namespace

std::vector<BatchJob> planBatch(const std::vector<std::string>& pictures, const std::string& dir)
{
    std::vector<BatchJob> jobs;
    std::set<FileIdentity> seen;
    std::set<std::string> taken;
    const std::string folder = dir.ends_with('/') ? dir : dir + "/";
    // Where the folder takes "Photo" and "photo" for one name, so must the names given out.
    const bool foldsCase = folderFoldsCase(dir);
    auto key = [foldsCase](std::string name) {
        if (foldsCase)
            std::transform(name.begin(), name.end(), name.begin(),
                [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        return name;
    };
    for (const std::string& picture : pictures) {
        BatchJob job;
        job.picture = picture;
        FileIdentity id;
        if (fileIdentityOf(picture, id) && !seen.insert(id).second) {
            job.duplicate = true;
            jobs.push_back(job);
            continue;
        }
        const std::string name = fileNameOf(picture);
        std::string candidate = name;
        for (int n = 2; taken.contains(key(candidate)); ++n)
            candidate = numbered(name, n);
        taken.insert(key(candidate));
        job.outputBase = folder + candidate;
        jobs.push_back(job);
    }
    return jobs;
}

std::string pagePathOf(const BatchJob& job)
{
    return job.outputBase + ".html";
}

std::string htmlCodePathOf(const BatchJob& job)
{
    return job.outputBase + ".html-code.txt";
}

std::string blogCodePathOf(const BatchJob& job)
{
    return job.outputBase + ".blog-code.txt";
}

std::string pngPathOf(const BatchJob& job)
{
    return job.outputBase + ".png";
}

int runBatch(const CliOptions& options, std::FILE* err, const CliPictures& pictures)
{
    if (const std::string problem = outputFolderProblem(options.outputDir); !problem.empty()) {
        std::fputs((problem + "\n").c_str(), err);
        return ExitWrite;
    }
    const std::vector<BatchJob> jobs = planBatch(options.pictures, options.outputDir);
    std::set<FileIdentity> pictureFiles;
    for (const BatchJob& job : jobs) {
        FileIdentity id;
        if (fileIdentityOf(job.picture, id))
            pictureFiles.insert(id);
    }

    BatchReporter reporter(err, jobs.size());
    reporter.begin();
    constexpr int Duplicate = -1;
    std::vector<int> exits(jobs.size(), ExitOk);
    std::atomic<std::size_t> next { 0 };
    // Pictures are read side by side; a read takes a helper thread for a large photo only
    // where every job can have one beside it without crowding the cores.
    const ReadingThreads readingThreads
        = 2 * unsigned(options.jobs) <= std::max(1u, std::thread::hardware_concurrency())
        ? ReadingThreads::WithHelper
        : ReadingThreads::CallerOnly;

    // The jobs share the cores: a PNG is painted and compressed on the cores no other job takes,
    // its job's own thread among them.
    const unsigned pngThreads = std::max(1u,
        std::max(1u, std::thread::hardware_concurrency())
            / unsigned(std::clamp<std::size_t>(jobs.size(), 1, std::size_t(options.jobs))));

    auto convertOne = [&](const BatchJob& job) -> int {
        auto say = [&](const std::string& message) {
            reporter.say(cli::aboutPicture(job.picture, message));
        };
        if (job.duplicate) {
            say(cli::GivenTwice);
            return Duplicate;
        }
        const PictureOutputs outputs { pagePathOf(job), htmlCodePathOf(job), blogCodePathOf(job),
            options.png ? pngPathOf(job) : std::string() };
        for (const std::string& output :
            { outputs.page, outputs.htmlCode, outputs.blogCode, outputs.png }) {
            FileIdentity id;
            if (fileIdentityOf(output, id) && pictureFiles.contains(id)) {
                say(cli::wouldOverwritePicture(output));
                return ExitWrite;
            }
        }
        // Pictures are read, converted and painted side by side: nothing is shared.
        ConversionContext context;
        context.say = say;
        serveConversion(context, pictures, readingThreads);
        context.pngThreads = pngThreads;
        // Each picture draws its random glyphs as a single call on it would.
        RandomGlyphs random;
        try {
            return convertPicture(options, job.picture, outputs, random, context);
        } catch (const std::bad_alloc&) {
            say(NotEnoughMemory);
            return ExitMemory;
        }
    };
    auto worker = [&] {
        for (std::size_t i = next++; i < jobs.size() && !interrupted(); i = next++) {
            exits[i] = convertOne(jobs[i]);
            reporter.pictureDone();
        }
    };
    const std::size_t threads = std::min<std::size_t>(std::size_t(options.jobs), jobs.size());
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(worker);
    worker();
    for (auto& thread : pool)
        thread.join();

    std::size_t converted = 0, failed = 0, duplicates = 0;
    int firstFailure = ExitOk;
    for (int exit : exits) {
        if (exit == Duplicate) {
            ++duplicates;
        } else if (exit == ExitOk) {
            ++converted;
        } else {
            ++failed;
            if (firstFailure == ExitOk)
                firstFailure = exit;
        }
    }
    // A stopped batch has no summary: the signal ends the program, as it would any other.
    if (interrupted())
        return ExitInterrupted;
    reporter.finish(cli::batchSummary(jobs.size(), converted, failed, duplicates));
    return firstFailure;
}

} // namespace mosaiq
