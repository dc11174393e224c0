#pragma once

#include <string>
#include <sys/types.h>
#include <utility>

namespace mosaiq {

// A regular file as the system knows it, whatever name, link or hard link leads to it.
using FileIdentity = std::pair<dev_t, ino_t>;

// False when path leads to no regular file (absent, a device, a pipe...).
bool fileIdentityOf(const std::string& path, FileIdentity& identity);

} // namespace mosaiq
