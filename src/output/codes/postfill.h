#pragma once

#include "output/codes/codesink.h"
#include "output/codes/forumdialect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mosaiq {

// A code cut into posts of at most a forum's limit as its rows come, at row boundaries, each
// post filling with as many rows as fit and wrapped in the style tags, so that each is well
// formed on its own. The post being filled is all it keeps, whatever the size of the code. A
// code that fits one post is not cut: nothing reaches the sink until a second post starts.
class PostFill {
public:
    PostFill(PostSink& sink, std::string opening, std::string closing, std::size_t limit,
        LimitUnit unit);

    // Adds one row, its line end included. False once the sink failed or a row was too long for
    // a post even alone.
    bool addRow(std::string_view row);
    // Hands on the last post of a code that was cut. False as addRow().
    bool finish();

    // The posts handed on; 0 while the code fits one post.
    std::size_t parts() const { return m_parts; }
    // The number (from 1) of the first row too long for a post even alone; 0 when none was.
    std::int64_t rowTooLong() const { return m_rowTooLong; }
    // Whether the sink refused a post.
    bool failed() const { return m_failed; }

private:
    bool handOn();

    PostSink& m_sink;
    std::string m_opening;
    std::string m_closing;
    std::size_t m_limit;
    LimitUnit m_unit;
    std::size_t m_tags;
    std::string m_part; // the rows of the post being filled
    std::size_t m_partSize = 0; // its size in the unit, tags included
    std::int64_t m_rows = 0;
    std::int64_t m_rowTooLong = 0;
    std::size_t m_parts = 0;
    bool m_failed = false;
};

} // namespace mosaiq
