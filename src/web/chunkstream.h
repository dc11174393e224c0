#pragma once

#include "output/codes/codesink.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace mosaiq {

// What the page in the browser receives of a run, each through its own stream.
enum class WebChannel : int {
    Page = 0, // Windows-1252, CR LF line ends, as the page file holds it
    HtmlCode = 1,
    BlogCode = 2, // the blog code, or the forum code of the chosen dialect
    Post = 3, // one post of a split code: each flush is a whole post
    Cells = 4, // the cells for the drawn preview (see CellStream)
};

// Hands a stream on in chunks of about ChunkBytes: the page and the codes of a large photo are
// hundreds of megabytes, which the module never holds whole. The posts' stream hands on each
// post whole.
class ChunkStream : public CodeSink, public PostSink {
public:
    // size bytes of the stream, from bytes on; bytes null once only counted (countOnly).
    using Output = std::function<void(WebChannel, const char* bytes, std::size_t size)>;
    static constexpr std::size_t ChunkBytes = std::size_t(1) << 20;
    // Without the script's memory (Room), a piece this large goes on as it comes, with no copy
    // here: the script copies every chunk out of the module's memory anyway. Not for the posts,
    // whose chunks are whole posts.
    static constexpr std::size_t DirectBytes = std::size_t(32) << 10;
    // Memory of RoomBytes that the page's script hands the stream to write into and keeps as it
    // is (its slabs), so that its bytes are never copied out of the module during the run; null
    // when it keeps none (the stream then hands on chunks of its own memory, to be copied).
    using Room = std::function<char*(WebChannel)>;
    static constexpr std::size_t RoomBytes = std::size_t(8) << 20;

    ChunkStream(WebChannel channel, Output output, Room room = {});

    // Never fails: the page's script takes every chunk.
    bool append(std::string_view bytes) override;
    bool post(std::string_view opening, std::string_view rows, std::string_view closing) override;
    WebChannel channel() const { return m_channel; }
    // Hands on what is held, if anything.
    void flush();
    // From now on the bytes are only counted, and handed on as sizes: the script drops a large
    // run's outputs and writes the one asked for again, so that copying them would only cost a
    // large photo's run a good part of its time, and its slabs' fresh memory.
    void countOnly();

private:
    // Fills the script's memory, taking bytes from the front of bytes; false when it has none to
    // give, bytes then holding what is left for the stream's own chunks.
    bool fill(std::string_view& bytes);

    WebChannel m_channel;
    Output m_output;
    Room m_room;
    std::string m_held;
    // The script's memory being filled: from m_handed on, not handed on yet; up to m_end.
    char* m_handed = nullptr;
    char* m_at = nullptr;
    char* m_end = nullptr;
    bool m_counting = false;
    std::size_t m_counted = 0; // not handed on yet
};

} // namespace mosaiq
