#include "output/files/fileidentity.h"

#include <sys/stat.h>

namespace mosaiq {

bool fileIdentityOf(const std::string& path, FileIdentity& identity)
{
    struct stat status;
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    identity = { status.st_dev, status.st_ino };
    return true;
}

} // namespace mosaiq
