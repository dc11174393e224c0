#include "output/files/outputtarget.h"

#include "wording/filewords.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

// The kinds of file system of /proc, /sys and /dev/pts. The WebAssembly build, which writes no
// file, has no Linux headers: the same values, as the kernel defines them.
#if __has_include(<linux/magic.h>)
#include <linux/magic.h>
#else
#define PROC_SUPER_MAGIC 0x9fa0
#define SYSFS_MAGIC 0x62656572
#define DEVPTS_SUPER_MAGIC 0x1cd1
#endif
#if __has_include(<linux/fs.h>)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace mosaiq {

namespace {

    // As the system gives up on a path (ELOOP).
    constexpr int MaxLinks = 40;

    // Read once, before main: umask() can only be read by setting it, which must not race with
    // other threads creating files (a batch writes from several).
    const mode_t ProcessUmask = [] {
        const mode_t value = ::umask(0);
        ::umask(value);
        return value;
    }();

    std::string folderOf(const std::string& path)
    {
        const std::size_t slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return ".";
        return slash == 0 ? "/" : path.substr(0, slash);
    }

    // Whether path names something in /dev, /proc or /sys, or in a file system of their kinds
    // mounted elsewhere; the folder is compared once its own links are followed.
    bool inSystemFolder(const std::string& path)
    {
        const std::string folder = folderOf(path);
        struct statfs system;
        if (::statfs(folder.c_str(), &system) == 0
            && (system.f_type == PROC_SUPER_MAGIC || system.f_type == SYSFS_MAGIC
                || system.f_type == DEVPTS_SUPER_MAGIC))
            return true;
        char* real = ::realpath(folder.c_str(), nullptr);
        if (!real)
            return false;
        const std::string_view canonical(real);
        bool inside = false;
        for (const std::string_view root : { "/dev", "/proc", "/sys" }) {
            if (canonical == root
                || (canonical.starts_with(root) && canonical.substr(root.size()).starts_with('/')))
                inside = true;
        }
        std::free(real);
        return inside;
    }

    // The kinds of file system that take "A" and "a" for one letter in every folder: FAT and
    // VFAT, exFAT, NTFS (both drivers), SMB shares, HFS+.
    constexpr unsigned long FoldingSystems[]
        = { 0x4d44, 0x2011bab0, 0x5346544e, 0x7366746e, 0xff534d42, 0xfe534d42, 0x482b };

    char foldedLetter(char c)
    {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }

    bool sameFolded(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (foldedLetter(a[i]) != foldedLetter(b[i]))
                return false;
        }
        return true;
    }

    // The folder as the system finds it: links, "." and ".." resolved. A folder that does not
    // exist keeps its spelling, made absolute: nothing can be written there anyway.
    std::string resolvedFolder(const std::string& folder)
    {
        if (char* real = ::realpath(folder.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
        if (folder.starts_with('/'))
            return folder;
        char* current = ::getcwd(nullptr, 0);
        std::string absolute = current ? std::string(current) + "/" + folder : folder;
        std::free(current);
        return absolute;
    }

    bool sameFile(const struct stat& file, int descriptor)
    {
        struct stat other;
        return ::fstat(descriptor, &other) == 0 && other.st_dev == file.st_dev
            && other.st_ino == file.st_ino;
    }

    // Whether a new file made by this process can be given file's owner and group.
    bool canGiveBackOwner(const struct stat& file)
    {
        if (::geteuid() == 0)
            return true;
        if (file.st_uid != ::geteuid())
            return false;
        if (file.st_gid == ::getegid())
            return true;
        const int count = ::getgroups(0, nullptr);
        std::vector<gid_t> groups(std::size_t(count > 0 ? count : 0));
        if (count > 0 && ::getgroups(count, groups.data()) == count) {
            for (gid_t group : groups) {
                if (group == file.st_gid)
                    return true;
            }
        }
        return false;
    }

    // Extended attributes (access lists, capabilities, a user's own) would not follow a
    // replacement. The security label is left out: every file has one where labels are used,
    // and a new file in the same folder gets the same.
    bool hasOwnAttributes(const std::string& path)
    {
        const ssize_t size = ::llistxattr(path.c_str(), nullptr, 0);
        if (size <= 0)
            return false;
        std::string names(std::size_t(size), '\0');
        const ssize_t listed = ::llistxattr(path.c_str(), names.data(), names.size());
        if (listed < 0)
            return true;
        // Each name ends with a zero.
        for (std::size_t at = 0; at < std::size_t(listed);
             at += std::strlen(names.data() + at) + 1) {
            if (std::string_view(names.data() + at) != "security.selinux")
                return true;
        }
        return false;
    }

    OutputTarget refused(OutputTarget::Problem problem, int error = 0)
    {
        OutputTarget target;
        target.way = OutputTarget::Way::Refused;
        target.problem = problem;
        target.error = error;
        return target;
    }

    // What is written where it is: path as the user gave it, for the system to follow.
    OutputTarget inPlace(const std::string& path)
    {
        struct stat status;
        if (::stat(path.c_str(), &status) != 0) {
            return errno == ENOENT ? refused(OutputTarget::Problem::SystemFolder)
                                   : refused(OutputTarget::Problem::SystemError, errno);
        }
        if (S_ISDIR(status.st_mode))
            return refused(OutputTarget::Problem::SystemError, EISDIR);
        if (S_ISSOCK(status.st_mode) || (S_ISREG(status.st_mode) && (status.st_mode & 0222) == 0))
            return refused(OutputTarget::Problem::NotWritable);
        OutputTarget target;
        target.path = path;
        for (int descriptor : { STDOUT_FILENO, STDERR_FILENO }) {
            if (sameFile(status, descriptor)) {
                target.way = OutputTarget::Way::StandardOutput;
                target.descriptor = descriptor;
                return target;
            }
        }
        target.way = OutputTarget::Way::InPlace;
        return target;
    }

} // namespace

std::string OutputTarget::reasonText() const
{
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::SystemError:
        return fileErrorText(error);
    case Problem::NotWritable:
        return FileNotWritable;
    case Problem::SystemFolder:
        return NoFileInSystemFolder;
    }
    return {};
}

OutputTarget resolveOutputTarget(const std::string& path)
{
    if (path == "-") {
        OutputTarget target;
        target.way = OutputTarget::Way::StandardOutput;
        target.descriptor = STDOUT_FILENO;
        return target;
    }
    if (path.empty())
        return refused(OutputTarget::Problem::SystemError, ENOENT);
    std::string current = path;
    for (int links = 0; links <= MaxLinks; ++links) {
        if (inSystemFolder(current))
            return inPlace(path);
        struct stat status;
        if (::lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT)
                return refused(OutputTarget::Problem::SystemError, errno);
            // A new file, made where the links lead; a missing folder is told when it is made.
            OutputTarget target;
            target.way = OutputTarget::Way::Replace;
            target.path = current;
            target.mode = 0666 & ~ProcessUmask;
            return target;
        }
        if (S_ISLNK(status.st_mode)) {
            std::string destination(
                std::size_t(status.st_size > 0 ? status.st_size : 255) + 1, '\0');
            const ssize_t size
                = ::readlink(current.c_str(), destination.data(), destination.size());
            if (size < 0)
                return refused(OutputTarget::Problem::SystemError, errno);
            destination.resize(std::size_t(size));
            // A relative link leads from its own folder. The path is not tidied: "folder/.."
            // must be left for the system, which goes up from where a linked folder leads.
            current = destination.starts_with('/') ? destination
                                                   : folderOf(current) + "/" + destination;
            continue;
        }
        if (S_ISDIR(status.st_mode))
            return refused(OutputTarget::Problem::SystemError, EISDIR);
        if (!S_ISREG(status.st_mode))
            return inPlace(path);
        OutputTarget target;
        target.path = current;
        target.exists = true;
        target.mode = status.st_mode & 0777;
        target.owner = long(status.st_uid);
        target.group = long(status.st_gid);
        target.way = status.st_nlink > 1 || hasOwnAttributes(current) || !canGiveBackOwner(status)
            ? OutputTarget::Way::Refill
            : OutputTarget::Way::Replace;
        return target;
    }
    return refused(OutputTarget::Problem::SystemError, ELOOP);
}

bool folderFoldsCase(const std::string& folder)
{
    struct statfs system;
    if (::statfs(folder.c_str(), &system) == 0) {
        for (unsigned long kind : FoldingSystems) {
            if ((unsigned long)(system.f_type) == kind)
                return true;
        }
    }
#if defined(FS_IOC_GETFLAGS) && defined(FS_CASEFOLD_FL)
    // ext4 and f2fs fold case in the folders marked so (chattr +F).
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        int flags = 0;
        const bool folds = ::ioctl(descriptor, FS_IOC_GETFLAGS, &flags) == 0
            && (unsigned(flags) & FS_CASEFOLD_FL) != 0;
        ::close(descriptor);
        return folds;
    }
#endif
    return false;
}

OutputPlace outputPlaceOf(const std::string& path)
{
    OutputPlace place;
    const OutputTarget target = resolveOutputTarget(path);
    if (target.way != OutputTarget::Way::Replace && target.way != OutputTarget::Way::Refill)
        return place;
    place.file = true;
    struct stat status;
    if (target.exists && ::stat(target.path.c_str(), &status) == 0) {
        place.exists = true;
        place.device = status.st_dev;
        place.inode = status.st_ino;
    }
    const std::size_t slash = target.path.find_last_of('/');
    place.name = slash == std::string::npos ? target.path : target.path.substr(slash + 1);
    place.folder = resolvedFolder(folderOf(target.path));
    place.foldsCase = folderFoldsCase(place.folder);
    return place;
}

bool OutputPlace::sameFileAs(const OutputPlace& other) const
{
    if (!file || !other.file)
        return false;
    if (exists || other.exists)
        return exists && other.exists && device == other.device && inode == other.inode;
    return folder == other.folder
        && (name == other.name || (foldsCase && sameFolded(name, other.name)));
}

bool OutputPlace::isNumberedAfter(const OutputPlace& other) const
{
    if (!file || !other.file || folder != other.folder || name.size() <= other.name.size() + 1)
        return false;
    const std::string_view stem = std::string_view(name).substr(0, other.name.size());
    const bool sameStem = stem == other.name || (foldsCase && sameFolded(stem, other.name));
    return sameStem && name[other.name.size()] == '.'
        && name.find_first_not_of("0123456789", other.name.size() + 1) == std::string::npos;
}

int createLikeTarget(const OutputTarget& target, bool temporary, std::string& name)
{
    int descriptor;
    if (temporary) {
        name = target.path + ".XXXXXX";
        descriptor = ::mkostemp(name.data(), O_CLOEXEC);
    } else {
        name = target.path;
        descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    }
    if (descriptor < 0)
        return -1;
    // Owner and group before the bits, which a change of owner may clear. A new file may have
    // taken its folder's group.
    struct stat made;
    bool owned = ::fstat(descriptor, &made) == 0;
    if (owned && target.owner >= 0
        && (made.st_uid != uid_t(target.owner) || made.st_gid != gid_t(target.group)))
        owned = ::fchown(descriptor, uid_t(target.owner), gid_t(target.group)) == 0;
    if (!owned || ::fchmod(descriptor, mode_t(target.mode)) != 0) {
        const int error = errno;
        ::close(descriptor);
        ::unlink(name.c_str());
        errno = error;
        return -1;
    }
    return descriptor;
}

int openInPlace(const OutputTarget& target, bool empty)
{
    if (target.way == OutputTarget::Way::StandardOutput) {
        // What the process wrote there before comes first.
        std::fflush(target.descriptor == STDOUT_FILENO ? stdout : stderr);
        return ::fcntl(target.descriptor, F_DUPFD_CLOEXEC, 0);
    }
    return ::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | (empty ? O_TRUNC : 0));
}

} // namespace mosaiq
