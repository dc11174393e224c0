#pragma once

namespace mosaiq {

// Why a picture could not be read; the callers choose the French message. Plain C++, so that
// the wording library can name it without Qt.
enum class PictureError {
    None,
    NotFound, // no such file
    Folder, // the path names a folder
    NamedPipe, // a named pipe (FIFO): reading it would wait for a writer
    Device, // a character or block device
    Socket, // a local socket
    NotAFile, // anything else that is not a regular file
    Empty, // a file of zero bytes
    Unreadable, // no permission, or the read failed
    NotAPicture, // no reader knows the format
    Damaged, // the reader knows the format but the data is broken or truncated
    TooLarge, // more pixels than the program will hold
};

} // namespace mosaiq
