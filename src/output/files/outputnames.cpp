#include "output/files/outputnames.h"

#include "output/files/fileidentity.h"
#include "output/files/outputtarget.h"
#include "wording/batchwords.h"
#include "wording/cliwords.h"
#include "wording/filewords.h"

#include <vector>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace mosaiq {

std::string sharedOutputFile(
    std::span<const NamedOutput> outputs, const char* posts, std::size_t postsBeside)
{
    std::vector<OutputPlace> places(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& path = *outputs[i].path;
        if (!path.empty() && path != "-")
            places[i] = outputPlaceOf(path);
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            if (places[i].sameFileAs(places[j]))
                return cli::fileTakenTwice(*outputs[i].path, outputs[i].option, outputs[j].option);
        }
        if (posts && i != postsBeside && places[i].isNumberedAfter(places[postsBeside]))
            return cli::fileTakenTwice(*outputs[i].path, outputs[i].option, posts);
    }
    return {};
}

const std::string* outputOverPicture(
    const std::string& picture, std::span<const NamedOutput> outputs)
{
    FileIdentity pictureFile;
    if (!fileIdentityOf(picture, pictureFile))
        return nullptr;
    for (const NamedOutput& output : outputs) {
        FileIdentity id;
        if (fileIdentityOf(*output.path, id) && id == pictureFile)
            return output.path;
    }
    return nullptr;
}

std::string outputFolderProblem(const std::string& dir)
{
    struct stat status;
    if (::stat(dir.c_str(), &status) != 0)
        return errno == ENOENT ? cli::outputDirMissing(dir)
                               : cli::outputDirNotWritable(dir, fileErrorText(errno));
    if (!S_ISDIR(status.st_mode))
        return cli::outputDirNotAFolder(dir);
    // Permissions alone do not tell (root, read-only mounts): try a file.
    std::string probe = dir + "/.mosaiq-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return cli::outputDirNotWritable(dir, fileErrorText(errno));
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

} // namespace mosaiq
