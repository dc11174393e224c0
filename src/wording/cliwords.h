#pragma once

#include <string>
#include <string_view>

// What mosaiq-cli says, in French (UTF-8).
namespace mosaiq::cli {

// The help text of --help.
extern const char* const HelpText;

std::string optionNeedsValue(std::string_view option);
std::string optionTakesNoValue(std::string_view option);
std::string unknownOption(std::string_view option);
// Two outputs were given "-".
std::string standardOutputTakenTwice(std::string_view first, std::string_view second);
inline constexpr const char* NoPicture = "Aucune image indiquée (voir --help).";

// "Impossible de lire l'image « path » : reason"
std::string cannotReadPicture(std::string_view path, std::string_view reason);
// "Impossible d'écrire le fichier « path » : reason."
std::string cannotWriteFile(std::string_view path, std::string_view reason);
// Two outputs whose names lead to one file, so that one would be lost.
std::string fileTakenTwice(std::string_view path, std::string_view first, std::string_view second);
// An output that would replace the very picture it is made from.
std::string outputIsThePicture(std::string_view path);
// The same for the page on standard output.
std::string cannotWriteStandardOutput(std::string_view reason);

} // namespace mosaiq::cli
