#include "cli/moduleloader.h"

#include "cli/picturemodule.h"
#include "wording/librarywords.h"

#include <array>
#include <dlfcn.h>
#include <filesystem>
#include <utility>

namespace mosaiq {

namespace {

    // The libraries the module links that a system may lack, with their Debian packages: those
    // of the pictures and of the PNG, and Qt's GUI with what it loads.
    constexpr std::array<std::pair<std::string_view, std::string_view>, 19> Packages { {
        { "libQt6Gui.so.6", "libqt6gui6" },
        { "libQt6Core.so.6", "libqt6core6" },
        { "libQt6DBus.so.6", "libqt6dbus6" },
        { "libheif.so.1", "libheif1" },
        { "libtiff.so.6", "libtiff6" },
        { "liblcms2.so.2", "liblcms2-2" },
        { "libisal.so.2", "libisal2" },
        { "libjpeg.so.62", "libjpeg62-turbo" },
        { "libpng16.so.16", "libpng16-16" },
        { "libz.so.1", "zlib1g" },
        { "libEGL.so.1", "libegl1" },
        { "libOpenGL.so.0", "libopengl0" },
        { "libGLX.so.0", "libglx0" },
        { "libxkbcommon.so.0", "libxkbcommon0" },
        { "libfontconfig.so.1", "libfontconfig1" },
        { "libfreetype.so.6", "libfreetype6" },
        { "libharfbuzz.so.0", "libharfbuzz0b" },
        { "libmd4c.so.0", "libmd4c0" },
        { "libdouble-conversion.so.3", "libdouble-conversion3" },
    } };

} // namespace

std::string pictureModulePath()
{
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return pictureModulePathOf(error ? std::string() : program.string());
}

std::string pictureModulePathOf(const std::string& program)
{
    // Never from the working folder, which is wherever the user stands.
    if (program.empty() || !program.starts_with('/'))
        return MOSAIQ_PICTURE_MODULE_INSTALLED;
    const std::filesystem::path folder = std::filesystem::path(program).parent_path();
    const std::filesystem::path beside = folder / MOSAIQ_PICTURE_MODULE;
    std::error_code error;
    if (std::filesystem::exists(beside, error))
        return beside.string();
    return (folder / MOSAIQ_PICTURE_MODULE_FROM_PROGRAM / MOSAIQ_PICTURE_MODULE)
        .lexically_normal()
        .string();
}

ModuleLoad loadPictureModule(const std::string& path)
{
    ModuleLoad load;
    // Its own copies of the engine stay its own: nothing it holds binds to the program's.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        load.failure = moduleFailureText(error ? error : "", path);
        return load;
    }
    auto entry = reinterpret_cast<PictureModuleEntryFunction>(::dlsym(handle, PictureModuleEntry));
    load.module = entry ? entry(MOSAIQ_VERSION) : nullptr;
    if (!load.module) {
        load.failure = cli::moduleMissing(path, "autre version que mosaiq-cli " MOSAIQ_VERSION);
        ::dlclose(handle);
    }
    // Loaded, it stays until the program ends: Qt cleans up after main.
    return load;
}

std::string moduleFailureText(std::string_view loaderError, std::string_view modulePath)
{
    // "libheif.so.1: cannot open shared object file: No such file or directory"
    const std::string_view cannotOpen = ": cannot open shared object file";
    const std::size_t end = loaderError.find(cannotOpen);
    if (end != std::string_view::npos) {
        const std::string_view library = loaderError.substr(0, end);
        if (library == modulePath)
            return cli::moduleMissing(modulePath, cli::ModuleFileAbsent);
        for (const auto& [name, package] : Packages) {
            if (library == name)
                return cli::libraryMissing(library, package);
        }
    }
    return cli::moduleMissing(modulePath, loaderError);
}

} // namespace mosaiq
