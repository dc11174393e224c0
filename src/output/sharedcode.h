#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace mosaiq {

// A delivered code as the panes, the copy buttons and the clipboard hold it: a stretch of one
// buffer that they all share and nobody changes. A code of hundreds of megabytes is handed on
// and copied to the clipboard without its bytes being moved; the stretch lets the code start
// past room the run kept in front of it for the style tags.
class SharedCode {
public:
    SharedCode() = default;
    // The whole of code, taken over.
    explicit SharedCode(std::string code);
    // Bytes [offset, offset + size) of buffer, clamped to it.
    SharedCode(std::shared_ptr<const std::string> buffer, std::size_t offset, std::size_t size);

    std::string_view view() const;
    const char* data() const { return view().data(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

private:
    std::shared_ptr<const std::string> m_buffer;
    std::size_t m_offset = 0;
    std::size_t m_size = 0;
};

} // namespace mosaiq
