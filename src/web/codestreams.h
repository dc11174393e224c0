#pragma once

#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "web/chunkstream.h"
#include "web/pagestream.h"

#include <string>

namespace mosaiq {

// The HTML code and the blog code translated from it, handed on row by row: the wrapping's
// opening tags first, the closing ones once the run is over, so that the bytes are those the
// collected codes of mosaiq-cli would be. The blog stream may be null: that code is not made.
// Past its first chunk, an HTML row that the page holds as it is (a row of ASCII glyphs) goes as
// the place of that row in the page: a large photo's code is then not handed on twice.
class CodeStreams : public RowSink {
public:
    CodeStreams(ChunkStream& html, ChunkStream* blog, const StyleFlags& style,
        const PageStream& page, ChunkStream::Output spans);

    void rowBuilt(const BuiltRow& row) override;
    // The closing tags, after the last row.
    void finish();

private:
    void start();

    ChunkStream& m_html;
    ChunkStream* m_blog;
    const PageStream& m_page;
    ChunkStream::Output m_spans;
    std::uint64_t m_htmlBytes = 0;
    CodeWrapping m_htmlTags;
    CodeWrapping m_blogTags;
    std::string m_blogRow;
    bool m_started = false;
};

} // namespace mosaiq
