#pragma once

#include "output/codes/sharedcode.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace mosaiq {

// A code written as it is made to a file of its own, which no other program can open and which
// goes when the code does, then shown from there. Its bytes stay among the files the system
// caches, which it may write out and take back, rather than in the program's own memory: the
// codes of a square page of twelve million cells come to well over a gigabyte.
class CodeSpool {
public:
    // A spool in directory, starting with room blanks for the opening tags. ok() tells whether
    // the file could be made.
    CodeSpool(const std::string& directory, std::size_t room);
    ~CodeSpool();
    CodeSpool(const CodeSpool&) = delete;
    CodeSpool& operator=(const CodeSpool&) = delete;

    bool ok() const { return m_descriptor >= 0 && !m_failed; }
    // False once a write failed; nothing more is written then.
    bool append(std::string_view bytes);
    // The first length bytes written, room included: what a caller carries on with in memory
    // when the spool fails.
    std::string readBack(std::uint64_t length);
    // The code wrapped: opening written into the room just before the bytes appended, closing
    // after them, the whole mapped into memory. Nothing when that fails.
    std::optional<SharedCode> map(
        std::string_view opening, std::string_view closing, SharedCode::LineStarts lineStarts);

private:
    bool flush();

    int m_descriptor = -1;
    std::size_t m_room;
    std::uint64_t m_written = 0; // bytes in the file
    std::string m_buffer; // bytes not written yet
    bool m_failed = false;
};

} // namespace mosaiq
