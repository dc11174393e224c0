#include "output/files/runfiles.h"

#include "wording/cliwords.h"

#include <system_error>

namespace mosaiq {

namespace {

    // The PNG comes from its painting threads a strip at a time, each strip about a megabyte:
    // a thread that finds the disk writes a few strips behind goes on painting rather than
    // wait for them.
    constexpr int PngBlocksAhead = 4;

} // namespace

RunFiles::RunFiles(Names names, std::FILE* pageStream, bool inBackground)
    : m_names(std::move(names))
    , m_pageStream(pageStream)
    , m_inBackground(inBackground)
{
    if (!m_names.htmlCode.empty())
        m_htmlCode.emplace(m_names.htmlCode);
    if (!m_names.blogCode.empty())
        m_blogCode.emplace(m_names.blogCode);
    if (m_blogCode && m_names.posts)
        m_posts.emplace(m_names.blogCode);
}

RunFiles::~RunFiles()
{
    if (m_uncaching.joinable())
        m_uncaching.join();
}

bool RunFiles::fail(std::string text)
{
    m_failure = std::move(text);
    return false;
}

const std::string& RunFiles::pageFailed()
{
    fail(m_pageOutput ? m_pageOutput->failureText()
                      : cli::cannotWriteStandardOutput(m_streamPage.errorText()));
    return m_failure;
}

const std::string& RunFiles::pngFailed(const std::string& reason)
{
    fail(m_png->failureText(reason.empty() ? m_png->errorText() : reason));
    return m_failure;
}

bool RunFiles::open()
{
    if (m_names.page == "-") {
        m_streamPage.attach(m_pageStream);
        if (m_inBackground)
            m_streamPage.writeInBackground();
        m_page = &m_streamPage;
    } else if (!m_names.page.empty()) {
        m_pageOutput = std::make_unique<OutputFile>(m_names.page);
        m_page = &m_pageOutput->file();
        if (!m_pageOutput->open()) {
            pageFailed();
            return false;
        }
        if (m_inBackground)
            m_pageOutput->file().writeInBackground(m_pageOutput->replacesFile());
    }
    for (auto* code : { &m_blogCode, &m_htmlCode }) {
        if (*code && !(*code)->open())
            return fail((*code)->failureText());
    }
    // The codes are written beside the page, so that the run's thread only makes them: each is
    // then started on its disk as it goes when it replaces a file, as the page is.
    if (m_inBackground) {
        for (auto* code : { &m_blogCode, &m_htmlCode }) {
            if (*code)
                (*code)->writeInBackground();
        }
    }
    if (!m_names.png.empty()) {
        m_png = std::make_unique<OutputFile>(m_names.png);
        if (!m_png->open())
            return fail(m_png->failureText());
        // A PNG that replaces a file has its disk writes started as it is written, as the page
        // has: the rename would otherwise wait for them all after the last strip.
        if (m_inBackground && m_png->replacesFile())
            m_png->file().writeInBackground(true, PngBlocksAhead);
    }
    return true;
}

bool RunFiles::codesFailed()
{
    if (m_posts && m_posts->failed())
        return !fail(m_posts->failureText());
    for (auto* code : { &m_blogCode, &m_htmlCode }) {
        if (*code && (*code)->failed())
            return !fail((*code)->failureText());
    }
    return false;
}

void RunFiles::uncacheReplaced()
{
    if (!m_inBackground)
        return;
    try {
        m_uncaching = std::jthread([this] {
            for (const OutputFile* output : { m_pageOutput.get(), m_png.get() })
                if (output)
                    output->uncacheReplaced();
        });
    } catch (const std::system_error&) {
        // No thread: the renames drop them.
    }
}

bool RunFiles::close()
{
    if (m_page == &m_streamPage ? !m_streamPage.close()
                                : m_pageOutput && !m_pageOutput->file().close()) {
        pageFailed();
        return false;
    }
    for (auto* code : { &m_blogCode, &m_htmlCode }) {
        if (*code && !(*code)->finish())
            return fail((*code)->failureText());
    }
    return true;
}

bool RunFiles::commit()
{
    if (m_uncaching.joinable())
        m_uncaching.join();
    if (m_pageOutput && !m_pageOutput->commit()) {
        pageFailed();
        return false;
    }
    if (m_blogCode && !m_blogCode->commit())
        return fail(m_blogCode->failureText());
    if (m_posts && !m_posts->commit())
        return fail(m_posts->failureText());
    if (m_htmlCode && !m_htmlCode->commit())
        return fail(m_htmlCode->failureText());
    if (m_png && !m_png->commit())
        return fail(m_png->failureText());
    return true;
}

} // namespace mosaiq
