#pragma once

#include "convert/rowloop.h"
#include "output/files/codefile.h"
#include "output/files/outputfile.h"
#include "output/files/pagefile.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace mosaiq {

// The files of one run of mosaiq-cli: the page (a file, the standard output, or made and thrown
// away when another output took that), the HTML code, the blog code and its posts, and the PNG.
// Every file is opened before the first row, so that one that cannot be made refuses the run
// before any work; written under a temporary name as the rows come; and put under its name only
// once every output is complete, so that a run that fails leaves the earlier files as they were.
class RunFiles {
public:
    struct Names {
        std::string page; // "-": the page stream; empty: not written
        std::string htmlCode; // empty: not written
        std::string blogCode; // empty: not written
        bool posts = false; // the blog code's posts beside it: BLOG.1, BLOG.2...
        std::string png; // empty: not written
    };

    // inBackground: each file written on a thread of its own while the rows are made, for one
    // picture at a time; not for a batch, which keeps every core busy already.
    RunFiles(Names names, std::FILE* pageStream, bool inBackground);
    ~RunFiles();
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    // False when one could not be made: failureText() says which and why.
    bool open();

    PageSink& page() { return *m_page; }
    CodeSink* htmlCode() { return m_htmlCode ? &*m_htmlCode : nullptr; }
    CodeSink* blogCode() { return m_blogCode ? &*m_blogCode : nullptr; }
    PostSink* posts() { return m_posts ? &*m_posts : nullptr; }
    // The PNG's file, for its writer; null when none is asked.
    PageFile* png() { return m_png ? &m_png->file() : nullptr; }

    // Whether writing a code or a post failed; failureText() then says which.
    bool codesFailed();
    // The French message of the last failure found, naming its file.
    const std::string& failureText() const { return m_failure; }
    // The page's failure, for a run whose page the loop could not write.
    const std::string& pageFailed();
    // The PNG's, with the reason its writer gave, if any.
    const std::string& pngFailed(const std::string& reason);

    // Drops, on a thread of its own, the system's cached copies of the files that the page and
    // the PNG replace, which the renames would otherwise drop after the last strip.
    void uncacheReplaced();
    // Closes the page and the codes, still under their temporary names. False on failure.
    bool close();
    // Puts every output under its name. False on failure.
    bool commit();

    // The posts written, and the name of the number-th.
    std::size_t postCount() const { return m_posts ? m_posts->parts() : 0; }
    std::string postPath(std::size_t number) const { return m_posts->partPath(number); }

private:
    bool fail(std::string text);

    Names m_names;
    std::FILE* m_pageStream;
    bool m_inBackground;
    std::unique_ptr<OutputFile> m_pageOutput;
    PageFile m_streamPage;
    // The page when another output took the standard output: made, and thrown away.
    class NoPage : public PageSink {
    public:
        bool writeLine(std::string_view) override { return true; }
    } m_noPage;
    PageSink* m_page = &m_noPage;
    std::optional<CodeFile> m_htmlCode;
    std::optional<CodeFile> m_blogCode;
    std::optional<PostFiles> m_posts;
    std::unique_ptr<OutputFile> m_png;
    std::string m_failure;
    // Declared after the outputs it reads, so that it ends before they go.
    std::jthread m_uncaching;
};

} // namespace mosaiq
