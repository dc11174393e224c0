#pragma once

#include "output/codes/codesink.h"
#include "output/files/outputfile.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mosaiq {

// One code written to its file as the rows come, under a temporary name until the run is over.
// Nothing of it stays in memory, whatever the size of the picture.
class CodeFile : public CodeSink {
public:
    explicit CodeFile(std::string path)
        : m_output(std::move(path))
    {
    }

    // Opens the temporary file. False on failure.
    bool open() { return m_output.open(); }
    // From now on the file is written on a thread of its own while the caller makes the next
    // rows, the code then made in place in the memory it lends (see PageFile::writeInBackground).
    void writeInBackground() { m_output.file().writeInBackground(m_output.replacesFile()); }

    bool append(std::string_view bytes) override { return m_output.file().write(bytes); }
    char* lend(std::size_t bytes) override { return m_output.file().lend(bytes); }
    bool commitLent(std::size_t bytes) override { return m_output.file().commitLent(bytes); }

    bool failed() { return m_output.file().failed(); }
    // Closes the file, still under its temporary name. False on failure.
    bool finish() { return m_output.file().close(); }
    // Puts the finished file under its name. False on failure.
    bool commit() { return m_output.commit(); }

    // The French message for the first failure, naming the file.
    std::string failureText() const { return m_output.failureText(); }

private:
    OutputFile m_output;
};

// The posts of a code, each in a file of its own beside the code: PATH.1, PATH.2, ... under
// temporary names until the run is over.
class PostFiles : public PostSink {
public:
    explicit PostFiles(std::string path)
        : m_path(std::move(path))
    {
    }

    bool post(std::string_view opening, std::string_view rows, std::string_view closing) override;
    // Puts the posts under their names. False on failure.
    bool commit();

    std::size_t parts() const { return m_parts.size(); }
    std::string partPath(std::size_t number) const;
    // Whether writing a post failed, and the French message naming it.
    bool failed() const { return !m_failure.empty(); }
    const std::string& failureText() const { return m_failure; }

private:
    std::string m_path;
    std::vector<std::unique_ptr<OutputFile>> m_parts;
    std::string m_failure;
};

} // namespace mosaiq
