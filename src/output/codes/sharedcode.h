#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// A delivered code as the panes, the copy buttons and the clipboard hold it: a stretch of bytes
// that they all share and nobody changes, kept alive by whatever holds them (a string, or a
// file mapped into memory). A code of hundreds of megabytes is handed on and copied to the
// clipboard without its bytes being moved; the stretch lets the code start past room the run
// kept in front of it for the style tags.
class SharedCode {
public:
    using LineStarts = std::shared_ptr<const std::vector<std::int64_t>>;

    SharedCode() = default;
    // The whole of code, taken over.
    explicit SharedCode(std::string code);
    // Bytes [offset, offset + size) of buffer, clamped to it. lineStarts, when given: where
    // each line of those bytes starts, 0 and every offset just past an LF, as whoever made the
    // code found them; a pane then need not look through hundreds of megabytes for them.
    SharedCode(std::shared_ptr<const std::string> buffer, std::size_t offset, std::size_t size,
        LineStarts lineStarts = nullptr);
    // bytes, valid for as long as owner lives.
    SharedCode(
        std::shared_ptr<const void> owner, std::string_view bytes, LineStarts lineStarts = nullptr);

    std::string_view view() const { return m_bytes; }
    const char* data() const { return m_bytes.data(); }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    // Null when not known.
    const std::vector<std::int64_t>* lineStarts() const { return m_lineStarts.get(); }

private:
    std::shared_ptr<const void> m_owner;
    std::string_view m_bytes;
    LineStarts m_lineStarts;
};

} // namespace mosaiq
