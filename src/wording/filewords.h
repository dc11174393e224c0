#pragma once

#include <string>

namespace mosaiq {

// A short French reason for the errno value error ("le disque est plein"), empty for 0.
std::string fileErrorText(int error);

} // namespace mosaiq
