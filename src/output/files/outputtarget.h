#pragma once

#include <string>

namespace mosaiq {

// Where an output named by the user goes, and the one way of writing it that harms nothing the
// name leads to. Every output of mosaiq-cli and the window's page decide it here, so that a
// link, a device or a file's permissions are treated alike whatever writes them:
// - "-" is the standard output; so is any name for the file that the standard output (or
//   error) already writes to, such as /dev/stdout, which is then written through that
//   descriptor, after what it holds, never opened again from its start.
// - A symbolic link is followed, link after link, to the file it leads to: that file is written
//   and the links stay. A folder that is a link needs nothing more: the file is replaced where
//   the folder leads.
// - What is not a regular file once the links are followed (a device, a pipe, /proc/self/fd/N),
//   and anything in a folder of the system (/dev, /proc, /sys), is written in place: it is never
//   renamed over nor removed, whatever it leads to.
// - A regular file (or a new name) is written whole under a temporary name beside it and renamed
//   onto it, with the permission bits, owner and group the earlier file had.
// - A regular file that a replacement would part from something (other names, hard links to
//   it; an owner the program cannot give back) keeps its identity: it is written under a
//   temporary name too, then copied into the file itself once complete.
struct OutputTarget {
    enum class Way {
        StandardOutput,
        InPlace,
        Replace,
        Refill,
        Refused,
    };
    // Why a target is refused, when the system's errno does not tell.
    enum class Problem {
        None,
        SystemError, // error holds the errno value
        NotWritable, // a file that takes no writing: /proc/version, a socket
        SystemFolder, // a new name in a folder of the system, where nothing is created
    };

    Way way = Way::Refused;
    // InPlace: the name as given, for the system to follow; Replace and Refill: the file
    // behind the links, which may not exist yet for Replace.
    std::string path;
    int descriptor = -1; // StandardOutput: 1 or 2
    bool exists = false; // Replace: whether a file is there to be replaced
    // Replace and Refill: what the written file is given. An existing file's own; for a new one
    // the permission bits a new file gets (0666 less the umask) and no owner change.
    unsigned mode = 0;
    long owner = -1; // an existing file's; -1: left as the system makes it
    long group = -1;
    Problem problem = Problem::None;
    int error = 0; // errno, for Problem::SystemError

    // The French reason of a refusal ("c'est un dossier").
    std::string reasonText() const;
};

// Decides how path is written. Looks at the file system, never changes it.
OutputTarget resolveOutputTarget(const std::string& path);

// Where the file an output name leads to lies, in the one spelling that every name of it shares:
// its folder with links, "." and ".." resolved, and its own name. Two names that spell one new
// file differently ("page.html", "./page.html", "$PWD/page.html", "sub/../page.html", a linked
// folder, "PAGE.HTML" where the folder's file system ignores case) then agree, as do all the
// names of an existing file. Looks at the file system, never changes it.
struct OutputPlace {
    bool file = false; // false for the standard output, a device, a pipe or a refused name
    bool exists = false; // an existing regular file, known by device and inode
    unsigned long long device = 0;
    unsigned long long inode = 0;
    std::string folder; // absolute
    std::string name;
    bool foldsCase = false; // the folder's file system takes "A" and "a" for one letter

    // Whether this and other are one file: writing both would keep only the last.
    bool sameFileAs(const OutputPlace& other) const;
    // Whether this is the file other's name followed by a dot and a number ("code.txt.2" beside
    // "code.txt"), as posts are written beside their code.
    bool isNumberedAfter(const OutputPlace& other) const;
};
OutputPlace outputPlaceOf(const std::string& path);

// Whether the file system of folder takes names that differ only in the case of their letters
// for one name (FAT, exFAT, NTFS, SMB shares, folders marked to fold case).
bool folderFoldsCase(const std::string& folder);

// Opens a new file for a Replace target with the target's permission bits, owner and group:
// under a temporary name beside the target (name receives it), or, with temporary false, under
// the target's own name, which must then be free. Returns the descriptor, or -1 with errno set.
int createLikeTarget(const OutputTarget& target, bool temporary, std::string& name);

// Opens the target of a StandardOutput, InPlace or Refill way for writing, emptied when empty
// is true (a standard descriptor is duplicated, never emptied: it is written after what it
// holds). Returns the descriptor, or -1 with errno set.
int openInPlace(const OutputTarget& target, bool empty);

} // namespace mosaiq
