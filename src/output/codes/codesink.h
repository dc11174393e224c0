#pragma once

#include <cstddef>
#include <string_view>

namespace mosaiq {

// Where the bytes of one code go as a run makes them: a file for mosaiq-cli, the module's
// memory handed to the page's script in the browser. Neither the code nor the run knows which.
class CodeSink {
public:
    virtual ~CodeSink() = default;
    // Adds bytes. False once the sink failed: the run then ends.
    virtual bool append(std::string_view bytes) = 0;
    // Room for up to bytes bytes at the end of the code, made there in place rather than copied
    // in, and added by commitLent(); nullptr when the sink lends none (append() then) or failed.
    virtual char* lend(std::size_t) { return nullptr; }
    virtual bool commitLent(std::size_t) { return false; }
};

// Where the posts of a code cut to a forum's limit go, each whole: its style tags and its rows.
class PostSink {
public:
    virtual ~PostSink() = default;
    // False when the post could not be kept: the cutting ends there.
    virtual bool post(std::string_view opening, std::string_view rows, std::string_view closing)
        = 0;
};

} // namespace mosaiq
