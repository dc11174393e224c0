#pragma once

#include "output/codes/blogcode.h"
#include "output/files/outputfile.h"

#include <string>
#include <string_view>

namespace mosaiq {

// One code written to its file as the rows come, under a temporary name until the run is over:
// its opening style tags, each row's code, its closing tags. Nothing of it stays in memory,
// whatever the size of the picture.
class StreamedCode {
public:
    StreamedCode(std::string path, CodeWrapping tags);

    // Opens the temporary file and writes the opening tags. False on failure.
    bool open();
    // From now on the file is written on a thread of its own while the caller makes the next
    // rows (see PageFile::writeInBackground).
    void writeInBackground() { m_output.file().writeInBackground(m_output.replacesFile()); }
    bool inBackground() { return m_output.file().inBackground(); }
    // Adds the code of one or more rows. False once anything failed.
    bool add(std::string_view rows)
    {
        m_bytes += rows.size();
        return m_output.file().write(rows);
    }
    // Written in the background, room for the code of rows made in place, or nullptr (see
    // PageFile::lend()); commitLent() adds the first bytes of it.
    char* lend(std::size_t bytes) { return m_output.file().lend(bytes); }
    bool commitLent(std::size_t bytes)
    {
        m_bytes += bytes;
        return m_output.file().commitLent(bytes);
    }
    // The bytes of the rows added so far, for --stats.
    std::size_t bytes() const { return m_bytes; }
    bool failed() { return m_output.file().failed(); }
    // Writes the closing tags and closes the file, still under its temporary name. False on
    // failure.
    bool finish();
    // Puts the finished file under its name. False on failure.
    bool commit() { return m_output.commit(); }

    // The French message for the first failure, naming the file.
    std::string failureText() const { return m_output.failureText(); }
    const std::string& path() const { return m_output.path(); }

private:
    OutputFile m_output;
    CodeWrapping m_tags;
    std::size_t m_bytes = 0;
};

} // namespace mosaiq
