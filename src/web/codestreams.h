#pragma once

#include "convert/rowloop.h"
#include "output/codes/blogcode.h"
#include "web/chunkstream.h"

#include <string>

namespace mosaiq {

// The HTML code and the blog code translated from it, handed on row by row: the wrapping's
// opening tags first, the closing ones once the run is over, so that the bytes are those the
// collected codes of mosaiq-cli would be. Either stream may be null: that code is not made.
class CodeStreams : public RowSink {
public:
    CodeStreams(ChunkStream* html, ChunkStream* blog, const StyleFlags& style);

    void rowBuilt(const BuiltRow& row) override;
    // The closing tags, after the last row.
    void finish();
    // For a run whose first rows another worker makes, with the opening tags.
    void skipOpening() { m_started = true; }

private:
    // The opening tags, once, before the first row or the closing tags.
    void open();

    ChunkStream* m_html;
    ChunkStream* m_blog;
    CodeWrapping m_htmlTags;
    CodeWrapping m_blogTags;
    std::string m_blogRow;
    bool m_started = false;
};

} // namespace mosaiq
