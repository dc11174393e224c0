#pragma once

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
// hundreds of megabytes, which the module never holds whole.
class ChunkStream {
public:
    using Output = std::function<void(WebChannel, std::string_view)>;
    static constexpr std::size_t ChunkBytes = std::size_t(1) << 20;
    // A piece this large goes on as it comes, with no copy here: the page's script copies every
    // chunk out of the module's memory anyway. Not for the posts, whose chunks are whole posts.
    static constexpr std::size_t DirectBytes = std::size_t(32) << 10;

    ChunkStream(WebChannel channel, Output output);

    void append(std::string_view bytes);
    // Hands on what is held, if anything.
    void flush();

private:
    WebChannel m_channel;
    Output m_output;
    std::string m_held;
};

} // namespace mosaiq
