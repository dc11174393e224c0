#pragma once

#include <string>
#include <string_view>

// What mosaiq-cli says when a library it loads only for some pictures is missing, in French
// (UTF-8).
namespace mosaiq::cli {

// A library of the system is missing: library is its file name, package the Debian package
// that brings it.
std::string libraryMissing(std::string_view library, std::string_view package);
// mosaiq-cli's own module of pictures cannot be found or loaded; reason: the loader's words, or
// ModuleFileAbsent.
std::string moduleMissing(std::string_view path, std::string_view reason);
inline constexpr const char* ModuleFileAbsent = "ce fichier n'existe pas";

} // namespace mosaiq::cli
