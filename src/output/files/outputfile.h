#pragma once

#include "output/files/outputtarget.h"
#include "output/files/pagefile.h"

#include <string>

namespace mosaiq {

// An output file of mosaiq-cli, written as its OutputTarget says: a regular file whole under a
// temporary name beside the file the name leads to and renamed onto it when complete (or, for a
// file with other names, copied into it then), so that a failed run never leaves a half-written
// file under the name the user asked for; "-", a device or a pipe as it goes.
class OutputFile {
public:
    explicit OutputFile(std::string path)
        : m_path(std::move(path))
    {
    }
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens what is written to. False on failure (see errorText()).
    bool open();
    PageFile& file() { return m_file; }
    // Closes and puts the file in place; false if anything failed, what was written then being
    // removed.
    bool commit();
    // Closes and removes what was written, leaving the earlier file as it was.
    void discard();
    // Asks the system to forget its cached copy of the file that commit() will replace, which
    // the rename would otherwise drop page by page once everything is written. The file itself
    // is neither changed nor moved. Between open() and commit(), on any thread.
    void uncacheReplaced() const;

    // The French reason for the failure.
    std::string errorText() const;
    // The French message for the failure, naming the file or the standard output; with reason
    // instead of the failure's own.
    std::string failureText() const { return failureText(errorText()); }
    std::string failureText(const std::string& reason) const;
    const std::string& path() const { return m_path; }
    // Whether commit() renames the written file onto an existing one.
    bool replacesFile() const
    {
        return m_target.way == OutputTarget::Way::Replace && m_target.exists
            && !m_temporary.empty();
    }

private:
    bool openTemporary();
    bool copyIntoTarget();

    std::string m_path;
    OutputTarget m_target;
    std::string m_temporary;
    int m_destination = -1; // a refilled file, held open from the start
    PageFile m_file;
    int m_error = 0; // errno; FileFailed or TargetRefused when they hold the reason
    static constexpr int FileFailed = -1;
    static constexpr int TargetRefused = -2;
};

} // namespace mosaiq
