#pragma once

#include "output/codes/forumdialect.h"
#include "output/files/outputfile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// A bracket code cut into posts of at most a forum's limit as its rows come, each post filling
// with as many rows as fit and wrapped in the style tags, so that each is well formed on its
// own: PATH.1, PATH.2, ... The post being filled is all it keeps in memory. A code that fits one
// post is not cut: its posts are written only once a second one starts.
class PostStream {
public:
    PostStream(std::string path, std::string opening, std::string closing, std::size_t limit,
        LimitUnit unit);

    // Adds one row of the code, its line end included. False once a write failed or a row was
    // too long for a post even alone.
    bool addRow(std::string_view row);
    // Writes the last post and closes every file, still under temporary names. False on failure.
    bool finish();
    // Puts the posts under their names. False on failure.
    bool commit();

    // The posts written; 0 when the code fits one post.
    std::size_t parts() const { return m_parts.size(); }
    // The number (from 1) of the first row too long for a post even alone; 0 when none was.
    std::int64_t rowTooLong() const { return m_rowTooLong; }
    // Whether writing a post failed, and the French message naming it.
    bool failed() const { return !m_failure.empty(); }
    const std::string& failureText() const { return m_failure; }
    std::string partPath(std::size_t number) const;

private:
    bool closePart();

    std::string m_path;
    std::string m_opening;
    std::string m_closing;
    std::size_t m_limit;
    LimitUnit m_unit;
    std::size_t m_tags;
    std::string m_part; // the rows of the post being filled
    std::size_t m_partSize = 0; // its size in the unit, tags included
    std::int64_t m_rows = 0;
    std::int64_t m_rowTooLong = 0;
    std::vector<std::unique_ptr<OutputFile>> m_parts;
    std::string m_failure;
};

} // namespace mosaiq
