#pragma once

#include "convert/rowloop.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mosaiq {

class BracketCode;
class PostStream;
class StreamedCode;

// Writes the codes of a run: the HTML code as each row comes, and on a thread of its own, while
// the run makes the next rows and writes the page, the blog code (translated from the HTML rows
// as they come, or the bracket code's rows) and its posts. A translated blog code whose file is
// written in the background is made there at once. Each row for the thread is queued in
// memory of its own; the queue holds a few megabytes at most, the run waiting when the disk
// falls behind.
class CodeWriter : public RowSink {
public:
    struct Codes {
        StreamedCode* html = nullptr;
        StreamedCode* blog = nullptr;
        // The bracket code whose rows blog and posts take; nullptr: blog is translated.
        const BracketCode* bracket = nullptr;
        PostStream* posts = nullptr;
    };

    explicit CodeWriter(Codes codes);
    ~CodeWriter() override; // stops without writing what is still queued
    CodeWriter(const CodeWriter&) = delete;
    CodeWriter& operator=(const CodeWriter&) = delete;

    void rowBuilt(const BuiltRow& row) override;
    // Whether a write failed; the run then ends. Safe from the run's thread.
    bool failed() const { return m_failed.load(); }
    // Waits until every queued row is written, and stops the thread. Throws std::bad_alloc when
    // the writer ran out of memory.
    void finish();

private:
    struct Row {
        // The blog code translated from the HTML row: its first blogBytes bytes. The rest is
        // room kept for the next row, counted in the queue's bytes as the memory it is.
        std::string blog;
        std::size_t blogBytes = 0;
        std::string bracket;
        std::size_t memory() const { return blog.size() + bracket.size(); }
    };
    void work();
    void write(const Row& row);
    void stop();

    Codes m_codes;
    // The blog code translated into the memory of its file written in the background, on the
    // run's thread, rather than queued for the writer.
    bool m_blogInPlace;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Row> m_queue;
    std::vector<Row> m_spare; // rows written, their memory kept for the next ones
    std::size_t m_queuedBytes = 0;
    bool m_closing = false;
    bool m_discard = false;
    std::atomic<bool> m_failed { false };
    bool m_outOfMemory = false; // read once the thread has ended
    std::thread m_thread;
};

} // namespace mosaiq
