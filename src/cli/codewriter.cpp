#include "cli/codewriter.h"

#include "cli/poststream.h"
#include "cli/streamedcode.h"
#include "output/codes/blogcode.h"
#include "output/codes/bracketcode.h"

#include <new>

namespace mosaiq {

namespace {

    // What the queue may hold before the run waits: a few rows of a wide square page. A single
    // row larger than that is queued alone.
    constexpr std::size_t MostQueuedBytes = std::size_t(16) << 20;

} // namespace

CodeWriter::CodeWriter(Codes codes)
    : m_codes(codes)
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
    // The HTML code is written here, beside the page: the translation of the blog code is the
    // larger work, and the writer's alone.
    if (m_codes.html && !m_codes.html->add(row.html)) {
        m_failed = true;
        return;
    }
    const bool html = m_codes.blog && !m_codes.bracket;
    if (!html && !m_codes.bracket)
        return;
    const std::size_t bytes
        = (html ? row.html.size() : 0) + (m_codes.bracket ? m_codes.bracket->lastRow().size() : 0);
    std::unique_lock lock(m_mutex);
    m_changed.wait(
        lock, [&] { return m_queue.empty() || m_queuedBytes + bytes <= MostQueuedBytes; });
    Row queued;
    if (!m_spare.empty()) {
        queued = std::move(m_spare.back());
        m_spare.pop_back();
    }
    lock.unlock();
    // The copies are made outside the lock, so the writer is not kept waiting.
    if (html)
        queued.html.assign(row.html);
    if (m_codes.bracket)
        queued.bracket.assign(m_codes.bracket->lastRow());
    lock.lock();
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
        m_queuedBytes -= row.html.size() + row.bracket.size();
        m_spare.push_back(std::move(row));
        m_changed.notify_all();
    }
}

void CodeWriter::write(const Row& row)
{
    bool written = true;
    if (m_codes.blog && !m_codes.bracket) {
        m_translated.clear();
        appendBlogCode(m_translated, row.html);
        written = m_codes.blog->add(m_translated) && written;
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
