#pragma once

#include "convert/rowloop.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace mosaiq {

// The page file, written line by line with CR LF line ends. Every failure is kept with the
// system's reason, so the caller can tell the user which file failed and why.
class PageFile : public PageSink {
public:
    PageFile() = default;
    ~PageFile() override; // closes without reporting
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // Creates path, or empties it. False on failure (see errorText()).
    bool open(const std::string& path);
    // Writes to descriptor and closes it in the end. False on failure; a descriptor of -1 fails
    // with the errno of the opening that returned it.
    bool adopt(int descriptor);
    // Writes to an already open stream (standard output) without owning it.
    void attach(std::FILE* stream);
    // Fails with reason, in French, before anything is written.
    void refuse(std::string reason);

    // Writes line and CR LF, and hands it to the system at once when flushEachLine() is on.
    // False once anything failed.
    bool writeLine(std::string_view line) override;

    // A page that someone reads while it is written (the window's preview of a stopped run)
    // is flushed line by line.
    void flushEachLine(bool flush) { m_flushEachLine = flush; }
    // Writes bytes as they are, no line end.
    bool write(std::string_view bytes);

    // Hands the buffered lines to the system, so that a reader of the file sees them. False
    // once anything failed.
    bool flush();

    // Flushes and closes; false if anything failed since open(), the close included.
    bool close();

    bool isOpen() const { return m_file != nullptr; }
    bool failed() const { return m_error != 0; }
    // The reason for the first failure, in French.
    std::string errorText() const;

private:
    std::FILE* m_file = nullptr;
    bool m_owned = false;
    bool m_flushEachLine = false;
    int m_error = 0;
    std::string m_reason; // when no errno value tells
};

} // namespace mosaiq
