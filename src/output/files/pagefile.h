#pragma once

#include "convert/rowloop.h"
#include "output/files/backgroundwrites.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

namespace mosaiq {

// The page file, written line by line with CR LF line ends. Every failure is kept with the
// system's reason, so the caller can tell the user which file failed and why.
class PageFile : public PageSink, private RowMemory {
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
    // Written in the background, the page lends the run the memory of its next block, so that
    // its rows are not copied there.
    RowMemory* rowLender() override { return this; }

    // A page that someone reads while it is written (the window's preview of a stopped run)
    // is flushed line by line.
    void flushEachLine(bool flush) { m_flushEachLine = flush; }
    // From now until it is closed, the file is written on a thread of its own while the caller
    // makes the next lines (BackgroundWrites); a failure shows at a later write. For a page
    // that nobody reads before it is complete. A file that will replace an existing one has
    // its disk writes started block by block (startWriteback): ext4 and btrfs force them when
    // the rename replaces the old file, which would then wait for them all after the last row.
    // ahead: the blocks of a megabyte the caller may be ahead of the disk writes before it waits.
    void writeInBackground(bool startWriteback = false, int ahead = 1);
    bool inBackground() const { return m_background != nullptr; }
    // Writes bytes as they are, no line end.
    bool write(std::string_view bytes);
    // Written in the background: room for up to bytes bytes, made in place and then written by
    // commitLent(); nullptr otherwise, or once anything failed.
    char* lend(std::size_t bytes);
    // Writes the first bytes of the room lent. False once anything failed.
    bool commitLent(std::size_t bytes);

    // Hands the buffered lines to the system, so that a reader of the file sees them. False
    // once anything failed.
    bool flush();

    // Flushes and closes; false if anything failed since open(), the close included.
    bool close();

    bool failed() const { return m_error != 0; }
    // The reason for the first failure, in French.
    std::string errorText() const;

private:
    // Gives an owned stream the large buffer.
    void setBuffer();
    char* rowMemory(std::size_t bytes) override;

    std::FILE* m_file = nullptr;
    // Rows can be megabytes long: the stream writes through this buffer, which the C library
    // would make one page long if asked for a size without its memory.
    std::unique_ptr<char[]> m_buffer;
    std::unique_ptr<BackgroundWrites> m_background;
    char* m_lent = nullptr; // the memory lent for the next line
    bool m_owned = false;
    bool m_flushEachLine = false;
    int m_error = 0;
    std::string m_reason; // when no errno value tells
};

// The file a page replaced, given back on a thread of its own: the blocks of a large page take
// as long to give back as to write, which would pause the run that replaced it.
class EarlierPage {
public:
    // Closes descriptor, the last of a removed file, once the one released before is closed.
    void release(int descriptor);

private:
    std::jthread m_closing; // joined before the next, and when the owner goes
};

// Opens the page that the window writes in place row by row, at path as the output rules
// resolve it (outputtarget). An earlier page is removed rather than emptied: a file emptied and
// written again is written out whole as it closes (the file system guards a replaced file so), a
// pause of hundreds of milliseconds after the last row of a large page; a new file is not. Its
// last descriptor goes to earlier. The new file is made where the links lead, with the old one's
// permission bits, owner and group; a page that a new file would part from something (other
// names, a device, a foreign owner) is emptied and written in place instead. False on failure,
// the page then telling why.
bool openPageInPlace(PageFile& page, const std::string& path, EarlierPage& earlier);

} // namespace mosaiq
