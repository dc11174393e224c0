#include "output/files/codewriter.h"

#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"
#include "output/files/poststream.h"
#include "output/files/streamedcode.h"

#include <new>

namespace mosaiq {

namespace {

    // What the queue may hold before the run waits: a few rows of a wide square page. A single
    // row larger than that is queued alone.
    constexpr std::size_t MostQueuedBytes = std::size_t(16) << 20;

} // namespace

CodeWriter::CodeWriter(Codes codes)
    : m_codes(codes)
    , m_blogInPlace(codes.blog && !codes.bracket && codes.blog->inBackground())
    , m_thread([this] { work(); })
{
}

CodeWriter::~CodeWriter()
{
    stop();
}

void CodeWriter::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
        m_discard = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CodeWriter::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    // Told where the run can tell the user.
    if (m_outOfMemory)
        throw std::bad_alloc();
}

void CodeWriter::rowBuilt(const BuiltRow& row)
{
    if (m_failed.load())
        return;
    // The HTML code is written here, beside the page; the writer's thread writes the blog code.
    if (m_codes.html && !m_codes.html->add(row.html)) {
        m_failed = true;
        return;
    }
    const bool translate = m_codes.blog && !m_codes.bracket;
    if (!translate && !m_codes.bracket)
        return;
    if (translate && m_blogInPlace) {
        // Made where it is written from: the blog code's own thread writes it.
        char* out = m_codes.blog->lend(mostBlogCodeBytes(row.html.size()));
        if (!out || !m_codes.blog->commitLent(std::size_t(writeBlogCodeOfRow(out, row) - out)))
            m_failed = true;
        return;
    }
    std::unique_lock lock(m_mutex);
    Row queued;
    if (!m_spare.empty()) {
        queued = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    // Translated here, outside the lock, straight into the queued row: a copy of the HTML row
    // for the writer would cost more than the translation.
    if (translate) {
        if (queued.blog.size() < mostBlogCodeBytes(row.html.size()))
            queued.blog.resize(mostBlogCodeBytes(row.html.size()));
        queued.blogBytes
            = std::size_t(writeBlogCodeOfRow(queued.blog.data(), row) - queued.blog.data());
    }
    if (m_codes.bracket)
        queued.bracket.assign(m_codes.bracket->lastRow());
    const std::size_t bytes = queued.memory();
    lock.lock();
    m_changed.wait(
        lock, [&] { return m_queue.empty() || m_queuedBytes + bytes <= MostQueuedBytes; });
    m_queuedBytes += bytes;
    m_queue.push_back(std::move(queued));
    lock.unlock();
    m_changed.notify_all();
}

void CodeWriter::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [&] { return m_closing || !m_queue.empty(); });
        if (m_discard || (m_closing && m_queue.empty()))
            return;
        Row row = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        if (!m_failed.load()) {
            try {
                write(row);
            } catch (const std::bad_alloc&) {
                m_outOfMemory = true;
                m_failed = true;
            }
        }
        lock.lock();
        m_queuedBytes -= row.memory();
        m_spare.push_back(std::move(row));
        m_changed.notify_all();
    }
}

void CodeWriter::write(const Row& row)
{
    bool written = true;
    if (m_codes.blog && !m_codes.bracket) {
        written = m_codes.blog->add(std::string_view(row.blog.data(), row.blogBytes)) && written;
    } else if (m_codes.blog) {
        written = m_codes.blog->add(row.bracket) && written;
    }
    // A row too long for a post is not a failure of the writing: the run says so at its end.
    if (m_codes.posts && !m_codes.posts->addRow(row.bracket) && m_codes.posts->failed())
        written = false;
    if (!written)
        m_failed = true;
}

} // namespace mosaiq
