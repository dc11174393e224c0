#pragma once

#include <string>
#include <string_view>

namespace mosaiq {

class PictureModule;

// The module of pictures loaded, or the French message saying why it could not be.
struct ModuleLoad {
    PictureModule* module = nullptr;
    std::string failure;
};

// Where the running program's module of pictures lies: beside it in the build tree, else where
// the install rules put it, found from the program's own place.
std::string pictureModulePath();
// The same for the program at program, an absolute path; where the program's place is unknown
// (empty, as when /proc/self/exe cannot be read), the folder the install rules put it in.
std::string pictureModulePathOf(const std::string& program);

// Loads the module at path. Never fails the program: a missing module, or a missing library
// that it needs, gives a message naming the Debian package to install.
ModuleLoad loadPictureModule(const std::string& path);

// The message for the loader's own words about a failed load of the module at modulePath.
std::string moduleFailureText(std::string_view loaderError, std::string_view modulePath);

} // namespace mosaiq
