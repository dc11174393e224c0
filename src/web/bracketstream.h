#pragma once

#include "convert/rowloop.h"
#include "output/codes/bracketcode.h"
#include "output/codes/postsplit.h"
#include "web/chunkstream.h"

#include <optional>

namespace mosaiq {

// The bracket code of a dialect, written from the cells as mosaiq-cli writes it. Its rows are
// handed on a chunk at a time, each chunk made by a BracketCode of its own (the rows of a
// bracket code close every tag they open, so the pieces join up); a code to be split into posts
// is kept whole until the run ends, since the posts are cut from all of it.
class BracketStream : public RowSink {
public:
    BracketStream(const ForumDialect& dialect, ChunkStream& output, const StyleFlags& style,
        bool keepForPosts, std::int64_t rowCount);

    bool wantsCells() const override { return true; }
    void rowBuilt(const BuiltRow& row) override;

    // After the last row: the rest of the code with its closing tags. For a kept code longer
    // than a post of the dialect, its posts (each handed to posts as a whole).
    PostSplit finish(ChunkStream& posts);

private:
    const ForumDialect& m_dialect;
    ChunkStream& m_output;
    StyleFlags m_style;
    bool m_keep;
    std::optional<BracketCode> m_code;
    bool m_started = false;
};

} // namespace mosaiq
