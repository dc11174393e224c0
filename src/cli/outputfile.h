#pragma once

#include "output/codes/pagefile.h"

#include <string>

namespace mosaiq {

// A file written under a temporary name beside its final one and renamed when complete, so a
// failed run never leaves a half-written file under the name the user asked for. A device or a
// pipe (/dev/stdout, /dev/full) is written in place: it cannot be replaced by renaming, and has
// no half-written state to hide anyway.
class OutputFile {
public:
    explicit OutputFile(std::string path)
        : m_path(std::move(path))
    {
    }
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the temporary file (or the device). False on failure (see errorText()).
    bool open();
    PageFile& file() { return m_file; }
    // Closes and renames into place; false if anything failed, the file then being removed.
    bool commit();
    // Closes and removes what was written.
    void discard();

    // The French reason for the failure.
    std::string errorText() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    std::string m_temporary;
    PageFile m_file;
    int m_error = 0; // errno, or -1 when the page file holds the reason
};

} // namespace mosaiq
